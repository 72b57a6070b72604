#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "api/lossy_input.hpp"
#include "corpus_files.hpp"
#include "lexer/lexer.hpp"
#include "syntax/json_text.hpp"

namespace veltrane::syntax {
namespace {

using Json = nlohmann::json;

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
