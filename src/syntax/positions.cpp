#include "syntax/positions.hpp"

#include <algorithm>

#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::syntax {

namespace {

uint32_t count_characters(std::string_view text, uint32_t from, uint32_t to) {
  uint32_t count = 0;
  for (uint32_t i = from; i < to; ++i) {
    if (!is_continuation_byte(text[i])) ++count;
  }
  return count;
}

}  // namespace

Positions::Positions(std::string_view text) : index_(build_line_index(text)) {
  const auto size = static_cast<uint32_t>(text.size());
  block_characters_.reserve(size / POSITION_BLOCK + 1);
  uint32_t characters = 0;
  for (uint32_t block_start = 0; block_start <= size; block_start += POSITION_BLOCK) {
    block_characters_.push_back(characters);
    characters += count_characters(text, block_start, std::min(size, block_start + POSITION_BLOCK));
    if (size - block_start < POSITION_BLOCK) break;
  }
}

uint32_t Positions::characters_before(uint32_t offset) const {
  const uint32_t block = offset / POSITION_BLOCK;
  return block_characters_[block] + count_characters(index_.text, block * POSITION_BLOCK, offset);
}

LineCol Positions::at(uint32_t offset) const {
  const std::string_view text = index_.text;
  if (offset > text.size()) stop(OFFSET_OUT_OF_RANGE);
  if (offset < text.size() && is_continuation_byte(text[offset])) stop(NOT_A_CHARACTER_BOUNDARY);
  const auto& starts = index_.line_starts;
  const auto after = std::upper_bound(starts.begin(), starts.end(), offset);
  const uint32_t line_start = *(after - 1);
  const uint32_t column = characters_before(offset) - characters_before(line_start) + 1;
  return LineCol{static_cast<uint32_t>(after - starts.begin()), column};
}

}  // namespace veltrane::syntax
