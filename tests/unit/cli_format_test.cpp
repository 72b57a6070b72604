// Number formatting, column padding, the JSON string literal of `parse --json` and the
// excerpt of `parse --errors`.

#include <gtest/gtest.h>

#include <clocale>
#include <cstddef>
#include <string>
#include <string_view>

#include "cli/parse_command.hpp"
#include "cli/text_format.hpp"
#include "syntax/span.hpp"

namespace veltrane::cli {
namespace {

struct FixedCase {
  const char* name;
  double value;
  int decimals;
  std::string_view expected;
};

constexpr FixedCase FIXED_CASES[] = {
    {"exact tie rounds to even", 3.125, 2, "3.12"},
    {"small exact tie", 0.125, 2, "0.12"},
    {"not a tie in binary", 12.345, 2, "12.35"},
    {"tie at no decimals, even below", 2.5, 0, "2"},
    {"half rounds to zero", 0.5, 0, "0"},
    {"tie at no decimals, even above", 1.5, 0, "2"},
    {"0.05 is above the tie in binary", 0.05, 1, "0.1"},
    {"carry into a new digit", 99.995, 2, "100.00"},
    {"percentage of 3 in 32", 9.375, 2, "9.38"},
    {"zero keeps its decimals", 0.0, 1, "0.0"},
    {"one nanosecond in milliseconds", 1e-9 * 1000, 1, "0.0"},
    {"large values are not in exponent form", 1e20, 0, "100000000000000000000"},
};

TEST(CliFormat, FixedNotation) {
  for (const FixedCase& test : FIXED_CASES) {
    SCOPED_TRACE(test.name);
    std::string text;
    append_fixed(text, test.value, test.decimals);
    EXPECT_EQ(text, test.expected);
  }
}

TEST(CliFormat, FixedNotationIgnoresTheNumericLocale) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma on this machine";
  }
  std::string text;
  append_fixed(text, 3.5, 1);
  append_integer(text, 1234567);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "3.51234567");
}

struct PadCase {
  const char* name;
  std::string_view text;
  std::size_t width;
  bool right_aligned;
  std::string_view expected;
};

constexpr PadCase PAD_CASES[] = {
    {"left-aligned kind name", "SelectStmt", 20, false, "SelectStmt          "},
    {"width counts characters, not bytes", "\xC3\xA9\xC3\xA9\xC3\xA9", 5, false,
     "\xC3\xA9\xC3\xA9\xC3\xA9  "},
    {"longer text is written whole", "CreatePackageBodyStatement", 20, false,
     "CreatePackageBodyStatement"},
    {"exact width adds nothing", "abcde", 5, true, "abcde"},
    {"right-aligned count", "12", 6, true, "    12"},
    {"right-aligned non-ASCII", "\xC3\xA9", 3, true, "  \xC3\xA9"},
    {"empty text", "", 3, false, "   "},
};

TEST(CliFormat, Padding) {
  for (const PadCase& test : PAD_CASES) {
    SCOPED_TRACE(test.name);
    std::string text = "[";
    if (test.right_aligned) {
      append_padded_left(text, test.text, test.width);
    } else {
      append_padded_right(text, test.text, test.width);
    }
    EXPECT_EQ(text, "[" + std::string(test.expected));
  }
  std::string counts;
  append_integer_padded_left(counts, 1234567, 5);
  append_integer_padded_left(counts, 0, 5);
  EXPECT_EQ(counts, "1234567    0");
}

TEST(CliFormat, FirstCharacters) {
  EXPECT_EQ(first_characters("h\xC3\xA9llo", 2), "h\xC3\xA9");
  EXPECT_EQ(first_characters("\xF0\x9F\x98\x80x", 1), "\xF0\x9F\x98\x80");
  EXPECT_EQ(first_characters("abc", 3), "abc");
  EXPECT_EQ(first_characters("abc", 10), "abc");
  EXPECT_EQ(first_characters("abc", 0), "");
  EXPECT_EQ(character_count("a\xC3\xA9\xE2\x80\xA8\xF0\x9F\x98\x80"), 4u);
}

struct QuoteCase {
  const char* name;
  std::string_view text;
  std::string_view expected;
};

constexpr QuoteCase QUOTE_CASES[] = {
    {"no short escapes for backspace and form feed", "\b\f\x01\x1B/\xC3\xA9",
     R"("\u0008\u000c\u0001\u001b/é")"},
    {"empty text", "", R"("")"},
    {"quote, backslash, tab, LF, CR", "a\"b\\c\td\ne\rf", R"("a\"b\\c\td\ne\rf")"},
    {"NUL and unit separator", std::string_view("\0\x1F", 2), R"("\u0000\u001f")"},
    {"DEL, U+2028, U+2029 and non-ASCII raw", "\x7F\xE2\x80\xA8\xE2\x80\xA9\xF0\x9F\x98\x80",
     "\"\x7F\xE2\x80\xA8\xE2\x80\xA9\xF0\x9F\x98\x80\""},
    {"single quote and blank unchanged", "it's ok", R"("it's ok")"},
};

TEST(CliFormat, JsonQuote) {
  for (const QuoteCase& test : QUOTE_CASES) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(json_quote(test.text), test.expected);
  }
}

struct ExcerptCase {
  const char* name;
  std::string_view text;
  uint32_t line;
  std::string_view expected;
};

constexpr ExcerptCase EXCERPT_CASES[] = {
    {"trimmed at both ends", "  select x  \nfrom y", 1, "select x"},
    {"second line", "a\n\tfrom y ;\t\n", 2, "from y ;"},
    {"CR before LF goes with the LF", "a\r\nb\r\n", 1, "a"},
    {"empty text after the last LF is no line", "a\n", 2, ""},
    {"text after the last LF is a line", "a\nb", 2, "b"},
    {"past the last line", "a\nb", 3, ""},
    {"line zero", "a", 0, ""},
    {"blank line", "a\n   \nb", 2, ""},
    {"Unicode white space is trimmed", "\xE3\x80\x80\xC2\xA0x\xE2\x80\xA8\xC2\x85", 1, "x"},
    {"ZERO WIDTH SPACE and BOM are not white space", "\xE2\x80\x8Bx\xEF\xBB\xBF", 1,
     "\xE2\x80\x8Bx\xEF\xBB\xBF"},
    {"CR alone does not end a line", "a\rb\nc", 1, "a\rb"},
};

TEST(CliFormat, ErrorExcerpt) {
  for (const ExcerptCase& test : EXCERPT_CASES) {
    SCOPED_TRACE(test.name);
    const syntax::LineIndex index = syntax::build_line_index(test.text);
    EXPECT_EQ(error_excerpt(index, test.line), test.expected);
  }
}

TEST(CliFormat, ErrorExcerptKeepsTheFirst110Characters) {
  std::string text = "  ";
  for (int i = 0; i < 300; ++i) text.append("\xC3\xA9");
  text.append("\n");
  const syntax::LineIndex index = syntax::build_line_index(text);
  const std::string_view excerpt = error_excerpt(index, 1);
  EXPECT_EQ(character_count(excerpt), EXCERPT_CHARACTERS);
  EXPECT_EQ(excerpt.size(), 2 * EXCERPT_CHARACTERS);
  EXPECT_EQ(excerpt, std::string_view(text).substr(2, 220));

  // A blank at the window's end stays when the line goes on after it, and goes when only
  // white space follows.
  const std::string x109(109, 'x');
  const std::string inner = x109 + "  y";
  const std::string trailing = x109 + " \t \xE3\x80\x80";
  EXPECT_EQ(error_excerpt(syntax::build_line_index(inner), 1), x109 + " ");
  EXPECT_EQ(error_excerpt(syntax::build_line_index(trailing), 1), x109);
}

}  // namespace
}  // namespace veltrane::cli
