#pragma once

// Lines and columns for many offsets of one text. `line_col` scans from the line start, so
// converting every token of a long single-line script one call at a time is quadratic;
// `Positions` keeps a character count every POSITION_BLOCK bytes, so that each lookup costs
// a binary search over the lines plus at most one block, in any order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "syntax/span.hpp"

namespace veltrane::syntax {

inline constexpr uint32_t POSITION_BLOCK = 256;

class Positions {
 public:
  // Borrows the text: it must outlive this object.
  explicit Positions(std::string_view text);
  Positions(std::string&&) = delete;

  // The same answer as `line_col` for the same offset, with the same stops.
  [[nodiscard]] LineCol at(uint32_t offset) const;

  [[nodiscard]] const LineIndex& line_index() const { return index_; }

 private:
  // Characters (bytes that are not UTF-8 continuation bytes) before `offset`.
  [[nodiscard]] uint32_t characters_before(uint32_t offset) const;

  LineIndex index_;
  // block_characters_[b]: characters before byte b * POSITION_BLOCK.
  std::vector<uint32_t> block_characters_;
};

}  // namespace veltrane::syntax
