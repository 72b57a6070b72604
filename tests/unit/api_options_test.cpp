#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <variant>

#include "api/analysis_options.hpp"
#include "lexer/oracle_version.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::api {
namespace {

using lexer::CcValue;

// What one flag value should read as: a boolean, a number (NaN compares by kind), or a text.
struct Expected {
  enum class Kind { Bool, Number, Text } kind;
  bool boolean = false;
  double number = 0.0;
  std::string text;
};

Expected boolean(bool value) { return {Expected::Kind::Bool, value, 0.0, {}}; }
Expected number(double value) { return {Expected::Kind::Number, false, value, {}}; }
Expected text(std::string value) { return {Expected::Kind::Text, false, 0.0, std::move(value)}; }

void expect_value(const CcValue& value, const Expected& expected) {
  switch (expected.kind) {
    case Expected::Kind::Bool:
      ASSERT_TRUE(std::holds_alternative<bool>(value));
      EXPECT_EQ(std::get<bool>(value), expected.boolean);
      break;
    case Expected::Kind::Number: {
      ASSERT_TRUE(std::holds_alternative<double>(value));
      const double got = std::get<double>(value);
      if (std::isnan(expected.number)) {
        EXPECT_TRUE(std::isnan(got));
      } else {
        EXPECT_EQ(got, expected.number);
        EXPECT_EQ(std::signbit(got), std::signbit(expected.number));
      }
      break;
    }
    case Expected::Kind::Text:
      ASSERT_TRUE(std::holds_alternative<std::string>(value));
      EXPECT_EQ(std::get<std::string>(value), expected.text);
      break;
  }
}

TEST(CcFlagValue, ReadsBooleansNumbersAndTexts) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* value;
    Expected expected;
  };
  const Case cases[] = {
      {"TRUE", boolean(true)},    {"fAlSe", boolean(false)}, {"'true'", text("true")},
      {"2", number(2.0)},         {"-2", number(-2.0)},      {"+1", number(1.0)},
      {".5", number(0.5)},        {"1.", number(1.0)},       {"1e3", number(1000.0)},
      {"1E+3", number(1000.0)},   {"2.5e-1", number(0.25)},  {".", text(".")},
      {"1e", text("1e")},         {"e5", text("e5")},        {"+", text("+")},
      {"1 2", text("1 2")},       {"inf", number(inf)},      {"-Infinity", number(-inf)},
      {"+INF", number(inf)},      {"NaN", number(nan)},      {"nan(1)", text("nan(1)")},
      {"infe5", text("infe5")},   {"nane1", text("nane1")},  {"0x10", text("0x10")},
      {"1_000", text("1_000")},   {"1e999", number(inf)},    {"-1e999", number(-inf)},
      {"1e-999", number(0.0)},    {"-1e-999", number(-0.0)}, {"0e999999", number(0.0)},
      {"'x'", text("x")},         {"''x''", text("x")},      {"' x '", text(" x ")},
      {"'it''s'", text("it''s")}, {"'", text("")},           {"", text("")},
      {"b:c", text("b:c")},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.value);
    expect_value(read_ccflag_value(test_case.value), test_case.expected);
  }
}

TEST(CcFlags, SplitsPiecesNamesAndValues) {
  struct Case {
    const char* name;
    const char* ccflags;
    std::vector<std::pair<std::string, Expected>> flags;
  };
  const Case cases[] = {
      {"the usual pieces",
       "debug:TRUE, level:2, name:'x', odd, :v, a:b:c",
       {{"A", text("b:c")}, {"DEBUG", boolean(true)}, {"LEVEL", number(2.0)}, {"NAME", text("x")}}},
      {"a later piece replaces an earlier one", "Level:1,LEVEL:2", {{"LEVEL", number(2.0)}}},
      {"commas split even inside quotes", "name:'a,b'", {{"NAME", text("a")}}},
      {"names are trimmed and only ASCII is upper-cased",
       "\u3000d\xC3\xA9"
       "Bug\xC2\xA0:1",
       {{"D\xC3\xA9"
         "BUG",
         number(1.0)}}},
      {"values are trimmed of Unicode white space, not of U+200B",
       "a:\xE2\x80\x83 x \xE2\x80\xA8, b:\xE2\x80\x8Bx",
       {{"A", text("x")}, {"B", text("\xE2\x80\x8Bx")}}},
      {"an empty value is the empty text", "a:", {{"A", text("")}}},
      {"nothing", "", {}},
      {"only separators", ",,,:", {}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const lexer::CcFlags flags = read_ccflags(test_case.ccflags);
    ASSERT_EQ(flags.size(), test_case.flags.size());
    for (const auto& [name, expected] : test_case.flags) {
      SCOPED_TRACE(name);
      const auto found = flags.find(name);
      ASSERT_NE(found, flags.end());
      expect_value(found->second, expected);
    }
  }
}

TEST(AnalysisOptions, FallsBackToDefaultsSilently) {
  struct Case {
    const char* name;
    std::string text;
    std::string version;
    std::string schema;
    std::size_t flag_count;
  };
  const std::string deep_128 =
      std::string(127, '[') + "{\"version\":\"19c\"}" + std::string(127, ']');
  const Case cases[] = {
      {"everything given",
       R"({"version":"19c","ccflags":"debug:TRUE, level:2, name:'x', odd, :v, a:b:c","schema":"  hr "})",
       "19c", "HR", 4},
      {"an array", "[1]", "26ai", "APP", 0},
      {"not JSON", "x", "26ai", "APP", 0},
      {"empty text", "", "26ai", "APP", 0},
      {"null", "null", "26ai", "APP", 0},
      {"a number as version", R"({"version":19})", "26ai", "APP", 0},
      {"a string that is no version", R"({"version":"nineteen"})", "26ai", "APP", 0},
      {"a byte-order mark first", "\xEF\xBB\xBF{\"version\":\"19c\"}", "26ai", "APP", 0},
      {"trailing text", R"({"version":"19c"} x)", "26ai", "APP", 0},
      {"white space around is fine", " \n{\"version\":\"12.2\"}\t ", "12.2", "APP", 0},
      {"the last of a repeated key", R"({"version":"19c","version":"21c"})", "21c", "APP", 0},
      {"a number as ccflags", R"({"ccflags":5})", "26ai", "APP", 0},
      {"a blank schema", R"({"schema":" \t "})", "26ai", "APP", 0},
      {"an empty schema", R"({"schema":""})", "26ai", "APP", 0},
      {"a number as schema", R"({"schema":7})", "26ai", "APP", 0},
      {"non-ASCII letters keep their case", "{\"schema\":\"\xC3\xA4pp\"}", "26ai", "\xC3\xA4PP", 0},
      {"unknown keys", R"({"Version":"19c","x":{"y":[1,2]}})", "26ai", "APP", 0},
      {"128 levels are read", deep_128, "26ai", "APP", 0},
      {"129 levels are not", "[" + deep_128 + "]", "26ai", "APP", 0},
      {"a bracket inside a string does not nest", "{\"schema\":\"" + std::string(200, '[') + "\"}",
       "26ai", std::string(200, '['), 0},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const AnalysisOptions options = read_analysis_options(test_case.text);
    EXPECT_EQ(lexer::format_version(options.version), test_case.version);
    EXPECT_EQ(options.schema, test_case.schema);
    EXPECT_EQ(options.ccflags.size(), test_case.flag_count);
  }
}

TEST(TrimWhiteSpace, TrimsExactlyUnicodeWhiteSpace) {
  struct Case {
    const char* name;
    std::string text;
    std::string trimmed;
  };
  const Case cases[] = {
      {"ASCII controls and blanks", "\t\n\v\f\r x \r", "x"},
      {"NEL, NBSP, ogham, en quad to hair space",
       "\xC2\x85\xC2\xA0\xE1\x9A\x80\xE2\x80\x80\xE2\x80\x8A"
       "a"
       "\xE2\x80\xA8\xE2\x80\xA9",
       "a"},
      {"narrow NBSP, medium math space, ideographic space",
       "\xE2\x80\xAF\xE2\x81\x9F\xE3\x80\x80"
       "a"
       "\xE3\x80\x80",
       "a"},
      {"zero width space and BOM are not white space",
       "\xE2\x80\x8B"
       "a"
       "\xEF\xBB\xBF",
       "\xE2\x80\x8B"
       "a"
       "\xEF\xBB\xBF"},
      {"all white space", " \xE3\x80\x80 ", ""},
      {"inner white space stays", " a b ", "a b"},
      {"ill-formed bytes stay, and the white space before them", "\x80 a \xE3\x80\x80\x80",
       "\x80 a \xE3\x80\x80\x80"},
      {"a truncated character before white space stays", " \xE3\x80 ", "\xE3\x80"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(syntax::trim_white_space(test_case.text), test_case.trimmed);
  }
}

}  // namespace
}  // namespace veltrane::api
