#pragma once
// The lexer: turns a whole source text (SQL, PL/SQL and SQL*Plus script text
// in UTF-8) into tokens that cover it without gaps or overlaps, plus error
// diagnostics. It never fails and never stops early; keywords are plain
// `Ident` tokens.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "lexer/script_lines.hpp"
#include "lexer/token.hpp"
#include "lexer/unread_text.hpp"

namespace veltrane::lexer {

// The lexer's messages, all errors: fixed texts that its diagnostics point at.
inline constexpr std::string_view MSG_UNEXPECTED_CHARACTER = "unexpected character";
inline constexpr std::string_view MSG_UNTERMINATED_STRING = "unterminated string";
inline constexpr std::string_view MSG_UNTERMINATED_QUOTED_IDENTIFIER =
    "unterminated quoted identifier";
inline constexpr std::string_view MSG_UNTERMINATED_Q_QUOTED_STRING = "unterminated q-quoted string";
inline constexpr std::string_view MSG_INVALID_Q_QUOTE_DELIMITER = "invalid q-quote delimiter";
inline constexpr std::string_view MSG_UNTERMINATED_COMMENT = "unterminated comment";

// The messages of a token that ran on to the end of its line or of the text because
// nothing closed it.
inline constexpr std::array<std::string_view, 4> UNTERMINATED_MESSAGES = {
    MSG_UNTERMINATED_STRING,
    MSG_UNTERMINATED_Q_QUOTED_STRING,
    MSG_UNTERMINATED_QUOTED_IDENTIFIER,
    MSG_UNTERMINATED_COMMENT,
};

// True when `message` is one of UNTERMINATED_MESSAGES.
[[nodiscard]] constexpr bool is_unterminated_message(std::string_view message) {
  for (std::string_view unterminated : UNTERMINATED_MESSAGES) {
    if (message == unterminated) return true;
  }
  return false;
}

// Lexer state over one whole text. The text is borrowed: it must outlive the
// lexer and every token offset refers to it.
struct Lexer {
  // Diagnostics found so far, appended by `next_token`.
  std::vector<Diagnostic> diagnostics;
  // The whole source text (fewer than 2^31 bytes, see `lex_text`).
  std::string_view text;
  // Byte offset of the next token.
  uint32_t position = 0;
  // True right after a `Substitution` token, false after every other token:
  // then an identifier character (digits, "_", "$", "#" included) starts an
  // `Ident` that glues onto the substitution («&x.1y»).
  bool glue = false;
  // The end of the text SQL*Plus sends unread that the position is in (see
  // unread_text.hpp), or 0 outside such text. Tokens inside end at it at the latest, and
  // the lexer reports nothing there.
  uint32_t unread_end = 0;
  // The headings read so far that open such text.
  UnreadTextWatch watch;

  Lexer() = default;
  // A lexer at position 0 with the glue flag clear. Stops (internal error)
  // when the text is 2 GiB or longer.
  explicit Lexer(std::string_view source_text);

  // Moves the position to `new_position` (at most the text's length, on a
  // character boundary) without producing a token: the splitter uses it to
  // step over client-command text, which is never lexed. The glue flag is
  // left as it is; a statement starts after the command.
  void move_to(uint32_t new_position);

  // True when the position has reached the end of the text.
  [[nodiscard]] bool at_end() const { return position >= text.size(); }
};

// Returns the next token and moves the position past it, or nothing when the
// position is at the end of the text. Diagnostics go to `lexer.diagnostics`.
// Clears the glue flag on every token but a `Substitution`, which sets it.
[[nodiscard]] std::optional<Token> next_token(Lexer& lexer);

// next_token for a caller that keeps every token in a vector: appends the next token to
// `tokens` and returns true, or returns false at the end of the text. The token goes
// straight into the vector, with no returned value to unpack per token.
bool append_next_token(Lexer& lexer, std::vector<Token>& tokens);

struct LexResult {
  std::vector<Token> tokens;
  std::vector<Diagnostic> diagnostics;
};

// Lexes the whole text: tokens in text order covering it exactly (an empty
// text gives no tokens), and the lexer's diagnostics in text order.
//
// Precondition: text.size() < 2^31 (2 GiB). Offsets are 32-bit and tree child
// entries keep 31 bits, so larger texts are never passed here; the entry
// points that read input refuse them first. A larger text stops the program
// with an internal error rather than producing wrong offsets.
[[nodiscard]] LexResult lex_text(std::string_view text);

}  // namespace veltrane::lexer
