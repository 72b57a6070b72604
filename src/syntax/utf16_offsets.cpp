#include "syntax/utf16_offsets.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::syntax {

std::vector<uint32_t> build_utf16_offsets(std::string_view text) {
  std::vector<uint32_t> units(text.size() + 1, 0);
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
      count += 2;
      i += 4;
    }
  }
  units[size] = count;
  return units;
}

namespace {

constexpr uint64_t HIGH_BITS = 0x8080808080808080u;

// True when every byte of `text` is ASCII; thirty-two bytes at a time.
[[nodiscard]] bool all_ascii(std::string_view text) {
  uint64_t high = 0;
  std::size_t i = 0;
  for (; i + 32 <= text.size(); i += 32) {
    std::array<uint64_t, 4> words{};
    std::memcpy(words.data(), text.data() + i, sizeof words);
    high |= words[0] | words[1] | words[2] | words[3];
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & HIGH_BITS) == 0;
}

}  // namespace

Utf16Positions::Utf16Positions(std::string_view text)
    : text_(text),
      ascii_(all_ascii(text)),
      line_starts_(std::move(build_line_index(text).line_starts)) {
  if (!ascii_) count_blocks();
}

void Utf16Positions::count_blocks() {
  const std::string_view text = text_;
  const auto size = static_cast<uint32_t>(text.size());
  const uint32_t blocks = size / BLOCK + 1;
  block_units_.reserve(blocks);
  block_characters_.reserve(blocks);
  uint32_t units = 0;
  uint32_t characters = 0;
  for (uint32_t block_start = 0; block_start <= size; block_start += BLOCK) {
    const uint32_t block_end = std::min(size, block_start + BLOCK);
    bool ascii = true;
    uint32_t block_units = 0;
    uint32_t block_characters = 0;
    uint32_t i = block_start;
    // Eight bytes at a time while they are all ASCII, the common case of a script.
    for (; i + 8 <= block_end; i += 8) {
      uint64_t word = 0;
      std::memcpy(&word, text.data() + i, sizeof word);
      if ((word & HIGH_BITS) != 0) break;
      block_units += 8;
      block_characters += 8;
    }
    for (; i < block_end; ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (byte < 0x80) {
        ++block_units;
        ++block_characters;
        continue;
      }
      ascii = false;
      if (is_continuation_byte(text[i])) continue;
      ++block_characters;
      block_units += byte >= 0xF0 ? 2 : 1;
    }
    block_units_.push_back(ascii ? (units | ASCII_BLOCK) : units);
    block_characters_.push_back(characters);
    units += block_units;
    characters += block_characters;
    if (size - block_start < BLOCK) break;
  }
}

void Utf16Positions::stop_outside_text() { stop(OFFSET_OUT_OF_RANGE); }

uint32_t Utf16Positions::offset_in_mixed_block(uint32_t byte_offset) const {
  if (byte_offset < text_.size() && is_continuation_byte(text_[byte_offset])) return 0;
  const uint32_t block = byte_offset / BLOCK;
  uint32_t units = block_units_[block];
  for (uint32_t i = block * BLOCK; i < byte_offset; ++i) {
    const auto byte = static_cast<unsigned char>(text_[i]);
    if (is_continuation_byte(text_[i])) continue;
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

uint32_t Utf16Positions::characters_before(uint32_t byte_offset) const {
  if (ascii_) return byte_offset;
  const uint32_t block = byte_offset / BLOCK;
  uint32_t characters = block_characters_[block];
  if ((block_units_[block] & ASCII_BLOCK) != 0) return characters + byte_offset % BLOCK;
  for (uint32_t i = block * BLOCK; i < byte_offset; ++i) {
    if (!is_continuation_byte(text_[i])) ++characters;
  }
  return characters;
}

void Utf16Positions::check_character_start(uint32_t byte_offset) const {
  if (byte_offset > text_.size()) stop(OFFSET_OUT_OF_RANGE);
  if (!ascii_ && byte_offset < text_.size() && is_continuation_byte(text_[byte_offset])) {
    stop(NOT_A_CHARACTER_BOUNDARY);
  }
}

LineCol Utf16Positions::position_on_line(uint32_t byte_offset, uint32_t line) const {
  const uint32_t line_start = line_starts_[line];
  const uint32_t column = characters_before(byte_offset) - characters_before(line_start) + 1;
  return LineCol{line + 1, column};
}

LineCol Utf16Positions::line_col(uint32_t byte_offset) const {
  check_character_start(byte_offset);
  const auto& starts = line_starts_;
  const auto after = std::upper_bound(starts.begin(), starts.end(), byte_offset);
  return position_on_line(byte_offset, static_cast<uint32_t>(after - starts.begin()) - 1);
}

LineCol Utf16Positions::searched_line_col(uint32_t byte_offset, uint32_t& line_hint) const {
  check_character_start(byte_offset);
  const auto& starts = line_starts_;
  const auto holds = [&](std::size_t line) {
    return line < starts.size() && starts[line] <= byte_offset &&
           (line + 1 == starts.size() || byte_offset < starts[line + 1]);
  };
  if (!holds(line_hint)) {
    if (holds(std::size_t{line_hint} + 1)) {
      ++line_hint;
    } else {
      // The line is the last whose start is at or before the offset: searched in steps
      // that double from the hint when the offset lies ahead of it (a few lines on, most
      // often), else in the whole list.
      auto low = starts.begin();
      auto high = starts.end();
      if (line_hint < starts.size() && starts[line_hint] <= byte_offset) {
        low = starts.begin() + line_hint;
        for (std::size_t step = 2; static_cast<std::size_t>(high - low) > step; step *= 2) {
          if (low[static_cast<std::ptrdiff_t>(step)] > byte_offset) {
            high = low + static_cast<std::ptrdiff_t>(step);
            break;
          }
          low += static_cast<std::ptrdiff_t>(step);
        }
      }
      const auto after = std::upper_bound(low, high, byte_offset);
      line_hint = static_cast<uint32_t>(after - starts.begin()) - 1;
    }
  }
  return position_on_line(byte_offset, line_hint);
}

}  // namespace veltrane::syntax
