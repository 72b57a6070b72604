#pragma once

// UTF-16 offsets of a UTF-8 text, for results read by hosts whose strings count UTF-16
// code units (JavaScript, Java, .NET).
//
// The table has one entry per byte position plus one for the end: at a character's first
// byte the number of code units before that character (a character at U+10000 or above
// counts 2, any other 1), at the end the text's total, at a continuation byte 0. Look up
// only character starts and the end of the text: a continuation byte silently gives 0.

#include <cstdint>
#include <string_view>
#include <vector>

#include "syntax/span.hpp"

namespace veltrane::syntax {

// The offset table of `text` (text.size() + 1 entries). The text is valid UTF-8 shorter
// than 4 GiB.
[[nodiscard]] std::vector<uint32_t> build_utf16_offsets(std::string_view text);

// The table together with what turns a byte offset into a line and a column in constant
// time after a bisection of the line starts: columns count characters, which are the
// code units minus the characters at U+10000 or above.
class Utf16Positions {
 public:
  // Borrows the text: it must outlive this object.
  explicit Utf16Positions(std::string_view text);

  // The UTF-16 offset of a byte offset (a character start or the end). Stops past the
  // end of the table.
  [[nodiscard]] uint32_t offset(uint32_t byte_offset) const {
    if (byte_offset >= units_.size()) stop_outside_table();
    return units_[byte_offset];
  }
  // 1-based line and column (in characters) of a character start or the end: the same
  // answer as `line_col`.
  [[nodiscard]] LineCol line_col(uint32_t byte_offset) const;
  // The number of lines: LF characters plus one.
  [[nodiscard]] uint32_t line_count() const {
    return static_cast<uint32_t>(index_.line_starts.size());
  }
  [[nodiscard]] const std::vector<uint32_t>& table() const { return units_; }

 private:
  [[noreturn]] static void stop_outside_table();
  // Characters before a character start or the end.
  [[nodiscard]] uint32_t characters_before(uint32_t byte_offset) const;

  std::vector<uint32_t> units_;
  LineIndex index_;
  // Byte offsets of the characters at U+10000 or above, in order.
  std::vector<uint32_t> astral_starts_;
};

}  // namespace veltrane::syntax
