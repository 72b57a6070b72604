#include "lexer/token_values.hpp"

#include "syntax/unicode.hpp"

namespace veltrane::lexer {

namespace {

std::string_view strip_double_quotes(std::string_view text) {
  while (!text.empty() && text.front() == '"') text.remove_prefix(1);
  while (!text.empty() && text.back() == '"') text.remove_suffix(1);
  return text;
}

bool is_white_space_at(std::string_view text, size_t offset, uint32_t& length) {
  const syntax::DecodedChar decoded = syntax::decode_utf8(text, offset);
  length = decoded.length;
  if (decoded.code_point < 0) return false;
  const auto code_point = static_cast<char32_t>(decoded.code_point);
  if (code_point < 0x80) return (code_point >= 9 && code_point <= 13) || code_point == ' ';
  return syntax::is_white_space(code_point);
}

// The body of a q-quoted literal (`text` starts with q/Q and holds at least
// five bytes). Works in whole characters: the delimiter is the character
// after "q'", and nothing is cut in half.
std::string q_quoted_value(std::string_view text) {
  constexpr size_t delimiter = 2;
  uint32_t delimiter_length = 1;
  const bool invalid =
      text[delimiter] == '\'' || is_white_space_at(text, delimiter, delimiter_length);
  const size_t body = delimiter + delimiter_length;
  if (body > text.size()) return {};
  const bool quote_at_end = text.back() == '\'';
  if (!invalid) {
    // Terminated exactly when the closing character and a "'" end the text
    // after the delimiter, which is how the lexer ends the token.
    std::string_view closer = text.substr(delimiter, delimiter_length);
    switch (text[delimiter]) {
      case '(':
        closer = ")";
        break;
      case '[':
        closer = "]";
        break;
      case '{':
        closer = "}";
        break;
      case '<':
        closer = ">";
        break;
      default:
        break;
    }
    if (quote_at_end && text.size() >= body + closer.size() + 1) {
      const size_t closer_start = text.size() - 1 - closer.size();
      if (text.substr(closer_start, closer.size()) == closer) {
        return std::string(text.substr(body, closer_start - body));
      }
    }
    return std::string(text.substr(body));
  }
  // An invalid delimiter: the lexer read the rest as a plain string, and the
  // value lies between the delimiter and the character before the final "'".
  if (!quote_at_end || text.size() - 1 < body) return std::string(text.substr(body));
  size_t closer_start = text.size() - 1;
  if (closer_start > body) {
    --closer_start;
    while (closer_start > body && (static_cast<unsigned char>(text[closer_start]) & 0xC0) == 0x80) {
      --closer_start;
    }
  }
  return std::string(text.substr(body, closer_start - body));
}

}  // namespace

std::string identifier_text(TokenKind kind, std::string_view text) {
  std::string normal;
  append_identifier_text(normal, kind, text);
  return normal;
}

void append_identifier_text(std::string& sink, TokenKind kind, std::string_view text) {
  if (kind == TokenKind::QuotedIdent) {
    sink += strip_double_quotes(text);
    return;
  }
  if (kind == TokenKind::Bind) {
    if (text.empty()) return;
    const std::string_view name = text.substr(1);
    if (!name.empty() && name.front() == '"') {
      sink += strip_double_quotes(name);
      return;
    }
    syntax::append_upper_full(sink, name);
    return;
  }
  syntax::append_upper_full(sink, text);
}

std::string string_literal_value(std::string_view text) {
  if (!text.empty() && (text.front() == 'N' || text.front() == 'n')) text.remove_prefix(1);
  if (text.size() >= 5 && (text.front() == 'Q' || text.front() == 'q')) return q_quoted_value(text);
  if (!text.empty() && text.front() == '\'') text.remove_prefix(1);
  if (!text.empty() && text.back() == '\'') text.remove_suffix(1);
  std::string value;
  value.reserve(text.size());
  for (size_t offset = 0; offset < text.size(); ++offset) {
    value.push_back(text[offset]);
    if (text[offset] == '\'' && offset + 1 < text.size() && text[offset + 1] == '\'') ++offset;
  }
  return value;
}

}  // namespace veltrane::lexer
