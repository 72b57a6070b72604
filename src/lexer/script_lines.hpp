#pragma once
// The lines of a script as SQL*Plus reads them: the bytes that count as blanks, where a
// line starts and ends, and the lines that end a block of text ("/" or "." alone).

#include <cstdint>
#include <string_view>

namespace veltrane::lexer {

// ASCII 9-13 and space.
[[nodiscard]] constexpr bool is_ascii_white_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// A blank or a tab: the only bytes allowed between a line's start and a command (or a "/"
// that ends a statement).
[[nodiscard]] constexpr bool is_blank_or_tab(char c) { return c == ' ' || c == '\t'; }

// After a "/" that ends a statement, or a "-" that continues a line.
[[nodiscard]] constexpr bool is_blank_tab_or_cr(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// The length of the byte-order mark that `text` begins with: 3, or 0 when it has none.
[[nodiscard]] constexpr uint32_t byte_order_mark_length(std::string_view text) {
  return text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
}

// Only blanks and tabs lie between the start of the line and `offset`; a byte-order mark
// that begins the text counts as nothing. Looks back over blanks and tabs only, so no line
// prefix is scanned twice.
[[nodiscard]] inline bool only_blanks_before(std::string_view text, uint32_t offset) {
  while (offset > 0 && is_blank_or_tab(text[offset - 1])) --offset;
  return offset == 0 || text[offset - 1] == '\n' || offset == byte_order_mark_length(text);
}

// Only tabs, CRs and blanks lie between `offset` and the LF (or the end).
[[nodiscard]] inline bool only_blanks_after(std::string_view text, uint32_t offset) {
  while (offset < text.size() && is_blank_tab_or_cr(text[offset])) ++offset;
  return offset == text.size() || text[offset] == '\n';
}

// Offset of the LF that ends the line holding `offset`, or the text's length.
[[nodiscard]] uint32_t line_end(std::string_view text, uint32_t offset);

// The "/" or "." of the first line after the one that holds `from` that holds only that
// character (blanks and tabs before it, blanks, tabs and CRs after it), searched up to
// `to`; `to` when no such line starts before it. SQL*Plus ends a block of text it sends
// unread at such a line.
[[nodiscard]] uint32_t block_end_line(std::string_view text, uint32_t from, uint32_t to);

}  // namespace veltrane::lexer
