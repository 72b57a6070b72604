#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "api/lossy_input.hpp"
#include "corpus_files.hpp"
#include "lexer/lexer.hpp"
#include "syntax/json_text.hpp"
#include "syntax/stop.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::syntax {
namespace {

using Json = nlohmann::json;

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

// Every token text and every line of every corpus file, written as arrays of strings
// through the writer, gives the library's bytes.
TEST(JsonWriter, CorpusTextsMatchTheLibrary) {
  const std::vector<std::filesystem::path> files = test_support::corpus_files();
  ASSERT_FALSE(files.empty());
  for (const std::filesystem::path& path : files) {
    SCOPED_TRACE(path.string());
    const std::string bytes = read_file(path);
    const std::string text = api::decode_lossy(bytes, api::lossy_decoded_length(bytes));
    const lexer::LexResult lexed = lexer::lex_text(text);
    std::string out;
    JsonWriter writer(out);
    Json expected = Json::array();
    writer.begin_array();
    for (const lexer::Token& token : lexed.tokens) {
      const std::string_view token_text(text.data() + token.start, token.end - token.start);
      writer.begin_object();
      writer.member("e", uint64_t{token.end});
      writer.member("s", uint64_t{token.start});
      writer.member("t", token_text);
      writer.end_object();
      expected.push_back({{"t", std::string(token_text)}, {"s", token.start}, {"e", token.end}});
    }
    writer.end_array();
    ASSERT_EQ(out, expected.dump());
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
}

TEST(LossyInput, DecodesWithOneReplacementPerIllFormedSequence) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"valid", "a\xC3\xA9", "a\xC3\xA9"},
      {"truncated four-byte sequence",
       "A\xF0\x90\x80"
       "b",
       "A\xEF\xBF\xBD"
       "b"},
      {"two stray bytes", "\xFF\xFE", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"at the end", "x\xE2\x82", "x\xEF\xBF\xBD"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const uint64_t length = api::lossy_decoded_length(test_case.bytes);
    EXPECT_EQ(length, test_case.text.size());
    EXPECT_EQ(api::decode_lossy(test_case.bytes, length), test_case.text);
  }
  EXPECT_EQ(api::count_line_feeds("\n\r\na\n"), 3u);
  EXPECT_EQ(api::count_line_feeds(""), 0u);
}

}  // namespace
}  // namespace veltrane::syntax
