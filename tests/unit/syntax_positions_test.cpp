#include <gtest/gtest.h>

#include <random>
#include <string>

#include "syntax/positions.hpp"
#include "syntax/stop.hpp"

namespace veltrane::syntax {
namespace {

// Every character boundary of the text gets the same answer from both conversions.
void expect_same_as_line_col(const std::string& text) {
  const LineIndex index = build_line_index(text);
  const Positions positions(text);
  for (uint32_t offset = 0; offset <= text.size(); ++offset) {
    if (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) {
      continue;
    }
    ASSERT_EQ(positions.at(offset), line_col(index, offset)) << "offset " << offset;
  }
}

TEST(Positions, AgreesWithLineColOnShapedTexts) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"empty", ""},
      {"final line feed", "ab\n"},
      {"carriage return stays in its line", "a\r\nb\r\n"},
      {"multi-byte letters", "é=ß\nλx"},
      {"one long line across blocks", std::string(1000, 'x') + "é" + std::string(600, 'y')},
      {"multi-byte characters straddling a block edge", std::string(255, 'a') + "€€€\n€"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    expect_same_as_line_col(test_case.text);
  }
}

TEST(Positions, AgreesWithLineColOnRandomTexts) {
  std::mt19937 random(7);
  const char* pieces[] = {"a", "\n", "\r", "é", "€", "😀", " "};
  for (int round = 0; round < 50; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 1500);
    for (int i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
    expect_same_as_line_col(text);
  }
}

TEST(Positions, StopsOutsideTheTextAndInsideACharacter) {
  const std::string text = "é";
  const Positions positions(text);
  EXPECT_THROW((void)positions.at(1), InternalStop);
  EXPECT_THROW((void)positions.at(3), InternalStop);
  EXPECT_EQ(positions.at(2), (LineCol{1, 2}));
}

}  // namespace
}  // namespace veltrane::syntax
