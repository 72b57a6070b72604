#include "lexer/script_lines.hpp"

#include <cstring>

namespace veltrane::lexer {

uint32_t line_end(std::string_view text, uint32_t offset) {
  if (offset >= text.size()) return static_cast<uint32_t>(text.size());
  const void* found = std::memchr(text.data() + offset, '\n', text.size() - offset);
  if (found == nullptr) return static_cast<uint32_t>(text.size());
  return static_cast<uint32_t>(static_cast<const char*>(found) - text.data());
}

uint32_t block_end_line(std::string_view text, uint32_t from, uint32_t to) {
  for (uint32_t line_feed = line_end(text, from); line_feed < to;
       line_feed = line_end(text, line_feed + 1)) {
    uint32_t offset = line_feed + 1;
    while (offset < to && is_blank_or_tab(text[offset])) ++offset;
    if (offset < to && (text[offset] == '/' || text[offset] == '.') &&
        only_blanks_after(text, offset + 1)) {
      return offset;
    }
  }
  return to;
}

}  // namespace veltrane::lexer
