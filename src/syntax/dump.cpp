#include "syntax/dump.hpp"

#include <array>
#include <charconv>
#include <optional>

#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "syntax/unicode.hpp"
#include "syntax/walk.hpp"

namespace veltrane::syntax {

namespace {

// Printable ASCII that stands as it is: 0x20-0x7E but for the double quote and backslash.
constexpr bool is_plain_ascii(unsigned char byte) {
  return byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\';
}

void append_code_point_escape(std::string& sink, uint32_t code_point) {
  std::array<char, 8> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), code_point, 16);
  sink.append("\\u{");
  sink.append(digits.data(), result.ptr);
  sink.push_back('}');
}

// Characters the quoted form writes as \u{...}: the categories Cc, Cf, Cs, Co, Cn, Zl, Zp,
// Zs (but the blank, which never gets here) and Grapheme_Extend.
bool needs_code_point_escape(char32_t code_point) {
  switch (general_category(code_point)) {
    case GeneralCategory::Cc:
    case GeneralCategory::Cf:
    case GeneralCategory::Cs:
    case GeneralCategory::Co:
    case GeneralCategory::Cn:
    case GeneralCategory::Zl:
    case GeneralCategory::Zp:
    case GeneralCategory::Zs:
      return true;
    default:
      return is_grapheme_extend(code_point);
  }
}

// Blanks are appended at most this many at a time, so that a streamed dump can hand on its
// piece in the middle of a deep line's indentation.
constexpr std::size_t INDENT_STEP = 4096;

// Appends the lines of the dump to `sink`, calling `piece_done()` after every line and
// every step of indentation.
template <class PieceDone>
void write_dump(const Tree& tree, uint32_t node, uint32_t depth, std::string_view text,
                std::string& sink, PieceDone&& piece_done) {
  TreeWalk walk(tree, node, WalkTokens::Significant);
  while (const std::optional<WalkStep> step = walk.next()) {
    if (step->event == WalkEvent::Leave) continue;
    std::size_t blanks = 2 * (static_cast<std::size_t>(depth) + step->depth);
    while (blanks > INDENT_STEP) {
      sink.append(INDENT_STEP, ' ');
      blanks -= INDENT_STEP;
      piece_done();
    }
    sink.append(blanks, ' ');
    if (step->event == WalkEvent::Enter) {
      append_kind_name(sink, tree.nodes[step->index].kind);
    } else {
      const TreeToken& token = tree.tokens[step->index];
      append_kind_name(sink, token.kind);
      sink.push_back(' ');
      append_quoted(sink, span_text(Span{token.start, token.end}, text));
    }
    sink.push_back('\n');
    piece_done();
  }
}

}  // namespace

void append_quoted(std::string& sink, std::string_view text) {
  sink.push_back('"');
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (is_plain_ascii(byte)) {
      std::size_t run_end = i + 1;
      while (run_end < text.size() && is_plain_ascii(static_cast<unsigned char>(text[run_end]))) {
        ++run_end;
      }
      sink.append(text.substr(i, run_end - i));
      i = run_end;
      continue;
    }
    if (byte < 0x80) {
      switch (byte) {
        case '"':
          sink.append("\\\"");
          break;
        case '\\':
          sink.append("\\\\");
          break;
        case '\n':
          sink.append("\\n");
          break;
        case '\r':
          sink.append("\\r");
          break;
        case '\t':
          sink.append("\\t");
          break;
        case '\0':
          sink.append("\\0");
          break;
        default:  // the other controls and DEL
          append_code_point_escape(sink, byte);
          break;
      }
      ++i;
      continue;
    }
    const DecodedChar decoded = decode_utf8(text, i);
    if (decoded.code_point < 0) {
      sink.append(REPLACEMENT_CHARACTER);
      i += ill_formed_length(text, i);
      continue;
    }
    const auto code_point = static_cast<char32_t>(decoded.code_point);
    if (needs_code_point_escape(code_point)) {
      append_code_point_escape(sink, static_cast<uint32_t>(code_point));
    } else {
      sink.append(text.substr(i, decoded.length));
    }
    i += decoded.length;
  }
  sink.push_back('"');
}

std::string quoted(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  append_quoted(result, text);
  return result;
}

void dump_tree(const Tree& tree, uint32_t node, uint32_t depth, std::string_view text,
               std::string& sink) {
  write_dump(tree, node, depth, text, sink, [] {});
}

void dump_tree(const Tree& tree, uint32_t node, uint32_t depth, std::string_view text,
               const DumpPieceWriter& write, std::size_t piece_bytes) {
  std::string piece;
  piece.reserve(piece_bytes + INDENT_STEP);
  write_dump(tree, node, depth, text, piece, [&] {
    if (piece.size() < piece_bytes) return;
    write(piece);
    piece.clear();
  });
  if (!piece.empty()) write(piece);
}

}  // namespace veltrane::syntax
