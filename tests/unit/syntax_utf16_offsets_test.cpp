#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "syntax/positions.hpp"
#include "syntax/stop.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::syntax {
namespace {

TEST(Utf16Offsets, CountCodeUnitsAtCharacterStarts) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<uint32_t> table;
  };
  const Case cases[] = {
      {"empty", "", {0}},
      {"ASCII", "ab", {0, 1, 2}},
      {"two-byte letter", "\xC3\xA9x", {0, 0, 1, 2}},
      {"three-byte character", "\xE2\x82\xAC", {0, 0, 0, 1}},
      {"astral character counts two",
       "\xF0\x9F\x98\x80"
       "a",
       {0, 0, 0, 0, 2, 3}},
      {"replacement character",
       "\xEF\xBF\xBD"
       "b",
       {0, 0, 0, 1, 2}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(build_utf16_offsets(test_case.text), test_case.table);
    const Utf16Positions positions(test_case.text);
    for (uint32_t offset = 0; offset <= test_case.text.size(); ++offset) {
      EXPECT_EQ(positions.offset(offset), test_case.table[offset]) << "offset " << offset;
    }
  }
}

// Lines of 0, 1, ... `longest` repeats of `piece`, so that line feeds fall at every place
// of the eight-byte groups the line scan reads.
std::string lines_of_every_length(int longest, std::string_view piece) {
  std::string text;
  for (int length = 0; length <= longest; ++length) {
    for (int i = 0; i < length; ++i) text += piece;
    text += '\n';
  }
  return text;
}

TEST(Utf16Positions, LinesAndColumnsAgreeWithLineCol) {
  const std::string texts[] = {
      "",
      "a\nb",
      "a\r\nb\r\n",
      "\xF0\x9F\x98\x80x = \xF0\x9F\x98\x80\xF0\x9F\x98\x80y\n\xC3\xA9\xF0\x9F\x98\x80z\n",
      std::string(1000, 'x') + "\xF0\x9F\x98\x80" + std::string(10, 'y'),
      std::string(63, 'a') + "\xC3\xA9" + std::string(62, 'b') + "\xF0\x9F\x98\x80\n" +
          std::string(64, 'c'),
      std::string(64, 'x'),
      lines_of_every_length(20, "x"),
      lines_of_every_length(12, "\x0b\t"),
      lines_of_every_length(12, "\xC3\xA9"),
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    const LineIndex index = build_line_index(text);
    const Utf16Positions positions(text);
    const std::vector<uint32_t> table = build_utf16_offsets(text);
    EXPECT_EQ(positions.line_count(), index.line_starts.size());
    std::vector<uint32_t> starts;
    for (uint32_t offset = 0; offset <= text.size(); ++offset) {
      if (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) {
        continue;
      }
      starts.push_back(offset);
      ASSERT_EQ(positions.line_col(offset), line_col(index, offset)) << "offset " << offset;
      ASSERT_EQ(positions.offset(offset), table[offset]) << "offset " << offset;
    }
    // With a line hint, in rising order, falling order and jumping back and forth.
    std::vector<uint32_t> orders = starts;
    orders.insert(orders.end(), starts.rbegin(), starts.rend());
    for (std::size_t i = 0; i < starts.size(); ++i) orders.push_back(starts[i * 7 % starts.size()]);
    uint32_t line_hint = 0;
    for (const uint32_t offset : orders) {
      ASSERT_EQ(positions.line_col(offset, line_hint), line_col(index, offset))
          << "offset " << offset;
    }
  }
  // Jumps of every length ahead of the hint, which the search takes in doubling steps.
  std::string lines;
  for (int line = 0; line < 600; ++line) lines += std::string(line % 7, 'x') + '\n';
  const LineIndex lines_index = build_line_index(lines);
  const Utf16Positions lines_positions(lines);
  for (uint32_t from = 0; from < 40; ++from) {
    for (uint32_t to = from; to <= lines.size(); to += 1 + to % 5) {
      uint32_t line_hint = from;
      ASSERT_EQ(lines_positions.line_col(to, line_hint), line_col(lines_index, to))
          << "from line " << from << " to offset " << to;
    }
  }
  const std::string text = "\xC3\xA9";
  const Utf16Positions positions(text);
  EXPECT_THROW((void)positions.line_col(1), InternalStop);
  EXPECT_THROW((void)positions.line_col(3), InternalStop);
  uint32_t line_hint = 5;
  EXPECT_THROW((void)positions.line_col(1, line_hint), InternalStop);
  EXPECT_THROW((void)positions.offset(3), InternalStop);
  const std::string ascii = "ab";
  const Utf16Positions ascii_positions(ascii);
  EXPECT_THROW((void)ascii_positions.line_col(3), InternalStop);
  EXPECT_THROW((void)ascii_positions.offset(3), InternalStop);
  const std::string ascii_lines = "a\nb\nc\nd";
  const Utf16Positions ascii_lines_positions(ascii_lines);
  for (uint32_t hint : {0u, 1u, 2u, 9u}) {
    EXPECT_THROW((void)ascii_lines_positions.line_col(99, hint), InternalStop);
  }
}

}  // namespace
}  // namespace veltrane::syntax
