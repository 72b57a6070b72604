#pragma once

// UTF-16 offsets of a UTF-8 text, for results read by hosts whose strings count UTF-16
// code units (JavaScript, Java, .NET).
//
// The table has one entry per byte position plus one for the end: at a character's first
// byte the number of code units before that character (a character at U+10000 or above
// counts 2, any other 1), at the end the text's total, at a continuation byte 0. Look up
// only character starts and the end of the text: a continuation byte silently gives 0.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "syntax/span.hpp"

namespace veltrane::syntax {

// The offset table of `text` (text.size() + 1 entries). The text is valid UTF-8 shorter
// than 4 GiB.
[[nodiscard]] std::vector<uint32_t> build_utf16_offsets(std::string_view text);

// The same lookups as the table (UTF-16 offsets of character starts and of the end),
// and lines and columns, for many offsets of one text, without four bytes per byte. In a
// text that is all ASCII (most scripts) an offset is its byte offset and a column its
// distance from the line start. Otherwise it keeps a count of code units and of characters
// before every block of BLOCK bytes, a flag on the all-ASCII blocks (where an offset is
// one addition), and scans at most one block elsewhere. Columns count characters, as
// `line_col` does.
class Utf16Positions {
 public:
  static constexpr uint32_t BLOCK = 64;

  // Borrows the text (valid UTF-8, shorter than 2 GiB): it must outlive this object.
  explicit Utf16Positions(std::string_view text);
  Utf16Positions(std::string&&) = delete;

  // The UTF-16 offset of a byte offset: the code units before the character that starts
  // there, or the total at the end; 0 at a continuation byte, as in the table. Stops past
  // the end of the text.
  [[nodiscard]] uint32_t offset(uint32_t byte_offset) const {
    if (byte_offset > text_.size()) stop_outside_text();
    if (ascii_) return byte_offset;
    const uint32_t block = byte_offset / BLOCK;
    const uint32_t units = block_units_[block];
    if ((units & ASCII_BLOCK) != 0) return (units & ~ASCII_BLOCK) + byte_offset % BLOCK;
    return offset_in_mixed_block(byte_offset);
  }
  // 1-based line and column (in characters) of a character start or the end: the same
  // answer as `line_col`, with the same stops.
  [[nodiscard]] LineCol line_col(uint32_t byte_offset) const;
  // The same answer; `line_hint` (a 0-based line number, set to the line found) spares
  // the search when the offset lies on that line or the next, as it does for offsets
  // asked in rising order.
  [[nodiscard]] LineCol line_col(uint32_t byte_offset, uint32_t& line_hint) const {
    // In an ASCII text on the hinted line or the next, inline: records and tokens asked
    // in rising order mostly are, and the column is a subtraction.
    const std::size_t lines = line_starts_.size();
    uint32_t line = line_hint;
    if (ascii_ && std::size_t{line} + 2 < lines) {
      const uint32_t* const starts = line_starts_.data();
      if (byte_offset >= starts[line + 1]) ++line;
      if (starts[line] <= byte_offset && byte_offset < starts[line + 1]) {
        line_hint = line;
        return LineCol{line + 1, byte_offset - starts[line] + 1};
      }
    }
    return searched_line_col(byte_offset, line_hint);
  }
  // The number of lines: LF characters plus one.
  [[nodiscard]] uint32_t line_count() const { return static_cast<uint32_t>(line_starts_.size()); }
  // True when the text holds only ASCII characters.
  [[nodiscard]] bool is_ascii() const { return ascii_; }
  // The length of the text in bytes.
  [[nodiscard]] std::size_t text_size() const { return text_.size(); }

 private:
  // Set on the code-unit count of a block that holds only ASCII.
  static constexpr uint32_t ASCII_BLOCK = 0x80000000u;

  [[noreturn]] static void stop_outside_text();
  // line_col with a hint, any text and any line.
  [[nodiscard]] LineCol searched_line_col(uint32_t byte_offset, uint32_t& line_hint) const;
  // The per-block counts of a text that is not all ASCII.
  void count_blocks();
  [[nodiscard]] uint32_t offset_in_mixed_block(uint32_t byte_offset) const;
  // Characters before a character start or the end.
  [[nodiscard]] uint32_t characters_before(uint32_t byte_offset) const;
  // Stops unless the offset is a character start or the end.
  void check_character_start(uint32_t byte_offset) const;
  // The position of a checked offset on the 0-based line `line`, which holds it.
  [[nodiscard]] LineCol position_on_line(uint32_t byte_offset, uint32_t line) const;

  std::string_view text_;
  bool ascii_ = true;
  // 0 and the offset after every LF.
  std::vector<uint32_t> line_starts_;
  // Per block, empty for an ASCII text: code units before it (ASCII_BLOCK set when it is
  // all ASCII), characters before it.
  std::vector<uint32_t> block_units_;
  std::vector<uint32_t> block_characters_;
};

}  // namespace veltrane::syntax
