// The raw writers of the result, with their commas written two ways:
//   - in the tree (write_subtree, write_token, TOKEN_TAILS), every element is followed by
//     its comma, and the end of a list takes back the last one, so that no flag tells the
//     first element from the others;
//   - in the records' lists (RecordsWriter), a comma goes before every entry but the first;
//     the entry writers (write_names_entry, write_sql_entry) write none.
// The members around them are opened and closed through the JsonWriter, which puts a comma
// before every member but the first.

#include "api/result_json.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/walk.hpp"
#include "views/tree_words.hpp"

// Under AddressSanitizer (the sanitizer build and the fuzz build) the writers' room is
// fenced: see Chunk.
#if defined(__SANITIZE_ADDRESS__)
#define VELTRANE_FENCED_ROOM 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTRANE_FENCED_ROOM 1
#endif
#endif
#if defined(VELTRANE_FENCED_ROOM)
#include <sanitizer/asan_interface.h>
#endif

namespace veltrane::api {

namespace {

// A short fixed text in a buffer of a fixed size, so that copying it is a few moves of a
// known length rather than a call: the whole buffer is copied and the size is advanced.
struct PaddedText {
  static constexpr std::size_t ROOM = 32;
  std::array<char, ROOM> bytes{};
  std::size_t size = 0;

  constexpr PaddedText() = default;
  constexpr explicit PaddedText(std::string_view value) : size(value.size()) {
    for (std::size_t i = 0; i < value.size() && i < ROOM; ++i) bytes[i] = value[i];
  }
};

// The text after a token's "s" number: `,"t":"Kind"},`, per token kind, with the comma
// after the token (see the commas at the top).
constexpr PaddedText TOKEN_TAILS[] = {
#define VELTRANE_TOKEN_KIND(name) PaddedText(",\"t\":\"" #name "\"},"),
#include "syntax/kinds.def"
};

// The text between a node's "e" and "s" numbers: `,"k":"Kind","s":`, per node kind.
constexpr PaddedText NODE_MIDDLES[] = {
#define VELTRANE_NODE_KIND(name) PaddedText(",\"k\":\"" #name "\",\"s\":"),
#include "syntax/kinds.def"
};

// The end of a names entry after its "type": `,"usage":"USAGE"}`, per usage, made from
// the usage names.
constexpr std::array<PaddedText, resolve::USAGE_NAMES.size()> USAGE_TAILS = [] {
  std::array<PaddedText, resolve::USAGE_NAMES.size()> tails{};
  for (std::size_t usage = 0; usage < tails.size(); ++usage) {
    PaddedText& tail = tails[usage];
    for (const std::string_view piece : {std::string_view(",\"usage\":\""),
                                         resolve::USAGE_NAMES[usage], std::string_view("\"}")}) {
      for (const char byte : piece) tail.bytes[tail.size++] = byte;
    }
  }
  return tails;
}();

static_assert(std::size(TOKEN_TAILS) == syntax::TOKEN_KIND_COUNT);
static_assert(std::size(NODE_MIDDLES) == syntax::NODE_KIND_COUNT);

[[nodiscard]] constexpr bool all_fit(std::span<const PaddedText> texts) {
  return std::all_of(texts.begin(), texts.end(),
                     [](const PaddedText& padded) { return padded.size <= PaddedText::ROOM; });
}

static_assert(all_fit(TOKEN_TAILS) && all_fit(NODE_MIDDLES) && all_fit(USAGE_TAILS));

// {"c":[ and ],"e": around a node's children, } after it, a comma before all but one.
constexpr std::size_t NODE_FIXED = 6 + 6 + 1 + 1;
// {"e": and ,"s": before a token's tail, whose comma goes before all but one.
constexpr std::size_t TOKEN_FIXED = 5 + 5;

// The bytes of a node object but its numbers and children, per node kind.
constexpr std::array<uint8_t, syntax::NODE_KIND_COUNT> NODE_SIZES = [] {
  std::array<uint8_t, syntax::NODE_KIND_COUNT> sizes{};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    sizes[i] = static_cast<uint8_t>(NODE_FIXED + NODE_MIDDLES[i].size);
  }
  return sizes;
}();

// The bytes of a token object but its numbers, per token kind; 0 for trivia, which is not
// written.
constexpr std::array<uint8_t, syntax::TOKEN_KIND_COUNT> TOKEN_SIZES = [] {
  std::array<uint8_t, syntax::TOKEN_KIND_COUNT> sizes{};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const bool trivia = syntax::is_trivia(static_cast<syntax::TokenKind>(i));
    sizes[i] = trivia ? 0 : static_cast<uint8_t>(TOKEN_FIXED + TOKEN_TAILS[i].size);
  }
  return sizes;
}();

// Per token kind, three sums in one word, so that one addition per token sums them all:
// TOKEN_SIZES in the low bits, then 1 for a token that is written, then 1 for a word that
// can be a name (what the records' estimate counts).
constexpr uint32_t WRITTEN_TOKEN_SHIFT = 24;
constexpr uint32_t NAME_TOKEN_SHIFT = 44;
constexpr std::array<uint64_t, syntax::TOKEN_KIND_COUNT> TOKEN_SIZES_AND_COUNTS = [] {
  std::array<uint64_t, syntax::TOKEN_KIND_COUNT> packed{};
  for (std::size_t i = 0; i < packed.size(); ++i) {
    const uint64_t written = TOKEN_SIZES[i] != 0 ? 1 : 0;
    const uint64_t name = views::is_name_token(static_cast<syntax::TokenKind>(i)) ? 1 : 0;
    packed[i] = TOKEN_SIZES[i] | (written << WRITTEN_TOKEN_SHIFT) | (name << NAME_TOKEN_SHIFT);
  }
  return packed;
}();

// Writes the text of many small objects straight into the end of the result. The result's
// size is moved ahead of the writer a STEP at a time (std::string lets nothing be written
// past its size), and set to the end of the text when it is flushed; the bytes in between
// are zeros until they are overwritten. This spares the copy of every byte from a buffer
// of its own into the result; a short step keeps the zero fill out of the C library's
// string instructions, which cost as much per byte as a copy.
//
// The writers keep the write position in a local pointer (a member would be reloaded after
// every byte written, since char stores may alias it): they take it from `begin` or `room`,
// which leave ROOM bytes free, and pass it back to `flush`. Every object written between
// two calls of `room` is far shorter than ROOM. Between `flush` and the next `begin` the
// result's text is complete and may be appended to by others.
//
// A write past ROOM would land within the string's capacity or its size, where neither the
// library's assertions nor AddressSanitizer look; so under AddressSanitizer the room is
// fenced: a FENCE of bytes after it is poisoned, and the first byte written into them stops
// the program with a report. `begin` and `room` put the fence ROOM bytes after the position
// they give, holding a writer that calls `room` before every object to ROOM bytes per
// object. `room_end` puts it at the end of the room made: a writer that keeps that end in a
// local and calls `room` only past it (write_subtree) is checked on the road it takes in
// every build, at the end it keeps.
class Chunk {
 public:
  static constexpr std::size_t ROOM = 256;
  // The poisoned bytes after the room: more than the longest piece copied at once.
  static constexpr std::size_t FENCE = 128;
  // Strings longer than this go to the result directly.
  static constexpr std::size_t INLINE_STRING = 128;
  // The room made at a time.
  static constexpr std::size_t STEP = 1024;

  // `mapper`, when given, maps the output's room for each piece before it is appended.
  explicit Chunk(std::string& out, syntax::RoomMapper* mapper = nullptr)
      : out_(out), mapper_(mapper) {}
  Chunk(const Chunk&) = delete;
  Chunk& operator=(const Chunk&) = delete;
  ~Chunk() { unfence(); }

  // The position after the result's text, with room after it.
  [[nodiscard]] char* begin() { return grow(out_.size()); }
  // The position to write one more object at: `at`, with room made after it when it has
  // less than ROOM.
  [[nodiscard]] char* room(char* at) {
    if (static_cast<std::size_t>(limit_ - at) >= ROOM) [[likely]] {
      fence(at + ROOM);
      return at;
    }
    return grow(static_cast<std::size_t>(at - out_.data()));
  }
  // The last position at which `room` leaves the room as it is, for a writer that keeps
  // it in a local too; it holds until the next call of `room`, `string` or `flush`. The
  // fence moves to the end of the room (see above).
  [[nodiscard]] const char* room_end() {
    fence(limit_);
    return limit_ - ROOM;
  }
  // Ends the result's text at `at`.
  void flush(const char* at) {
    unfence();
    out_.resize(static_cast<std::size_t>(at - out_.data()));
    limit_ = nullptr;
  }
  // A JSON string literal of `value` at `at`; returns the position after it.
  [[nodiscard]] char* string(char* at, std::string_view value) {
    if (value.size() <= INLINE_STRING) {
      if (static_cast<std::size_t>(limit_ - at) < value.size() + 2) {
        at = grow(static_cast<std::size_t>(at - out_.data()));
      }
      // Copied and checked in one pass: the short names and words of the records need no
      // escape, and their copy costs less than a call.
      *at = '"';
      if (syntax::copy_if_unescaped(at + 1, value)) {
        at += value.size() + 1;
        *at++ = '"';
        return at;
      }
    }
    flush(at);
    syntax::append_json_string(out_, value);
    return begin();
  }
  // A JSON string literal of a fixed word, which never needs an escape; returns the
  // position after it.
  [[nodiscard]] char* word(char* at, std::string_view value) {
    if (value.size() > INLINE_STRING) return string(at, value);
    at = room(at);
    *at++ = '"';
    for (const char c : value) *at++ = c;
    *at++ = '"';
    return at;
  }

 private:
  // Keeps the first `used` bytes of the result and makes STEP bytes of room after them, or
  // less, down to ROOM, where the result's capacity ends sooner: a result reserved from a
  // bound of its size is not moved for room that is never written. Returns the position
  // after the kept text.
  [[gnu::noinline]] char* grow(std::size_t used) {
    unfence();
    std::size_t size = used + STEP;
    if (size > out_.capacity() && used + ROOM <= out_.capacity()) size = out_.capacity();
    // `used` lies within the text, so this maps at least up to the room's end.
    if (mapper_ != nullptr) mapper_->ahead(STEP);
    out_.resize(size);
    char* const data = out_.data();
    limit_ = data + size;
    fence(data + used + ROOM);
    return data + used;
  }

  // Under AddressSanitizer, poisons the FENCE bytes from `start` (those within the string's
  // capacity) in place of the ones poisoned before; nothing otherwise. The string itself
  // writes its bytes only after `unfence`.
  void fence([[maybe_unused]] char* start) {
#if defined(VELTRANE_FENCED_ROOM)
    unfence();
    char* const capacity_end = out_.data() + out_.capacity();
    if (start >= capacity_end) return;
    fence_ = start;
    fence_size_ = std::min(FENCE, static_cast<std::size_t>(capacity_end - start));
    ASAN_POISON_MEMORY_REGION(fence_, fence_size_);
#endif
  }
  void unfence() {
#if defined(VELTRANE_FENCED_ROOM)
    if (fence_size_ != 0) ASAN_UNPOISON_MEMORY_REGION(fence_, fence_size_);
    fence_size_ = 0;
#endif
  }

  std::string& out_;
  syntax::RoomMapper* mapper_;
  char* limit_ = nullptr;  // the end of the room made
#if defined(VELTRANE_FENCED_ROOM)
  char* fence_ = nullptr;  // the poisoned bytes, under AddressSanitizer
  std::size_t fence_size_ = 0;
#endif
};

// Writes `piece` at `at`; returns the position after it.
[[nodiscard]] char* put(char* at, std::string_view piece) {
  std::memcpy(at, piece.data(), piece.size());
  return at + piece.size();
}

// Copies the whole padding (there is room for it), keeps the text.
[[nodiscard]] char* put(char* at, const PaddedText& piece) {
  std::memcpy(at, piece.bytes.data(), PaddedText::ROOM);
  return at + piece.size;
}

[[nodiscard]] char* put_number(char* at, uint32_t value) {
  return syntax::write_decimal(at, value);
}

// The UTF-16 offsets of one text, the road chosen once per text. In a text that is all
// ASCII an offset is the byte offset itself, with no test per offset: the caller has
// checked that the offsets it asks for lie within the text.
template <bool Ascii>
struct OffsetsOf {
  const syntax::Utf16Positions& positions;

  [[nodiscard]] uint32_t operator()(uint32_t byte_offset) const {
    if constexpr (!Ascii) return positions.offset(byte_offset);
    return byte_offset;
  }
};

// `tail` and then the name of a kind that has none in the tables, and `after`; returns the
// position after them. A kind name needs no escape: letters, or "?" and digits.
[[gnu::noinline]] [[nodiscard]] char* put_kind_name(char* at, std::string_view tail,
                                                    syntax::SyntaxKind kind,
                                                    std::string_view after) {
  std::string spare;
  at = put(at, tail);
  at = put(at, kind_name_view(kind, spare));
  return put(at, after);
}

// A token object and a comma after it: {"e":end,"s":start,"t":"Kind"},
template <typename Offsets>
[[gnu::always_inline]] [[nodiscard]] inline char* write_token(char* at,
                                                              const syntax::TreeToken& token,
                                                              Offsets offset_of,
                                                              syntax::DecimalWriter& offsets) {
  at = put(at, "{\"e\":");
  at = offsets.write(at, offset_of(token.end));
  at = put(at, ",\"s\":");
  at = offsets.write(at, offset_of(token.start));
  const std::size_t index = syntax::token_kind_index(token.kind);
  if (index < std::size(TOKEN_TAILS)) [[likely]] {
    return put(at, TOKEN_TAILS[index]);
  }
  return put_kind_name(at, ",\"t\":\"", token.kind, "\"},");
}

// The end of a names entry from its "type" on, `,"type":"TYPE","usage":"USAGE"}`, made for
// one type word and kept per usage: most records of a usage have the type of the one
// before (the variables of a unit), and their end is then one copy of a known length. A
// type word is a fixed text, so where its text lies tells it.
struct NamesEntryTail {
  static constexpr std::size_t ROOM = 64;
  static constexpr std::size_t NONE = ~std::size_t{0};

  std::array<char, ROOM> bytes{};
  std::size_t size = 0;
  const char* type = nullptr;  // the text of the type word it was made for
  std::size_t type_size = NONE;

  [[nodiscard]] bool made_for(std::string_view type_word) const {
    return type == type_word.data() && type_size == type_word.size();
  }
};

// Makes `tail` for `type` and the usage whose text is `usage_tail`; false, with `tail` left
// as it was, when the text does not fit.
[[gnu::noinline]] bool make_names_entry_tail(NamesEntryTail& tail, std::string_view type,
                                             const PaddedText& usage_tail) {
  constexpr std::string_view TYPE_KEY = ",\"type\":\"";
  const std::size_t size = TYPE_KEY.size() + type.size() + 1 + usage_tail.size;
  if (size > NamesEntryTail::ROOM) return false;
  char* at = tail.bytes.data();
  at = put(at, TYPE_KEY);
  at = put(at, type);
  *at++ = '"';
  std::memcpy(at, usage_tail.bytes.data(), usage_tail.size);
  tail.size = size;
  tail.type = type.data();
  tail.type_size = type.size();
  return true;
}

// {"col","end","id","line","name","parent","start","type","usage"}
// The numbers of the names entries written one after the other, each kind apart: ids
// count up, and lines and offsets grow slowly, so that most numbers share their leading
// digits with the one before (see DecimalWriter: its numbers cost far less time than
// write_decimal's); columns and parents are short.
struct NamesNumbers {
  syntax::DecimalWriter offsets;
  syntax::DecimalWriter ids;
  syntax::DecimalWriter lines;
  uint32_t line_hint = 0;
  std::array<NamesEntryTail, resolve::USAGE_NAMES.size()> tails{};
};

// Room is made twice: before the entry and after its name. The most written between two
// calls is far less than Chunk::ROOM: seven numbers, the keys, and the padded tail.
[[gnu::always_inline]] [[nodiscard]] inline char* write_names_entry(
    Chunk& chunk, char* at, const resolve::IdentifierView& record,
    const syntax::Utf16Positions& positions, NamesNumbers& numbers) {
  const syntax::LineCol position = positions.line_col(record.start, numbers.line_hint);
  syntax::DecimalWriter& offsets = numbers.offsets;
  at = chunk.room(at);
  at = put(at, "{\"col\":");
  at = syntax::write_short_decimal(at, position.column);
  at = put(at, ",\"end\":");
  at = offsets.write(at, positions.offset(record.end));
  at = put(at, ",\"id\":");
  at = numbers.ids.write(at, record.id);
  at = put(at, ",\"line\":");
  at = numbers.lines.write(at, position.line);
  at = put(at, ",\"name\":");
  at = chunk.string(at, record.name);
  at = chunk.room(at);
  at = put(at, ",\"parent\":");
  at = syntax::write_short_decimal(at, record.parent);
  at = put(at, ",\"start\":");
  at = offsets.write(at, positions.offset(record.start));
  const auto usage = static_cast<std::size_t>(record.usage);
  if (usage >= std::size(USAGE_TAILS)) syntax::stop("identifier usage out of range");
  NamesEntryTail& tail = numbers.tails[usage];
  if (tail.made_for(record.type) || make_names_entry_tail(tail, record.type, USAGE_TAILS[usage]))
      [[likely]] {
    std::memcpy(at, tail.bytes.data(), NamesEntryTail::ROOM);
    return at + tail.size;
  }
  at = put(at, ",\"type\":");
  at = chunk.word(at, record.type);
  at = chunk.room(at);
  return put(at, USAGE_TAILS[usage]);
}

// {"col","id","line","parent","start","type"}
[[nodiscard]] char* write_sql_entry(Chunk& chunk, char* at, const resolve::StatementRecord& record,
                                    const syntax::Utf16Positions& positions,
                                    syntax::DecimalWriter& offsets, uint32_t& line_hint) {
  const syntax::LineCol position = positions.line_col(record.start, line_hint);
  at = chunk.room(at);
  at = put(at, "{\"col\":");
  at = put_number(at, position.column);
  at = put(at, ",\"id\":");
  at = put_number(at, record.id);
  at = put(at, ",\"line\":");
  at = put_number(at, position.line);
  at = put(at, ",\"parent\":");
  at = put_number(at, record.parent);
  at = put(at, ",\"start\":");
  at = offsets.write(at, positions.offset(record.start));
  at = put(at, ",\"type\":");
  at = chunk.word(at, record.type);
  at = chunk.room(at);
  *at++ = '}';
  return at;
}

// An open node of node_json's walk: what is left of its child list, so that going on with
// it after a child node needs no look at the node again, and the first token below it.
struct OpenNodeFrame {
  const syntax::Child* next;  // the next child entry
  const syntax::Child* end;   // past the last child entry
  uint32_t first_token;       // the index of the first token below the node, if any
  syntax::SyntaxKind kind;
};

// Doubles the room of the frames, all of which are in use; returns the last of them.
[[gnu::noinline]] OpenNodeFrame* deepen(std::vector<OpenNodeFrame>& frames) {
  const std::size_t depth = frames.size();
  frames.resize(2 * depth);
  return frames.data() + depth - 1;
}

// node_json's walk from `node`, at `at`; returns the position after the node's object.
// `first_token` is the index of the first token below `node` (any value when there is
// none). `frames` is the room of the frames of the open nodes.
//
// "c" comes first, so a node's object opens when it is entered and closes after its last
// child, when the span of everything below it is known. The walk meets the tokens in
// source order, and the tokens below a node are a run of consecutive indices: a node's
// span runs from the token that was next when it was entered to the last token met when
// it is left, and it has none when that is still the same token.
//
// A node's end takes back the comma of its last child (see the commas at the top), so that
// no flag tells the first element of a list from the others.
//
// What is left of the open node's child list and the top of the frames are plain locals,
// not members of a struct or a vector, so that they can stay in registers: char stores
// might change anything whose address is taken. The rest of the open node, read only at
// its end, stays in its frame and leaves the registers to the loop over tokens.
template <typename Offsets>
[[nodiscard]] char* write_subtree(Chunk& chunk, char* at, const syntax::Tree& tree, uint32_t node,
                                  uint32_t first_token, Offsets offset_of,
                                  std::vector<OpenNodeFrame>& frames) {
  syntax::DecimalWriter offsets;
  const syntax::TreeToken* const tokens = tree.tokens.data();
  const syntax::Node* const nodes = tree.nodes.data();
  const syntax::Child* const children = tree.children.data();
  if (frames.empty()) frames.resize(64);
  // The frames of the open nodes, the innermost at `top`: the node being written keeps its
  // first token and kind there, and what is left of its child list in `next` and `end`.
  OpenNodeFrame* top = frames.data();
  OpenNodeFrame* last_frame = frames.data() + frames.size() - 1;
  const syntax::Child* next = children + nodes[node].first;
  const syntax::Child* end = next + nodes[node].count;
  top->first_token = first_token;
  top->kind = nodes[node].kind;
  // The index after the last token met so far.
  uint32_t next_token = first_token;
  // chunk.room with the end of the room in a register rather than reloaded from the chunk
  // after every byte written; the same road under AddressSanitizer, fenced at that end.
  const char* room_end = chunk.room_end();
  const auto room = [&chunk, &room_end](char* position) {
    if (position > room_end) [[unlikely]] {
      position = chunk.room(position);
      room_end = chunk.room_end();
    }
    return position;
  };
  at = put(room(at), "{\"c\":[");
  for (;;) {
    // The node's tokens up to its next child node, in a row; trivia is not written but
    // counts in the span.
    for (; next != end && syntax::is_token_entry(*next); ++next) {
      const uint32_t index = syntax::entry_index(*next);
      next_token = index + 1;
      const syntax::TreeToken& token = tokens[index];
      if (syntax::is_trivia(token.kind)) continue;
      at = write_token(room(at), token, offset_of, offsets);
    }
    if (next != end) {
      // Down to the child node at `next`.
      top->next = next + 1;
      top->end = end;
      if (top == last_frame) [[unlikely]] {
        top = deepen(frames);
        last_frame = frames.data() + frames.size() - 1;
      }
      ++top;
      at = put(room(at), "{\"c\":[");
      const syntax::Node& entered = nodes[*next];
      next = children + entered.first;
      end = next + entered.count;
      top->first_token = next_token;
      top->kind = entered.kind;
      continue;
    }
    // The end of the open node: ],"e":end,"k":"Kind","s":start}, over its last comma.
    at = room(at);
    at -= at[-1] == ',' ? 1 : 0;
    uint32_t span_start = 0;
    uint32_t span_end = 0;
    const uint32_t open_first_token = top->first_token;
    if (next_token != open_first_token) {
      span_start = offset_of(tokens[open_first_token].start);
      span_end = offset_of(tokens[next_token - 1].end);
    }
    at = put(at, "],\"e\":");
    at = offsets.write(at, span_end);
    const std::size_t kind_index = syntax::node_kind_index(top->kind);
    if (kind_index < std::size(NODE_MIDDLES)) [[likely]] {
      at = put(at, NODE_MIDDLES[kind_index]);
    } else {
      at = put_kind_name(at, ",\"k\":\"", top->kind, "\",\"s\":");
    }
    at = offsets.write(at, span_start);
    at = put(at, "},");
    if (top == frames.data()) return at - 1;
    --top;
    next = top->next;
    end = top->end;
  }
}

// Writes the "names" and "sql" members of one item, the names entries as their records
// come: "names" opens at the first record, or at the end when only statement records came,
// and neither member is written when no record came.
class RecordsWriter final : public resolve::IdentifierSink {
 public:
  RecordsWriter(syntax::JsonWriter& writer, const syntax::Utf16Positions& positions,
                syntax::RoomMapper* mapper)
      : writer_(writer), positions_(positions), chunk_(writer.out(), mapper) {}

  void take(const resolve::IdentifierView& record) override {
    if (at_ == nullptr) {
      writer_.key("names");
      writer_.raw_open({});
      at_ = chunk_.begin();
      *at_++ = '[';
    } else {
      *at_++ = ',';
    }
    at_ = write_names_entry(chunk_, at_, record, positions_, names_numbers_);
  }

  // Closes "names" and writes "sql" with the statement records.
  void finish(std::span<const resolve::StatementRecord> statements) {
    if (at_ == nullptr) {
      if (statements.empty()) return;
      writer_.key("names");
      writer_.raw_value("[]");
    } else {
      *at_++ = ']';
      chunk_.flush(at_);
      writer_.raw_close({});
    }
    writer_.key("sql");
    writer_.raw_open({});
    at_ = chunk_.begin();
    *at_++ = '[';
    uint32_t line_hint = 0;
    bool first = true;
    for (const resolve::StatementRecord& record : statements) {
      if (!first) *at_++ = ',';
      first = false;
      at_ = write_sql_entry(chunk_, at_, record, positions_, names_numbers_.offsets, line_hint);
    }
    *at_++ = ']';
    chunk_.flush(at_);
    writer_.raw_close({});
  }

 private:
  syntax::JsonWriter& writer_;
  const syntax::Utf16Positions& positions_;
  Chunk chunk_;
  char* at_ = nullptr;  // where the next text goes in the chunk, once "names" is open
  NamesNumbers names_numbers_;
};

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
  syntax::DecimalWriter offsets;
  writer.raw_open({});
  Chunk chunk(writer.out());
  // Without the comma after it.
  chunk.flush(write_token(chunk.begin(), token, OffsetsOf<false>{positions}, offsets) - 1);
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

std::size_t diagnostic_json_size_bound(const syntax::Diagnostic& diagnostic, std::size_t digits) {
  // {"col":,"end":,"line":,"message":,"severity":"warning","start":} and a comma: 65.
  constexpr std::size_t DIAGNOSTIC_FIXED = 80;
  return DIAGNOSTIC_FIXED + 4 * digits + syntax::json_string_size_bound(diagnostic.message);
}

TreeJsonSizes tree_json_sizes(const syntax::Tree& tree, std::size_t number_digits) {
  // Fixed bytes per written element from the kind tables, two numbers per element.
  std::size_t fixed = 0;
  std::string spare;
  // Unrolled, here and for the tokens: the loop's own test and step cost nearly as much as
  // the work on an element.
#pragma GCC unroll 4
  for (const syntax::Node& node : tree.nodes) {
    const std::size_t index = syntax::node_kind_index(node.kind);
    if (index < NODE_SIZES.size()) [[likely]] {
      fixed += NODE_SIZES[index];
    } else {
      fixed += NODE_FIXED + 16 + kind_name_view(node.kind, spare).size();
    }
  }
  std::size_t elements = tree.nodes.size();
  std::size_t names = 0;
  // The tokens are summed in runs short enough that no part of a packed sum can overflow
  // into the next: at most 2^16 tokens of fewer than 2^8 fixed bytes each.
  constexpr std::size_t TOKENS_PER_SUM = std::size_t{1} << 16;
  constexpr uint64_t COUNT_MASK = (uint64_t{1} << (NAME_TOKEN_SHIFT - WRITTEN_TOKEN_SHIFT)) - 1;
  const std::span<const syntax::TreeToken> tokens(tree.tokens);
  for (std::size_t run = 0; run < tokens.size(); run += TOKENS_PER_SUM) {
    uint64_t sums = 0;
#pragma GCC unroll 4
    for (const syntax::TreeToken& token :
         tokens.subspan(run).first(std::min(TOKENS_PER_SUM, tokens.size() - run))) {
      const std::size_t index = syntax::token_kind_index(token.kind);
      if (index < TOKEN_SIZES_AND_COUNTS.size()) [[likely]] {
        sums += TOKEN_SIZES_AND_COUNTS[index];
      } else {
        fixed += TOKEN_FIXED + 17 + kind_name_view(token.kind, spare).size();
        ++elements;
      }
    }
    fixed += sums & ((uint64_t{1} << WRITTEN_TOKEN_SHIFT) - 1);
    elements += (sums >> WRITTEN_TOKEN_SHIFT) & COUNT_MASK;
    names += sums >> NAME_TOKEN_SHIFT;
  }
  // ,"names":[],"sql":[]
  constexpr std::size_t MEMBERS_FIXED = 24;
  // The keys of a names entry, its longest usage tail, a comma, its type word and quotes.
  constexpr std::size_t NAMES_ENTRY_FIXED = 126;
  // Each record names one word, and in a long unit most words get one; the words of the
  // keywords leave room for the few statement records. The names' normal forms are about
  // as long as their words, which are part of the tree's text.
  const std::size_t text_size =
      tokens.empty() ? 0 : std::size_t{tokens.back().end} - tokens.front().start;
  return TreeJsonSizes{fixed + 2 * number_digits * elements,
                       MEMBERS_FIXED + names * (NAMES_ENTRY_FIXED + 6 * number_digits) + text_size};
}

void records_json(syntax::JsonWriter& writer, const resolve::ResolvedRecords& records,
                  const syntax::Utf16Positions& positions, syntax::RoomMapper* mapper) {
  RecordsWriter records_writer(writer, positions, mapper);
  for (const resolve::IdentifierRecord& record : records.identifiers) {
    records_writer.take(resolve::view_of(record));
  }
  records_writer.finish(records.statements);
}

void resolved_records_json(syntax::JsonWriter& writer, const resolve::ScriptResolver& resolver,
                           const parser::ParsedStatement& statement,
                           const syntax::Utf16Positions& positions, syntax::RoomMapper* mapper) {
  RecordsWriter records_writer(writer, positions, mapper);
  const std::vector<resolve::StatementRecord> statements =
      resolver.resolve(statement, records_writer);
  records_writer.finish(statements);
}

void node_json(syntax::JsonWriter& writer, const syntax::Tree& tree, uint32_t node,
               const syntax::Utf16Positions& positions, syntax::RoomMapper* mapper) {
  if (node >= tree.nodes.size()) syntax::stop("node index out of range");
  // The tokens lie in source order, so the last one ends after all others: within the text,
  // it vouches for every offset the walk asks for.
  if (!tree.tokens.empty() && tree.tokens.back().end > positions.text_size()) {
    syntax::stop("token offset outside the text");
  }
  // The tokens below the root are all of them; below another node they start at its first.
  uint32_t first_token = 0;
  if (node != tree.root) {
    syntax::WalkStack stack;
    first_token =
        syntax::edge_token(tree, node, syntax::WalkTokens::All, syntax::WalkOrder::Source, stack)
            .value_or(0);
  }
  std::vector<OpenNodeFrame> frames;
  writer.raw_open({});
  Chunk chunk(writer.out(), mapper);
  char* at = chunk.begin();
  if (positions.is_ascii()) {
    at = write_subtree(chunk, at, tree, node, first_token, OffsetsOf<true>{positions}, frames);
  } else {
    at = write_subtree(chunk, at, tree, node, first_token, OffsetsOf<false>{positions}, frames);
  }
  chunk.flush(at);
  writer.raw_close({});
}

}  // namespace veltrane::api
