#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "syntax/json_text.hpp"

namespace veltrane::syntax {
namespace {

using Json = nlohmann::json;

std::string written_double(double value) {
  std::string out;
  append_json_double(out, value);
  return out;
}

TEST(JsonWriter, DoublesPrintAsTheLibraryPrintsThem) {
  const double values[] = {0.0,
                           -0.0,
                           152.4,
                           1.0,
                           -1.5,
                           0.1,
                           1e300,
                           1e-300,
                           5e-324,
                           1e15,
                           1e16,
                           1e17,
                           123456789012345678.0,
                           0.0001,
                           0.00001,
                           1.5e-7,
                           2.5e21,
                           1.0 / 3.0,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
  for (const double value : values) {
    SCOPED_TRACE(value);
    EXPECT_EQ(written_double(value), Json(value).dump());
  }
  EXPECT_EQ(written_double(152.4), "152.4");
  EXPECT_EQ(written_double(0.0), "0.0");
  EXPECT_EQ(written_double(std::numeric_limits<double>::quiet_NaN()), "null");
}

// Every digit count, both sides of each power of ten, and the largest value.
TEST(WriteDecimal, WritesWhatToCharsWrites) {
  std::vector<uint32_t> values = {0, 1, 9, 42, std::numeric_limits<uint32_t>::max()};
  for (uint32_t power = 10; power <= 1000000000u; power *= 10) {
    values.insert(values.end(), {power - 1, power, power + 1, power * 2 - 1});
    if (power == 1000000000u) break;
  }
  for (const uint32_t value : values) {
    SCOPED_TRACE(value);
    std::array<char, MAX_DECIMAL_DIGITS_32 + 1> written{};
    std::array<char, MAX_DECIMAL_DIGITS_32 + 1> expected{};
    const char* end = write_decimal(written.data(), value);
    const auto result = std::to_chars(expected.data(), expected.data() + expected.size(), value);
    EXPECT_EQ(
        std::string_view(written.data(), static_cast<std::size_t>(end - written.data())),
        std::string_view(expected.data(), static_cast<std::size_t>(result.ptr - expected.data())));
  }
}

// One writer over a sequence that keeps, changes and drops the digits above the last four:
// every number as to_chars writes it.
TEST(DecimalWriter, WritesWhatToCharsWritesInAnyOrder) {
  const uint32_t values[] = {0,         9,          10,       9999,     10000,    10001,
                             12345,     19999,      5,        20000,    99999999, 100000000,
                             99999998,  123456789,  1234,     1000000,  1000001,  4294967295u,
                             999999999, 1000000000, 10009999, 10010000, 7};
  DecimalWriter writer;
  for (const uint32_t value : values) {
    SCOPED_TRACE(value);
    std::array<char, MAX_DECIMAL_DIGITS_32 + 1> written{};
    std::array<char, MAX_DECIMAL_DIGITS_32 + 1> expected{};
    const char* end = writer.write(written.data(), value);
    const auto result = std::to_chars(expected.data(), expected.data() + expected.size(), value);
    EXPECT_EQ(
        std::string_view(written.data(), static_cast<std::size_t>(end - written.data())),
        std::string_view(expected.data(), static_cast<std::size_t>(result.ptr - expected.data())));
  }
}

// Long runs through one writer, in the orders a writer of offsets meets: rising in small
// steps across many ten thousands, falling, jumping about, and around the numbers the
// writer keeps digits for (10^4 up to 10^9) and the top of the range, where a number below
// the kept ten thousand would wrap around onto it.
TEST(DecimalWriter, LongRunsMatchToChars) {
  struct Run {
    const char* name;
    std::vector<uint32_t> values;
  };
  std::vector<Run> runs;
  Run rising{"rising by 7", {}};
  for (uint32_t value = 0; value < 300000; value += 7) rising.values.push_back(value);
  runs.push_back(std::move(rising));
  Run falling{"falling by 13", {}};
  for (uint32_t value = 300000; value >= 13; value -= 13) falling.values.push_back(value);
  runs.push_back(std::move(falling));
  Run scattered{"scattered", {}};
  uint64_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const auto bits = static_cast<uint32_t>(state >> 32);
    // Every digit count, shifted so that small numbers are as common as large ones.
    scattered.values.push_back(bits >> (bits % 32));
  }
  runs.push_back(std::move(scattered));
  runs.push_back({"around the kept range",
                  {9999,      10000,       0,           19999,      9999,      20000,
                   999989999, 999990000,   999999999,   1000000000, 999990000, 1000009999,
                   7,         4294967295u, 4294960000u, 7295,       7296,      4294959999u,
                   0,         99999999,    100000000,   100009999,  3}});
  for (const Run& run : runs) {
    SCOPED_TRACE(run.name);
    DecimalWriter writer;
    std::string written;
    std::string expected;
    for (const uint32_t value : run.values) {
      std::array<char, MAX_DECIMAL_DIGITS_32> room{};
      written.append(room.data(), writer.write(room.data(), value));
      written.push_back(',');
      const auto result = std::to_chars(room.data(), room.data() + room.size(), value);
      expected.append(room.data(), result.ptr);
      expected.push_back(',');
    }
    EXPECT_EQ(written, expected);
  }
}

// The short-number writer against std::to_chars, around every change of digit count.
TEST(WriteShortDecimal, WritesWhatToCharsWrites) {
  const uint32_t values[] = {0,    1,     9,     10,    99,        100,        999,        1000,
                             9999, 10000, 10001, 99999, 123456789, 1000000000, 4294967295u};
  for (const uint32_t value : values) {
    SCOPED_TRACE(value);
    std::array<char, MAX_DECIMAL_DIGITS_32> written{};
    std::array<char, MAX_DECIMAL_DIGITS_32> expected{};
    const char* end = write_short_decimal(written.data(), value);
    const auto result = std::to_chars(expected.data(), expected.data() + expected.size(), value);
    EXPECT_EQ(
        std::string_view(written.data(), static_cast<std::size_t>(end - written.data())),
        std::string_view(expected.data(), static_cast<std::size_t>(result.ptr - expected.data())));
  }
}

// Every byte at every place of texts shorter than, as long as and longer than the eight
// bytes checked at a time: the copy is the text, and it needs an escape exactly when one
// of its bytes does.
TEST(CopyIfUnescaped, FindsEveryEscapedByte) {
  for (std::size_t size = 1; size <= 19; ++size) {
    for (std::size_t place = 0; place < size; ++place) {
      for (int value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        std::string text(size, 'a');
        text[place] = byte;
        std::string copy(size, '\0');
        const bool plain = copy_if_unescaped(copy.data(), text);
        ASSERT_EQ(plain, json_string_needs_no_escape(text)) << size << " " << place << " " << value;
        ASSERT_EQ(copy, text);
      }
    }
  }
  std::string empty_copy;
  EXPECT_TRUE(copy_if_unescaped(empty_copy.data(), ""));
}

TEST(JsonWriter, ScalarsAndNestingMatchTheLibrary) {
  std::string out;
  JsonWriter writer(out);
  writer.begin_object();
  writer.key("a");
  writer.begin_array();
  writer.unsigned_value(0);
  writer.unsigned_value(std::numeric_limits<uint64_t>::max());
  writer.signed_value(std::numeric_limits<int64_t>::min());
  writer.signed_value(-1);
  writer.bool_value(true);
  writer.bool_value(false);
  writer.null_value();
  writer.double_value(2.0);
  writer.begin_object();
  writer.end_object();
  writer.begin_array();
  writer.end_array();
  writer.json_value(Json::parse(R"({"y":[1,{"z":null}],"x":"\u0001"})"));
  writer.end_array();
  writer.member("b", "t\xC3\xA9xt");
  writer.member("c", uint64_t{7});
  writer.end_object();
  Json expected = Json::object();
  expected["a"] =
      Json::array({0u, std::numeric_limits<uint64_t>::max(), std::numeric_limits<int64_t>::min(),
                   -1, true, false, nullptr, 2.0, Json::object(), Json::array(),
                   Json::parse(R"({"y":[1,{"z":null}],"x":"\u0001"})")});
  expected["b"] = "t\xC3\xA9xt";
  expected["c"] = 7;
  EXPECT_EQ(out, expected.dump());
}

TEST(JsonWriter, StringsEscapeAsTheLibraryDoes) {
  std::string every_byte_below_128;
  for (int c = 0; c < 128; ++c) every_byte_below_128.push_back(static_cast<char>(c));
  const std::string cases[] = {
      "",
      every_byte_below_128,
      "quote \" backslash \\ solidus / DEL \x7F",
      "line \xE2\x80\xA8 paragraph \xE2\x80\xA9 emoji \xF0\x9F\x98\x80 \xC3\xA9",
      "\b\t\n\f\r\x0B\x1F",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    std::string out;
    append_json_string(out, text);
    EXPECT_EQ(out, Json(text).dump());
  }
}

TEST(ReadJson, TakesOneValueWithinTheNestingLimit) {
  struct Case {
    const char* name;
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"object", R"({"a":[1,2,{"b":null}]})", true},
      {"white space around", " \t\r\n1 \n", true},
      {"empty", "", false},
      {"only white space", "  ", false},
      {"trailing text", "{} {}", false},
      {"trailing comma", "[1,]", false},
      {"byte-order mark", "\xEF\xBB\xBF{}", false},
      {"comment", "{} // x", false},
      {"text after a NUL byte", std::string("{\"a\":1}\0 x", 10), false},
      {"a NUL byte after the value", std::string("{}\0", 3), false},
      {"a NUL byte inside a string", std::string("[\"\0\"]", 5), false},
      {"invalid UTF-8 in a string", "\"\xFF\"", false},
      {"128 arrays", std::string(128, '[') + std::string(128, ']'), true},
      {"129 arrays", std::string(129, '[') + std::string(129, ']'), false},
      {"brackets inside strings", "[\"" + std::string(300, '[') + "\\\"{\"]", true},
      {"an escaped backslash ends the string",
       "[\"\\\\\"," + std::string(127, '[') + std::string(127, ']') + "]", true},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(read_json(test_case.text).has_value(), test_case.valid);
  }
  // Objects count as levels too.
  std::string objects;
  for (int i = 0; i < 128; ++i) objects += "{\"k\":";
  objects += "1";
  for (int i = 0; i < 128; ++i) objects += "}";
  EXPECT_TRUE(read_json(objects).has_value());
  EXPECT_FALSE(read_json("[" + objects + "]").has_value());
  // The last of a repeated key counts.
  EXPECT_EQ(read_json(R"({"a":1,"a":2})")->at("a"), 2);
}

// The string bound against what the writer writes: exact for texts without escapes, never
// short for texts with them.
TEST(JsonStringSizeBound, HoldsWhatTheWriterWrites) {
  struct Case {
    const char* name;
    std::string text;
    bool exact;
  };
  std::string every_byte;
  for (int c = 0; c < 256; ++c) every_byte.push_back(static_cast<char>(c));
  const Case cases[] = {
      {"empty", "", true},
      {"plain", "select 1 from dual", true},
      {"UTF-8", "t\xC3\xA9xt \xF0\x9F\x98\x80", true},
      {"quote and backslash", "a\"b\\c", false},
      {"controls", "\x01\x1F\t\n", false},
      {"every byte", every_byte, false},
      {"only escapes", std::string(40, '\x02'), true},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    std::string out;
    append_json_string(out, test_case.text);
    const std::size_t bound = json_string_size_bound(test_case.text);
    EXPECT_GE(bound, out.size());
    if (test_case.exact) {
      EXPECT_EQ(bound, out.size());
    }
  }
}

// The digit count covers the numbers an output about a text of that size writes: up to
// the size plus one (the column after the last character, the line after the last LF).
TEST(NumberDigits, CoversTheSizePlusOne) {
  struct Case {
    std::size_t text_size;
    std::size_t digits;
  };
  const Case cases[] = {
      {0, 1}, {8, 1}, {9, 2}, {10, 2}, {98, 2}, {99, 3}, {999999, 7}, {2147483647, 10},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.text_size);
    EXPECT_EQ(number_digits(test_case.text_size), test_case.digits);
    EXPECT_GE(number_digits(test_case.text_size), std::to_string(test_case.text_size + 1).size());
  }
}

}  // namespace
}  // namespace veltrane::syntax
