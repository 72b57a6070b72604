#include "syntax/utf16_offsets.hpp"

#include <algorithm>

#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::syntax {

namespace {

// Fills `units` (text.size() + 1 entries, all 0 on entry) and calls
// `on_astral` with the byte offset of each character at U+10000 or above.
template <class OnAstral>
void fill_utf16_offsets(std::string_view text, std::vector<uint32_t>& units, OnAstral on_astral) {
  const auto size = static_cast<uint32_t>(text.size());
  uint32_t count = 0;
  uint32_t i = 0;
  while (i < size) {
    const auto byte = static_cast<unsigned char>(text[i]);
    units[i] = count;
    if (byte < 0x80) {
      ++count;
      ++i;
    } else if (byte < 0xE0) {
      ++count;
      i += 2;
    } else if (byte < 0xF0) {
      ++count;
      i += 3;
    } else {
      on_astral(i);
      count += 2;
      i += 4;
    }
  }
  units[size] = count;
}

}  // namespace

std::vector<uint32_t> build_utf16_offsets(std::string_view text) {
  std::vector<uint32_t> units(text.size() + 1, 0);
  fill_utf16_offsets(text, units, [](uint32_t) {});
  return units;
}

Utf16Positions::Utf16Positions(std::string_view text)
    : units_(text.size() + 1, 0), index_(build_line_index(text)) {
  fill_utf16_offsets(text, units_, [this](uint32_t at) { astral_starts_.push_back(at); });
}

void Utf16Positions::stop_outside_table() { stop(OFFSET_OUT_OF_RANGE); }

uint32_t Utf16Positions::characters_before(uint32_t byte_offset) const {
  uint32_t astral = 0;
  if (!astral_starts_.empty()) {
    astral = static_cast<uint32_t>(
        std::lower_bound(astral_starts_.begin(), astral_starts_.end(), byte_offset) -
        astral_starts_.begin());
  }
  return units_[byte_offset] - astral;
}

LineCol Utf16Positions::line_col(uint32_t byte_offset) const {
  const std::string_view text = index_.text;
  if (byte_offset > text.size()) stop(OFFSET_OUT_OF_RANGE);
  if (byte_offset < text.size() && is_continuation_byte(text[byte_offset])) {
    stop(NOT_A_CHARACTER_BOUNDARY);
  }
  const auto& starts = index_.line_starts;
  const auto after = std::upper_bound(starts.begin(), starts.end(), byte_offset);
  const uint32_t line_start = *(after - 1);
  const uint32_t column = characters_before(byte_offset) - characters_before(line_start) + 1;
  return LineCol{static_cast<uint32_t>(after - starts.begin()), column};
}

}  // namespace veltrane::syntax
