#include "api/result_json.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"

namespace veltrane::api {

namespace {

// The span of an open node so far: its first token's start and its last token's end.
struct OpenSpan {
  uint32_t start = 0;
  uint32_t end = 0;
  bool present = false;

  void add(uint32_t token_start, uint32_t token_end) {
    if (!present) {
      start = token_start;
      present = true;
    }
    end = token_end;
  }
};

// A short fixed text in a buffer of a fixed size, so that copying it is a few moves of a
// known length rather than a call: the whole buffer is copied and the size is advanced.
struct PaddedText {
  static constexpr std::size_t ROOM = 48;
  std::array<char, ROOM> bytes{};
  std::size_t size = 0;

  constexpr explicit PaddedText(std::string_view value) : size(value.size()) {
    for (std::size_t i = 0; i < value.size() && i < ROOM; ++i) bytes[i] = value[i];
  }
};

// The text after a token's "s" number: `,"t":"Kind"}`, per token kind.
constexpr PaddedText TOKEN_TAILS[] = {
#define VELTRANE_TOKEN_KIND(name) PaddedText(",\"t\":\"" #name "\"}"),
#include "syntax/kinds.def"
};

// The text between a node's "e" and "s" numbers: `,"k":"Kind","s":`, per node kind.
constexpr PaddedText NODE_MIDDLES[] = {
#define VELTRANE_NODE_KIND(name) PaddedText(",\"k\":\"" #name "\",\"s\":"),
#include "syntax/kinds.def"
};

// The end of a names entry after its "type": `,"usage":"USAGE"}`, per usage.
constexpr PaddedText USAGE_TAILS[] = {
    PaddedText(",\"usage\":\"DECLARATION\"}"), PaddedText(",\"usage\":\"DEFINITION\"}"),
    PaddedText(",\"usage\":\"REFERENCE\"}"),   PaddedText(",\"usage\":\"ASSIGNMENT\"}"),
    PaddedText(",\"usage\":\"CALL\"}"),
};

static_assert(std::size(TOKEN_TAILS) == syntax::TOKEN_KIND_COUNT);
static_assert(std::size(NODE_MIDDLES) == syntax::NODE_KIND_COUNT);

[[nodiscard]] constexpr bool all_fit(std::span<const PaddedText> texts) {
  return std::all_of(texts.begin(), texts.end(),
                     [](const PaddedText& padded) { return padded.size <= PaddedText::ROOM; });
}

static_assert(all_fit(TOKEN_TAILS) && all_fit(NODE_MIDDLES) && all_fit(USAGE_TAILS));

// Collects the text of many small objects in a buffer on the stack and hands it to the
// result in large appends. Every object written is far shorter than ROOM.
class Chunk {
 public:
  static constexpr std::size_t ROOM = 256;
  // Strings longer than this go to the result directly.
  static constexpr std::size_t INLINE_STRING = 128;

  explicit Chunk(std::string& out) : out_(out) {}
  Chunk(const Chunk&) = delete;
  Chunk& operator=(const Chunk&) = delete;

  // Makes room for one more object.
  void reserve_object() {
    if (static_cast<std::size_t>(buffer_.data() + buffer_.size() - at_) < ROOM) flush();
  }
  void text(std::string_view piece) {
    std::memcpy(at_, piece.data(), piece.size());
    at_ += piece.size();
  }
  // Within an object's room: copies the whole padding, keeps the text.
  void text(const PaddedText& piece) {
    std::memcpy(at_, piece.bytes.data(), PaddedText::ROOM);
    at_ += piece.size;
  }
  void character(char c) { *at_++ = c; }
  // A JSON string literal of `text`.
  void string(std::string_view value) {
    if (value.size() > INLINE_STRING || !syntax::json_string_needs_no_escape(value)) {
      flush();
      syntax::append_json_string(out_, value);
      return;
    }
    if (static_cast<std::size_t>(buffer_.data() + buffer_.size() - at_) < value.size() + 2) {
      flush();
    }
    character('"');
    text(value);
    character('"');
  }
  void number(uint32_t value) { at_ = syntax::write_decimal(at_, value); }
  void flush() {
    out_.append(buffer_.data(), static_cast<std::size_t>(at_ - buffer_.data()));
    at_ = buffer_.data();
  }

 private:
  std::string& out_;
  std::array<char, 16384> buffer_;  // not cleared: only the written prefix is read
  char* at_ = buffer_.data();
};

// A token object: {"e":end,"s":start,"t":"Kind"}.
void write_token(Chunk& chunk, const syntax::TreeToken& token,
                 const syntax::Utf16Positions& positions, std::string& spare) {
  chunk.reserve_object();
  chunk.text("{\"e\":");
  chunk.number(positions.offset(token.end));
  chunk.text(",\"s\":");
  chunk.number(positions.offset(token.start));
  if (const auto kind = syntax::as_token_kind(token.kind)) {
    chunk.text(TOKEN_TAILS[static_cast<std::size_t>(*kind)]);
  } else {
    // A kind name needs no escape: letters, or "?" and digits.
    chunk.text(",\"t\":\"");
    chunk.text(kind_name_view(token.kind, spare));
    chunk.text("\"}");
  }
}

// {"col","end","id","line","name","parent","start","type","usage"}
void write_names_entry(Chunk& chunk, const resolve::IdentifierRecord& record,
                       const syntax::Utf16Positions& positions, uint32_t& line_hint) {
  const syntax::LineCol position = positions.line_col(record.start, line_hint);
  chunk.reserve_object();
  chunk.text("{\"col\":");
  chunk.number(position.column);
  chunk.text(",\"end\":");
  chunk.number(positions.offset(record.end));
  chunk.text(",\"id\":");
  chunk.number(record.id);
  chunk.text(",\"line\":");
  chunk.number(position.line);
  chunk.text(",\"name\":");
  chunk.string(record.name);
  chunk.reserve_object();
  chunk.text(",\"parent\":");
  chunk.number(record.parent);
  chunk.text(",\"start\":");
  chunk.number(positions.offset(record.start));
  chunk.text(",\"type\":");
  chunk.string(record.type);
  chunk.reserve_object();
  const auto usage = static_cast<std::size_t>(record.usage);
  if (usage >= std::size(USAGE_TAILS)) syntax::stop("identifier usage out of range");
  chunk.text(USAGE_TAILS[usage]);
}

// {"col","id","line","parent","start","type"}
void write_sql_entry(Chunk& chunk, const resolve::StatementRecord& record,
                     const syntax::Utf16Positions& positions, uint32_t& line_hint) {
  const syntax::LineCol position = positions.line_col(record.start, line_hint);
  chunk.reserve_object();
  chunk.text("{\"col\":");
  chunk.number(position.column);
  chunk.text(",\"id\":");
  chunk.number(record.id);
  chunk.text(",\"line\":");
  chunk.number(position.line);
  chunk.text(",\"parent\":");
  chunk.number(record.parent);
  chunk.text(",\"start\":");
  chunk.number(positions.offset(record.start));
  chunk.text(",\"type\":");
  chunk.string(record.type);
  chunk.character('}');
}

// The end of a node object, after its children: ],"e":end,"k":"Kind","s":start}.
void write_node_end(Chunk& chunk, syntax::SyntaxKind kind, const OpenSpan& span,
                    const syntax::Utf16Positions& positions, std::string& spare) {
  chunk.reserve_object();
  chunk.text("],\"e\":");
  chunk.number(span.present ? positions.offset(span.end) : 0u);
  if (const auto node_kind = syntax::as_node_kind(kind)) {
    chunk.text(NODE_MIDDLES[static_cast<std::size_t>(*node_kind)]);
  } else {
    chunk.text(",\"k\":\"");
    chunk.text(kind_name_view(kind, spare));
    chunk.text("\",\"s\":");
  }
  chunk.number(span.present ? positions.offset(span.start) : 0u);
  chunk.character('}');
}

// The member `key` holding an array of one entry per record.
template <typename Record>
void records_array(syntax::JsonWriter& writer, std::string_view key,
                   const std::vector<Record>& records, const syntax::Utf16Positions& positions,
                   void (*write_entry)(Chunk&, const Record&, const syntax::Utf16Positions&,
                                       uint32_t&)) {
  writer.key(key);
  writer.raw_open({});
  Chunk chunk(writer.out());
  chunk.character('[');
  bool first = true;
  uint32_t line_hint = 0;
  for (const Record& record : records) {
    if (!first) chunk.character(',');
    first = false;
    write_entry(chunk, record, positions, line_hint);
  }
  chunk.character(']');
  chunk.flush();
  writer.raw_close({});
}

}  // namespace

std::string_view kind_name_view(syntax::SyntaxKind kind, std::string& spare) {
  if (const auto token_kind = syntax::as_token_kind(kind)) {
    return syntax::token_kind_name(*token_kind);
  }
  if (const auto node_kind = syntax::as_node_kind(kind)) {
    return syntax::node_kind_name(*node_kind);
  }
  spare = syntax::kind_name(kind);
  return spare;
}

void token_json(syntax::JsonWriter& writer, const syntax::TreeToken& token,
                const syntax::Utf16Positions& positions) {
  std::string spare;
  writer.raw_open({});
  Chunk chunk(writer.out());
  write_token(chunk, token, positions, spare);
  chunk.flush();
  writer.raw_close({});
}

void diagnostic_json(syntax::JsonWriter& writer, const syntax::Diagnostic& diagnostic,
                     const syntax::Utf16Positions& positions) {
  const syntax::LineCol position = positions.line_col(diagnostic.start);
  writer.begin_object();
  writer.member("col", position.column);
  writer.member("end", positions.offset(diagnostic.end));
  writer.member("line", position.line);
  writer.member("message", diagnostic.message);
  writer.member("severity", syntax::severity_name(diagnostic.severity));
  writer.member("start", positions.offset(diagnostic.start));
  writer.end_object();
}

std::size_t node_json_size_bound(const syntax::Tree& tree, std::size_t number_digits) {
  // {"c":[ and ],"e": around a node's children, } after it, a comma before all but one.
  constexpr std::size_t NODE_FIXED = 6 + 6 + 1 + 1;
  // {"e": and ,"s": before a token's tail, a comma before all but one.
  constexpr std::size_t TOKEN_FIXED = 5 + 5 + 1;
  std::size_t size = 0;
  std::string spare;
  for (const syntax::Node& node : tree.nodes) {
    const auto kind = syntax::as_node_kind(node.kind);
    size += NODE_FIXED + 2 * number_digits +
            (kind.has_value() ? NODE_MIDDLES[static_cast<std::size_t>(*kind)].size
                              : 16 + kind_name_view(node.kind, spare).size());
  }
  for (const syntax::TreeToken& token : tree.tokens) {
    if (syntax::is_trivia(token.kind)) continue;
    const auto kind = syntax::as_token_kind(token.kind);
    size += TOKEN_FIXED + 2 * number_digits +
            (kind.has_value() ? TOKEN_TAILS[static_cast<std::size_t>(*kind)].size
                              : 16 + kind_name_view(token.kind, spare).size());
  }
  return size;
}

void records_json(syntax::JsonWriter& writer, const resolve::ResolvedRecords& records,
                  const syntax::Utf16Positions& positions) {
  if (records.identifiers.empty() && records.statements.empty()) return;
  records_array(writer, "names", records.identifiers, positions, write_names_entry);
  records_array(writer, "sql", records.statements, positions, write_sql_entry);
}

void node_json(syntax::JsonWriter& writer, const syntax::Tree& tree, uint32_t node,
               const syntax::Utf16Positions& positions) {
  if (node >= tree.nodes.size()) syntax::stop("node index out of range");
  // One frame per open node. "c" comes first, so a node's object opens when it is entered
  // and closes after its last child, when the span of everything below it is known; a
  // node's span then widens its parent's.
  struct Frame {
    uint32_t node;
    uint32_t position;  // the next child entry
    bool wrote_child;
    OpenSpan span;
  };
  std::vector<Frame> frames;
  std::string spare;
  writer.raw_open({});
  Chunk chunk(writer.out());
  frames.push_back(Frame{node, 0, false, {}});
  chunk.text("{\"c\":[");
  while (!frames.empty()) {
    Frame& frame = frames.back();
    const syntax::Node& open = tree.nodes[frame.node];
    if (frame.position == open.count) {
      write_node_end(chunk, open.kind, frame.span, positions, spare);
      const OpenSpan span = frame.span;
      frames.pop_back();
      if (span.present && !frames.empty()) frames.back().span.add(span.start, span.end);
      continue;
    }
    const syntax::Child entry = tree.children[open.first + frame.position];
    ++frame.position;
    const uint32_t index = syntax::entry_index(entry);
    if (syntax::is_token_entry(entry)) {
      const syntax::TreeToken& token = tree.tokens[index];
      frame.span.add(token.start, token.end);
      if (syntax::is_trivia(token.kind)) continue;
      if (frame.wrote_child) chunk.character(',');
      frame.wrote_child = true;
      write_token(chunk, token, positions, spare);
      continue;
    }
    if (frame.wrote_child) chunk.character(',');
    frame.wrote_child = true;
    frames.push_back(Frame{index, 0, false, {}});  // `frame` is not used past this point
    chunk.reserve_object();
    chunk.text("{\"c\":[");
  }
  chunk.flush();
  writer.raw_close({});
}

}  // namespace veltrane::api
