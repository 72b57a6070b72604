#include "lexer/lexer.hpp"

#include <array>
#include <cstring>

#include "syntax/stop.hpp"
#include "syntax/tree.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::lexer {

namespace {

// Byte classes of the ASCII range; bytes >= 0x80 have none and go through the
// Unicode layer.
enum ByteClass : uint8_t {
  LETTER = 1,      // A-Z a-z
  DIGIT = 2,       // 0-9
  WORD_EXTRA = 4,  // _ $ #
  SPACE = 8,       // 9-13 and 32
};

constexpr std::array<uint8_t, 256> make_byte_classes() {
  std::array<uint8_t, 256> classes{};
  for (int byte = 'A'; byte <= 'Z'; ++byte) classes[static_cast<size_t>(byte)] = LETTER;
  for (int byte = 'a'; byte <= 'z'; ++byte) classes[static_cast<size_t>(byte)] = LETTER;
  for (int byte = '0'; byte <= '9'; ++byte) classes[static_cast<size_t>(byte)] = DIGIT;
  classes['_'] = WORD_EXTRA;
  classes['$'] = WORD_EXTRA;
  classes['#'] = WORD_EXTRA;
  for (int byte = 9; byte <= 13; ++byte) classes[static_cast<size_t>(byte)] = SPACE;
  classes[' '] = SPACE;
  return classes;
}

constexpr std::array<uint8_t, 256> BYTE_CLASSES = make_byte_classes();

constexpr bool has_class(unsigned char byte, uint8_t mask) {
  return (BYTE_CLASSES[byte] & mask) != 0;
}
constexpr bool is_letter(unsigned char byte) { return has_class(byte, LETTER); }
constexpr bool is_digit(unsigned char byte) { return has_class(byte, DIGIT); }
constexpr bool is_ascii_word_char(unsigned char byte) {
  return has_class(byte, LETTER | DIGIT | WORD_EXTRA);
}
constexpr bool is_ascii_space(unsigned char byte) { return has_class(byte, SPACE); }

// One decoded character at a non-ASCII byte: an ill-formed byte counts as a
// one-byte character with code point -1 (no class), whatever the decoder
// skipped.
struct Character {
  int32_t code_point;
  uint32_t length;
};

Character character_at(std::string_view text, size_t offset) {
  const syntax::DecodedChar decoded = syntax::decode_utf8(text, offset);
  if (decoded.code_point < 0 || decoded.length == 0 || offset + decoded.length > text.size()) {
    return {-1, 1};
  }
  return {decoded.code_point, decoded.length};
}

bool is_unicode_ident_char(int32_t code_point) {
  if (code_point < 0) return false;
  const auto character = static_cast<char32_t>(code_point);
  return syntax::is_alphabetic(character) || syntax::is_numeric(character);
}
bool is_unicode_ident_start(int32_t code_point) {
  return code_point >= 0 && syntax::is_alphabetic(static_cast<char32_t>(code_point));
}
bool is_unicode_space(int32_t code_point) {
  return code_point >= 0 && syntax::is_white_space(static_cast<char32_t>(code_point));
}

// The end and kind of one scanned token: small enough to travel in one
// register, unlike a whole Token.
struct Scanned {
  uint32_t end;
  TokenKind kind;
};

// The lexing of one token over the borrowed text. Every scan works on size_t
// offsets and never reads at or past `size`. With `Unread`, the position is inside text
// SQL*Plus sends unread: the token ends at that text's end at the latest, and nothing is
// reported.
template <bool Unread>
class Scanner {
 public:
  explicit Scanner(Lexer& lexer)
      : lexer_(lexer),
        data_(lexer.text.data()),
        size_(Unread ? lexer.unread_end : lexer.text.size()) {}

  // Inlined into lex_one, as lex_one is into each of its callers: the byte switch and
  // the token loop around it then keep the lexer's state in registers.
  [[gnu::always_inline]] Scanned scan(size_t start) {
    const unsigned char first = byte(start);
    if (lexer_.glue && starts_ident_char(start)) {
      return make(start, ident_chars_end(start), TokenKind::Ident);
    }
    switch (first) {
      case '\t':
      case '\n':
      case '\v':
      case '\f':
      case '\r':
      case ' ':
        return make(start, white_space_end(start + 1), TokenKind::Whitespace);
      case '"':
        return scan_quoted(start, start, TokenKind::QuotedIdent);
      case '$':
        return scan_dollar(start);
      case '\'':
        return scan_plain_string(start, start + 1);
      case '-':
        if (byte_is(start + 1, '-'))
          return make(start, line_end(start + 2), TokenKind::LineComment);
        return make(start, start + 1, TokenKind::Minus);
      case '.':
        if (start + 1 < size_ && is_digit(byte(start + 1))) {
          return make(start, number_end(start), TokenKind::Number);
        }
        if (byte_is(start + 1, '.')) return make(start, start + 2, TokenKind::DotDot);
        return make(start, start + 1, TokenKind::Dot);
      case '/':
        if (byte_is(start + 1, '*')) return scan_block_comment(start);
        return make(start, start + 1, TokenKind::Slash);
      case ':':
        return scan_colon(start);
      case 'N':
      case 'n':
        if (byte_is(start + 1, '\'')) return scan_plain_string(start, start + 2);
        if ((byte_is(start + 1, 'Q') || byte_is(start + 1, 'q')) && byte_is(start + 2, '\'')) {
          return scan_q_quote(start, start + 3);
        }
        return make(start, ident_chars_end(start + 1), TokenKind::Ident);
      case 'Q':
      case 'q':
        if (byte_is(start + 1, '\'')) return scan_q_quote(start, start + 2);
        return make(start, ident_chars_end(start + 1), TokenKind::Ident);
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        return make(start, number_end(start), TokenKind::Number);
      case '!':
      case '~':
        if (byte_is(start + 1, '=')) return make(start, start + 2, TokenKind::Ne);
        return unexpected(start, start + 1);
      case '%':
        return make(start, start + 1, TokenKind::Percent);
      case '&':
        return scan_ampersand(start);
      case '(':
        return make(start, start + 1, TokenKind::LParen);
      case ')':
        return make(start, start + 1, TokenKind::RParen);
      case '*':
        if (byte_is(start + 1, '*')) return make(start, start + 2, TokenKind::Power);
        return make(start, start + 1, TokenKind::Star);
      case '+':
        return make(start, start + 1, TokenKind::Plus);
      case ',':
        return make(start, start + 1, TokenKind::Comma);
      case ';':
        return make(start, start + 1, TokenKind::Semicolon);
      case '<':
        if (byte_is(start + 1, '<')) return make(start, start + 2, TokenKind::LabelOpen);
        if (byte_is(start + 1, '=')) return make(start, start + 2, TokenKind::Le);
        if (byte_is(start + 1, '>')) return make(start, start + 2, TokenKind::Ne);
        return make(start, start + 1, TokenKind::Lt);
      case '=':
        if (byte_is(start + 1, '>')) return make(start, start + 2, TokenKind::Arrow);
        return make(start, start + 1, TokenKind::Eq);
      case '>':
        if (byte_is(start + 1, '=')) return make(start, start + 2, TokenKind::Ge);
        if (byte_is(start + 1, '>')) return make(start, start + 2, TokenKind::LabelClose);
        return make(start, start + 1, TokenKind::Gt);
      case '?':
        return make(start, start + 1, TokenKind::Question);
      case '@':
        return make(start, start + 1, TokenKind::At);
      case '[':
        return make(start, start + 1, TokenKind::LBracket);
      case ']':
        return make(start, start + 1, TokenKind::RBracket);
      case '{':
        return make(start, start + 1, TokenKind::LBrace);
      case '}':
        return make(start, start + 1, TokenKind::RBrace);
      case '^':
        if (byte_is(start + 1, '=')) return make(start, start + 2, TokenKind::Ne);
        return make(start, start + 1, TokenKind::Caret);
      case '|':
        if (byte_is(start + 1, '|')) return make(start, start + 2, TokenKind::Concat);
        return make(start, start + 1, TokenKind::Pipe);
      default:
        break;
    }
    if (is_letter(first)) return make(start, ident_chars_end(start + 1), TokenKind::Ident);
    if (first >= 0x80) return scan_non_ascii(start);
    return unexpected(start, start + 1);
  }

 private:
  unsigned char byte(size_t offset) const { return static_cast<unsigned char>(data_[offset]); }
  bool byte_is(size_t offset, char expected) const {
    return offset < size_ && data_[offset] == expected;
  }
  Character character(size_t offset) const { return character_at(lexer_.text, offset); }

  // The start is implied by the scan; it stays a parameter so that every
  // scan names the whole span it produces.
  static Scanned make(size_t /*start*/, size_t end, TokenKind kind) {
    return Scanned{static_cast<uint32_t>(end), kind};
  }

  void report(std::string_view message, size_t start, size_t end) {
    if constexpr (!Unread) {
      lexer_.diagnostics.push_back(Diagnostic{message, static_cast<uint32_t>(start),
                                              static_cast<uint32_t>(end), Severity::Error});
    }
  }

  Scanned unexpected(size_t start, size_t end) {
    report(MSG_UNEXPECTED_CHARACTER, start, end);
    return make(start, end, TokenKind::Unknown);
  }

  // Whether the character at `offset` is an identifier character.
  bool starts_ident_char(size_t offset) const {
    const unsigned char first = byte(offset);
    if (first < 0x80) return is_ascii_word_char(first);
    return is_unicode_ident_char(character(offset).code_point);
  }

  // Whether the character at `offset` (inside the text) is an identifier start.
  bool starts_ident_start(size_t offset) const {
    const unsigned char first = byte(offset);
    if (first < 0x80) return is_letter(first);
    return is_unicode_ident_start(character(offset).code_point);
  }

  // End of the run of identifier characters from `offset`.
  size_t ident_chars_end(size_t offset) const {
    while (offset < size_) {
      const unsigned char current = byte(offset);
      if (is_ascii_word_char(current)) {
        ++offset;
        continue;
      }
      if (current < 0x80) break;
      const Character next = character(offset);
      if (!is_unicode_ident_char(next.code_point)) break;
      offset += next.length;
    }
    return offset;
  }

  // End of the run of white space from `offset`.
  size_t white_space_end(size_t offset) const {
    while (offset < size_) {
      const unsigned char current = byte(offset);
      if (is_ascii_space(current)) {
        ++offset;
        continue;
      }
      if (current < 0x80) break;
      const Character next = character(offset);
      if (!is_unicode_space(next.code_point)) break;
      offset += next.length;
    }
    return offset;
  }

  // Offset of the next LF at or after `offset`, or the end of the text.
  size_t line_end(size_t offset) const {
    if (offset >= size_) return size_;
    const void* found = std::memchr(data_ + offset, '\n', size_ - offset);
    return found == nullptr ? size_ : static_cast<size_t>(static_cast<const char*>(found) - data_);
  }

  // Offset of the next `wanted` byte at or after `offset`, or the end.
  size_t find_byte(size_t offset, char wanted) const {
    if (offset >= size_) return size_;
    const void* found = std::memchr(data_ + offset, wanted, size_ - offset);
    return found == nullptr ? size_ : static_cast<size_t>(static_cast<const char*>(found) - data_);
  }

  size_t digits_end(size_t offset) const {
    while (offset < size_ && is_digit(byte(offset))) ++offset;
    return offset;
  }

  // Digits, then "." and digits unless ".." follows, then an exponent that has
  // a digit, then one f/F/d/D suffix not followed by a word character.
  size_t number_end(size_t offset) const {
    offset = digits_end(offset);
    if (byte_is(offset, '.') && !byte_is(offset + 1, '.')) offset = digits_end(offset + 1);
    if (byte_is(offset, 'e') || byte_is(offset, 'E')) {
      size_t exponent = offset + 1;
      if (byte_is(exponent, '+') || byte_is(exponent, '-')) ++exponent;
      if (exponent < size_ && is_digit(byte(exponent))) offset = digits_end(exponent);
    }
    if (offset < size_) {
      const char suffix = data_[offset];
      if (suffix == 'f' || suffix == 'F' || suffix == 'd' || suffix == 'D') {
        const size_t after = offset + 1;
        if (after >= size_ || (!is_ascii_word_char(byte(after)) && byte(after) < 0x80)) {
          ++offset;
        }
      }
    }
    return offset;
  }

  // From the double quote at `quote`: through the next double quote on the
  // same line, or up to the LF (a CR stays inside) with an error.
  Scanned scan_quoted(size_t start, size_t quote, TokenKind kind) {
    // A byte loop rather than a search for the line's end: it reads no further
    // than the token, so a long line of quoted names stays linear.
    size_t offset = quote + 1;
    while (offset < size_ && data_[offset] != '"' && data_[offset] != '\n') ++offset;
    if (offset < size_ && data_[offset] == '"') return make(start, offset + 1, kind);
    report(MSG_UNTERMINATED_QUOTED_IDENTIFIER, start, offset);
    return make(start, offset, kind);
  }

  // From `body` (just after an opening quote): through the first "'" that is
  // not doubled; strings span lines.
  Scanned scan_plain_string(size_t start, size_t body) {
    size_t offset = body;
    while (true) {
      const size_t quote = find_byte(offset, '\'');
      if (quote >= size_) break;
      if (byte_is(quote + 1, '\'')) {
        offset = quote + 2;
        continue;
      }
      return make(start, quote + 1, TokenKind::String);
    }
    report(MSG_UNTERMINATED_STRING, start, size_);
    return make(start, size_, TokenKind::String);
  }

  // `delimiter` is the offset of the character right after q' or nq'.
  Scanned scan_q_quote(size_t start, size_t delimiter) {
    bool valid = delimiter < size_ && !byte_is(delimiter, '\'');
    Character opening{-1, 1};
    if (valid) {
      const unsigned char first = byte(delimiter);
      if (first < 0x80) {
        opening = {first, 1};
        valid = !is_ascii_space(first);
      } else {
        opening = character(delimiter);
        valid = !is_unicode_space(opening.code_point);
      }
    }
    if (!valid) {
      report(MSG_INVALID_Q_QUOTE_DELIMITER, start, delimiter);
      return scan_plain_string(start, delimiter);
    }
    // The closing character's bytes: a bracket's partner, else the delimiter
    // itself (as written, so an ill-formed byte closes with itself).
    const char* closer = data_ + delimiter;
    size_t closer_length = opening.length;
    char bracket = 0;
    switch (data_[delimiter]) {
      case '(':
        bracket = ')';
        break;
      case '[':
        bracket = ']';
        break;
      case '{':
        bracket = '}';
        break;
      case '<':
        bracket = '>';
        break;
      default:
        break;
    }
    if (bracket != 0) {
      closer = &bracket;
      closer_length = 1;
    }
    const size_t body = delimiter + opening.length;
    // Each "'" is a candidate end; it closes when the closing character ends
    // right before it, inside the body.
    size_t offset = body;
    while (true) {
      const size_t quote = find_byte(offset, '\'');
      if (quote >= size_) break;
      if (quote >= body + closer_length &&
          std::memcmp(data_ + quote - closer_length, closer, closer_length) == 0) {
        return make(start, quote + 1, TokenKind::String);
      }
      offset = quote + 1;
    }
    report(MSG_UNTERMINATED_Q_QUOTED_STRING, start, size_);
    return make(start, size_, TokenKind::String);
  }

  Scanned scan_block_comment(size_t start) {
    size_t offset = start + 2;
    while (true) {
      const size_t star = find_byte(offset, '*');
      if (star >= size_) break;
      if (byte_is(star + 1, '/')) return make(start, star + 2, TokenKind::BlockComment);
      offset = star + 1;
    }
    report(MSG_UNTERMINATED_COMMENT, start, size_);
    return make(start, size_, TokenKind::BlockComment);
  }

  // "$$" + identifier start: Inquiry; "$" + ASCII letter: CondDirective; else
  // one Dollar.
  Scanned scan_dollar(size_t start) {
    if (byte_is(start + 1, '$') && start + 2 < size_ && starts_ident_start(start + 2)) {
      const unsigned char first = byte(start + 2);
      const size_t after_first = first < 0x80 ? start + 3 : start + 2 + character(start + 2).length;
      return make(start, ident_chars_end(after_first), TokenKind::Inquiry);
    }
    if (start + 1 < size_ && is_letter(byte(start + 1))) {
      return make(start, ident_chars_end(start + 2), TokenKind::CondDirective);
    }
    return make(start, start + 1, TokenKind::Dollar);
  }

  Scanned scan_colon(size_t start) {
    if (byte_is(start + 1, '"')) return scan_quoted(start, start + 1, TokenKind::Bind);
    if (byte_is(start + 1, '=')) return make(start, start + 2, TokenKind::Assign);
    if (start + 1 < size_ && (is_digit(byte(start + 1)) || starts_ident_start(start + 1))) {
      return make(start, ident_chars_end(start + 1), TokenKind::Bind);
    }
    return make(start, start + 1, TokenKind::Colon);
  }

  // "&" or "&&", then "_", a digit or an ASCII letter starts a Substitution
  // over ASCII word bytes and at most one "."; anything else is one Amp.
  Scanned scan_ampersand(size_t start) {
    size_t offset = start + 1;
    if (byte_is(offset, '&')) ++offset;
    if (offset < size_ &&
        (is_letter(byte(offset)) || is_digit(byte(offset)) || byte(offset) == '_')) {
      while (offset < size_ && is_ascii_word_char(byte(offset))) ++offset;
      if (byte_is(offset, '.')) ++offset;
      return make(start, offset, TokenKind::Substitution);
    }
    return make(start, start + 1, TokenKind::Amp);
  }

  Scanned scan_non_ascii(size_t start) {
    // U+FEFF, written first in a file by some editors as a byte-order mark: there it is
    // white space, anywhere else an unexpected character.
    if (start == 0 && byte_order_mark_length(lexer_.text) != 0) {
      return make(start, white_space_end(byte_order_mark_length(lexer_.text)),
                  TokenKind::Whitespace);
    }
    const Character first = character(start);
    if (is_unicode_ident_start(first.code_point)) {
      return make(start, ident_chars_end(start + first.length), TokenKind::Ident);
    }
    if (is_unicode_space(first.code_point)) {
      return make(start, white_space_end(start + first.length), TokenKind::Whitespace);
    }
    return unexpected(start, start + first.length);
  }

  Lexer& lexer_;
  const char* data_;
  size_t size_;
};

// The next token inside text SQL*Plus sends unread; updates position, glue and the end
// of that text. Out of line: such text is rare.
[[gnu::noinline]] Token lex_unread_one(Lexer& lexer) {
  const uint32_t start = lexer.position;
  const Scanned scanned = Scanner<true>(lexer).scan(start);
  lexer.position = scanned.end;
  lexer.glue = scanned.kind == TokenKind::Substitution;
  if (scanned.end >= lexer.unread_end) lexer.unread_end = 0;
  return Token{start, scanned.end, scanned.kind};
}

// The next token at a position before the end; updates position and glue, and shows
// each significant token to the watch for a heading that opens text SQL*Plus sends
// unread.
[[gnu::always_inline]] inline Token lex_one(Lexer& lexer) {
  if (lexer.unread_end != 0) [[unlikely]] {
    return lex_unread_one(lexer);
  }
  const uint32_t start = lexer.position;
  const bool glued = lexer.glue;
  const Scanned scanned = Scanner<false>(lexer).scan(start);
  lexer.position = scanned.end;
  lexer.glue = scanned.kind == TokenKind::Substitution;
  const Token token{start, scanned.end, scanned.kind};
  if (!syntax::is_trivia(scanned.kind)) {
    const uint32_t unread_end = watch_token(lexer.watch, lexer.text, token, glued);
    if (unread_end > scanned.end) lexer.unread_end = unread_end;
  }
  return token;
}

}  // namespace

Lexer::Lexer(std::string_view source_text) : text(source_text) {
  if (source_text.size() >= syntax::MAX_TEXT_BYTES) syntax::stop("text too long for the lexer");
}

void Lexer::move_to(uint32_t new_position) {
  if (new_position > text.size()) syntax::stop("lexer position past the end of the text");
  position = new_position;
  if (unread_end != 0 && position >= unread_end) unread_end = 0;
  watch.step = UnreadTextWatch::Step::StatementStart;
  watch.inline_step = UnreadTextWatch::InlineStep::None;
}

std::optional<Token> next_token(Lexer& lexer) {
  if (lexer.position >= lexer.text.size()) return std::nullopt;
  return lex_one(lexer);
}

bool append_next_token(Lexer& lexer, std::vector<Token>& tokens) {
  if (lexer.position >= lexer.text.size()) return false;
  tokens.push_back(lex_one(lexer));
  return true;
}

LexResult lex_text(std::string_view text) {
  Lexer lexer(text);
  LexResult result;
  result.tokens.reserve(text.size() / 3);
  while (lexer.position < text.size()) result.tokens.push_back(lex_one(lexer));
  result.diagnostics = std::move(lexer.diagnostics);
  return result;
}

}  // namespace veltrane::lexer
