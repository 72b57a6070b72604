#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/uloc.h>

#include <string>
#include <string_view>

#include "syntax/lossy_utf8.hpp"
#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::syntax {
namespace {

TEST(UnicodeTest, Properties) {
  struct Case {
    std::string_view name;
    char32_t code_point;
    bool white_space;
    bool alphabetic;
    bool numeric;
    bool grapheme_extend;
  };
  const Case cases[] = {
      {"tab", U'\t', true, false, false, false},
      {"blank", U' ', true, false, false, false},
      {"file separator U+001C", U'\x1C', false, false, false, false},
      {"letter", U'a', false, true, false, false},
      {"digit", U'7', false, false, true, false},
      {"underscore", U'_', false, false, false, false},
      {"next line U+0085", U'\u0085', true, false, false, false},
      {"no-break space U+00A0", U'\u00A0', true, false, false, false},
      {"line separator U+2028", U'\u2028', true, false, false, false},
      {"figure space U+2007", U'\u2007', true, false, false, false},
      {"zero width space U+200B", U'\u200B', false, false, false, false},
      {"Mongolian vowel separator U+180E", U'\u180E', false, false, false, false},
      {"combining acute U+0301", U'\u0301', false, false, false, true},
      {"ypogegrammeni U+0345", U'\u0345', false, true, false, true},
      {"Devanagari vowel sign U+093F", U'\u093F', false, true, false, false},
      {"Arabic-Indic three U+0663", U'\u0663', false, false, true, false},
      {"superscript two U+00B2", U'\u00B2', false, false, true, false},
      {"Roman numeral one U+2160", U'\u2160', false, true, true, false},
      {"sharp s", U'\u00DF', false, true, false, false},
      {"variation selector U+FE0F", U'\uFE0F', false, false, false, true},
      {"beyond the code space", char32_t{0x110000}, false, false, false, false},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(is_white_space(test_case.code_point), test_case.white_space);
    EXPECT_EQ(is_alphabetic(test_case.code_point), test_case.alphabetic);
    EXPECT_EQ(is_numeric(test_case.code_point), test_case.numeric);
    EXPECT_EQ(is_grapheme_extend(test_case.code_point), test_case.grapheme_extend);
  }
}

// ASCII is answered without ICU; the answers must be ICU's all the same.
TEST(UnicodeTest, AsciiAnswersAgreeWithIcu) {
  for (char32_t c = 0; c < 0x80; ++c) {
    SCOPED_TRACE(static_cast<uint32_t>(c));
    const auto icu_char = static_cast<UChar32>(c);
    EXPECT_EQ(static_cast<int>(general_category(c)), u_charType(icu_char));
    EXPECT_EQ(is_white_space(c), u_isUWhiteSpace(icu_char) != 0);
    EXPECT_EQ(is_alphabetic(c), u_isUAlphabetic(icu_char) != 0);
    EXPECT_EQ(is_grapheme_extend(c), u_hasBinaryProperty(icu_char, UCHAR_GRAPHEME_EXTEND) != 0);
  }
}

TEST(UnicodeTest, GeneralCategories) {
  struct Case {
    char32_t code_point;
    GeneralCategory category;
  };
  const Case cases[] = {
      {U'A', GeneralCategory::Lu},
      {U'\u00E9', GeneralCategory::Ll},
      {U'\u0301', GeneralCategory::Mn},
      {U'\u00A0', GeneralCategory::Zs},
      {U'\u2028', GeneralCategory::Zl},
      {U'\u2029', GeneralCategory::Zp},
      {U'\u0085', GeneralCategory::Cc},
      {U'\uFEFF', GeneralCategory::Cf},
      {U'\uE000', GeneralCategory::Co},
      {char32_t{0xD800}, GeneralCategory::Cs},
      {U'\u0378', GeneralCategory::Cn},
      {char32_t{0xFFFF}, GeneralCategory::Cn},
      {char32_t{0x110000}, GeneralCategory::Cn},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(static_cast<uint32_t>(test_case.code_point));
    EXPECT_EQ(general_category(test_case.code_point), test_case.category);
  }
}

TEST(UnicodeTest, FullUpperCaseWithTheRootLocale) {
  struct Case {
    std::string_view text;
    std::string_view upper;
  };
  const Case cases[] = {
      {"", ""},
      {"select_1$#", "SELECT_1$#"},
      {"stra\u00DFe", "STRASSE"},
      {"\xEF\xAC\x81", "FI"},     // fi ligature
      {"\xC5\x89", "\xCA\xBCN"},  // n preceded by apostrophe
      {"i", "I"},
      {"\xCE\xAC", "\xCE\x86"},  // Greek alpha with tonos keeps its accent
      {"caf\xC3\xA9", "CAF\xC3\x89"},
      {"a\xFF\xC3\xA9\xE2\x82x", "A\xFF\xC3\x89\xE2\x82X"},  // ill-formed bytes kept
  };
  // The process default must not matter.
  const std::string saved_default = uloc_getDefault();
  UErrorCode error = U_ZERO_ERROR;
  for (const char* locale : {"en_US", "tr_TR", "el_GR"}) {
    uloc_setDefault(locale, &error);
    ASSERT_FALSE(U_FAILURE(error));
    for (const Case& test_case : cases) {
      SCOPED_TRACE(std::string(locale) + " " + std::string(test_case.text));
      EXPECT_EQ(to_upper_full(test_case.text), test_case.upper);
    }
    // Non-ASCII text containing i goes through ICU: still no dotted capital I.
    EXPECT_EQ(to_upper_full("i\xC3\xA9"), "I\xC3\x89");
  }
  uloc_setDefault(saved_default.c_str(), &error);
}

TEST(UnicodeTest, AsciiUpperCopyFoldsOnlyAsciiLetters) {
  struct Case {
    std::string_view text;
    std::string_view upper;
  };
  const Case cases[] = {
      {"", ""},
      {"select_1$#`{@[", "SELECT_1$#`{@["},  // the neighbours of a-z and A-Z stay
      {"stra\u00DFe", "STRA\u00DFE"},
      {"caf\xC3\xA9", "CAF\xC3\xA9"},
      {"a\xFF\xE2\x82x", "A\xFF\xE2\x82X"},
      {std::string_view("a\0b", 3), std::string_view("A\0B", 3)},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(std::string(test_case.text));
    EXPECT_EQ(ascii_upper_copy(test_case.text), test_case.upper);
  }
}

TEST(UnicodeTest, AsciiUpperCaseEightBytesAtATime) {
  // Every ASCII byte at every position of texts of 1 to 17 bytes, against the byte rule;
  // then the same texts with a non-ASCII letter placed after them, which goes to ICU.
  for (std::size_t length = 1; length <= 17; ++length) {
    for (int byte = 0; byte < 0x80; ++byte) {
      std::string text(length, 'q');
      text[(static_cast<std::size_t>(byte) * 7) % length] = static_cast<char>(byte);
      text[length - 1] = static_cast<char>(0x7F - byte);
      std::string expected = text;
      for (char& c : expected) c = ascii_upper(c);
      SCOPED_TRACE(std::to_string(length) + " " + std::to_string(byte));
      std::string sink = "kept";
      append_upper_full(sink, text);
      EXPECT_EQ(sink, "kept" + expected);
      EXPECT_EQ(to_upper_full(text + "\xC3\xA9"), expected + "\xC3\x89");
    }
  }
}

TEST(UnicodeTest, DecodeReadsOneCharacterAndNeverPastTheEnd) {
  struct Case {
    std::string_view name;
    std::string_view bytes;
    std::size_t offset;
    int32_t code_point;  // -1: ill-formed
    uint32_t length;
  };
  const Case cases[] = {
      {"ASCII", "a", 0, 'a', 1},
      {"two bytes", "\xC3\xA9", 0, 0xE9, 2},
      {"three bytes", "\xE2\x82\xAC", 0, 0x20AC, 3},
      {"four bytes", "\xF0\x9F\x98\x80", 0, 0x1F600, 4},
      {"largest code point", "\xF4\x8F\xBF\xBF", 0, 0x10FFFF, 4},
      {"lone lead byte at the end", "a\xC3", 1, -1, 1},
      {"truncated three-byte sequence", "\xE2\x82x", 0, -1, 1},
      {"continuation byte", "\x80", 0, -1, 1},
      {"overlong two bytes", "\xC0\xAF", 0, -1, 1},
      {"overlong three bytes", "\xE0\x80\xAF", 0, -1, 1},
      {"surrogate", "\xED\xA0\x80", 0, -1, 1},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", 0, -1, 1},
      {"F5 lead", "\xF5\x80\x80\x80", 0, -1, 1},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    // A copy without a terminator, so that a read past the end is caught by the
    // sanitizers and by _GLIBCXX_ASSERTIONS.
    const std::string bytes(test_case.bytes);
    const DecodedChar decoded =
        decode_utf8(std::string_view(bytes.data(), bytes.size()), test_case.offset);
    EXPECT_EQ(decoded.code_point < 0 ? -1 : decoded.code_point, test_case.code_point);
    EXPECT_EQ(decoded.length, test_case.length);
  }
  EXPECT_THROW((void)decode_utf8("ab", 2), InternalStop);
  EXPECT_THROW((void)decode_utf8("", 0), InternalStop);
}

TEST(LossyUtf8Test, EachMaximalIllFormedSubpartBecomesOneReplacement) {
  constexpr std::string_view R = "\xEF\xBF\xBD";
  struct Case {
    std::string_view name;
    std::string_view bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"well-formed text is unchanged", "a\xC3\xA9\xF0\x9F\x98\x80", "a\xC3\xA9\xF0\x9F\x98\x80"},
      {"truncated three-byte sequence then ASCII", "\xE2\x82x", std::string(R) + "x"},
      {"truncated four-byte sequence at the end", "a\xF0\x9F\x98", "a" + std::string(R)},
      {"two stray continuation bytes", "\x80\x80", std::string(R) + std::string(R)},
      {"overlong lead and its continuation", "\xC0\xAF", std::string(R) + std::string(R)},
      {"E0 with a too-small second byte", "\xE0\x80\x80",
       std::string(R) + std::string(R) + std::string(R)},
      {"surrogate", "\xED\xA0\x80", std::string(R) + std::string(R) + std::string(R)},
      {"F4 beyond the code space", "\xF4\x90\x80\x80",
       std::string(R) + std::string(R) + std::string(R) + std::string(R)},
      {"FF",
       "a\xFF"
       "b",
       "a" + std::string(R) + "b"},
      // The Unicode Standard's example: 61 F1 80 80 E1 80 C2 62 80 63 80 BF 64.
      {"standard example", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       "a" + std::string(R) + std::string(R) + std::string(R) + "b" + std::string(R) + "c" +
           std::string(R) + std::string(R) + "d"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(lossy_utf8(test_case.bytes), test_case.expected);
    EXPECT_EQ(is_valid_utf8(test_case.bytes), test_case.bytes == test_case.expected);
    EXPECT_TRUE(is_valid_utf8(lossy_utf8(test_case.bytes)));
  }
}

}  // namespace
}  // namespace veltrane::syntax
