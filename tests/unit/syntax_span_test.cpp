#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "syntax/span.hpp"
#include "syntax/stop.hpp"

namespace veltrane::syntax {
namespace {

// The stop message of `line_col`, or none when it gave a position.
std::optional<std::string> line_col_stop(const LineIndex& index, uint32_t offset) {
  try {
    (void)line_col(index, offset);
  } catch (const InternalStop& stop) {
    return stop.message;
  }
  return std::nullopt;
}

template <class Text>
constexpr bool can_build_line_index = requires(Text&& text) {
  build_line_index(std::forward<Text>(text));
};
// The index borrows its text, so a temporary std::string is refused at compile time.
static_assert(!can_build_line_index<std::string>);
static_assert(!can_build_line_index<const std::string>);
static_assert(can_build_line_index<std::string&>);
static_assert(can_build_line_index<const std::string&>);
static_assert(can_build_line_index<std::string_view>);
static_assert(can_build_line_index<const char*>);

TEST(LineIndexTest, LineStartsFollowLineFeedsOnly) {
  struct Case {
    std::string_view name;
    std::string_view text;
    std::vector<uint32_t> starts;
  };
  const Case cases[] = {
      {"empty", "", {0}},
      {"no line feed", "abc", {0}},
      {"final line feed makes an empty last line", "ab\n", {0, 3}},
      {"carriage return alone ends nothing", "a\rb", {0}},
      {"CR LF", "a\r\nb", {0, 3}},
      {"blank lines", "\n\n", {0, 1, 2}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const LineIndex index = build_line_index(test_case.text);
    EXPECT_EQ(index.line_starts, test_case.starts);
    EXPECT_EQ(index.text.data(), test_case.text.data());
  }
}

TEST(LineIndexTest, LineColCountsCharactersFromTheLineStart) {
  struct Case {
    std::string_view name;
    std::string_view text;
    uint32_t offset;
    LineCol expected;
  };
  const Case cases[] = {
      {"empty text", "", 0, {1, 1}},
      {"start of the second line", "ab\ncd", 3, {2, 1}},
      {"the line feed itself", "ab\ncd", 2, {1, 3}},
      {"end of the text", "ab\ncd", 5, {2, 3}},
      {"after a two-byte letter", "\xC3\xA9=", 2, {1, 2}},
      {"after a three-byte and a four-byte character", "\xE2\x82\xAC\xF0\x9F\x98\x80x", 7, {1, 3}},
      {"CR counts as a character of its line", "a\r\nb", 2, {1, 3}},
      {"after CR LF", "a\r\nb", 3, {2, 1}},
      {"before CR", "a\r\nb", 1, {1, 2}},
      {"end after a final line feed", "ab\n", 3, {2, 1}},
      {"multi-byte letters on the second line", "x\n\xC3\xA9\xC3\xA9z", 6, {2, 3}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const LineIndex index = build_line_index(test_case.text);
    EXPECT_EQ(line_col(index, test_case.offset), test_case.expected);
  }
}

TEST(LineIndexTest, OffsetsOutsideTheTextOrInsideACharacterStop) {
  struct Case {
    std::string_view name;
    std::string_view text;
    uint32_t offset;
    std::string_view message;
  };
  const Case cases[] = {
      {"one past the end", "ab\ncd", 6, OFFSET_OUT_OF_RANGE},
      {"past the end of an empty text", "", 1, OFFSET_OUT_OF_RANGE},
      {"inside a two-byte letter", "\xC3\xA9=", 1, NOT_A_CHARACTER_BOUNDARY},
      {"inside a four-byte character", "\xF0\x9F\x98\x80", 3, NOT_A_CHARACTER_BOUNDARY},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const LineIndex index = build_line_index(test_case.text);
    EXPECT_EQ(line_col_stop(index, test_case.offset), std::string(test_case.message));
  }
}

TEST(SpanTextTest, SlicesOnCharacterBoundariesAndStopsOtherwise) {
  const std::string_view text = "a\xC3\xA9z";  // a, e-acute (2 bytes), z
  struct Case {
    std::string_view name;
    Span span;
    std::optional<std::string_view> expected;  // none: stops with `message`
    std::string_view message;
  };
  const Case cases[] = {
      {"whole text", {0, 4}, "a\xC3\xA9z", ""},
      {"empty span at the end", {4, 4}, "", ""},
      {"the letter", {1, 3}, "\xC3\xA9", ""},
      {"start inside the letter", {2, 3}, std::nullopt, NOT_A_CHARACTER_BOUNDARY},
      {"end inside the letter", {1, 2}, std::nullopt, NOT_A_CHARACTER_BOUNDARY},
      {"end past the text", {3, 5}, std::nullopt, OFFSET_OUT_OF_RANGE},
      {"start past the text", {5, 5}, std::nullopt, OFFSET_OUT_OF_RANGE},
      {"start after end", {3, 1}, std::nullopt, SPAN_REVERSED},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    try {
      const std::string_view slice = span_text(test_case.span, text);
      ASSERT_TRUE(test_case.expected.has_value()) << "did not stop";
      EXPECT_EQ(slice, *test_case.expected);
    } catch (const InternalStop& stop) {
      EXPECT_FALSE(test_case.expected.has_value());
      EXPECT_EQ(stop.message, test_case.message);
    }
  }
}

}  // namespace
}  // namespace veltrane::syntax
