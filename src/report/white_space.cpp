#include "report/white_space.hpp"

#include <cstddef>

#include "syntax/unicode.hpp"

namespace veltrane::report {

namespace {

// The start of the character that ends just before `end` (a valid UTF-8 text is assumed
// around it; ill-formed bytes count one each).
std::size_t previous_character_start(std::string_view text, std::size_t end) {
  std::size_t start = end - 1;
  std::size_t steps = 1;
  while (start > 0 && steps < 4 && syntax::is_continuation_byte(text[start])) {
    --start;
    ++steps;
  }
  const syntax::DecodedChar decoded = syntax::decode_utf8(text, start);
  return decoded.code_point >= 0 && start + decoded.length == end ? start : end - 1;
}

bool white_at(std::string_view text, std::size_t offset, uint32_t& length) {
  const syntax::DecodedChar decoded = syntax::decode_utf8(text, offset);
  length = decoded.length;
  return decoded.code_point >= 0 &&
         syntax::is_white_space(static_cast<char32_t>(decoded.code_point));
}

}  // namespace

std::string_view trim_white_space(std::string_view text) {
  std::size_t start = 0;
  uint32_t length = 0;
  while (start < text.size() && white_at(text, start, length)) start += length;
  std::size_t end = text.size();
  while (end > start) {
    const std::size_t character = previous_character_start(text, end);
    if (!white_at(text, character, length) || character + length != end) break;
    end = character;
  }
  return text.substr(start, end - start);
}

}  // namespace veltrane::report
