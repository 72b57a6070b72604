#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "api/analyze_json.hpp"
#include "api/lossy_input.hpp"
#include "api/result_json.hpp"
#include "corpus_files.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/resolve_script.hpp"
#include "syntax/json_text.hpp"
#include "syntax/tree.hpp"
#include "syntax/utf16_offsets.hpp"
#include "veltrane/veltrane.h"

namespace veltrane::api {
namespace {

using Json = nlohmann::json;

// One call of the C function on this thread, its result copied out.
std::string call_analyze(std::string_view sql, std::string_view options = {}) {
  const uint8_t* result = analyze(reinterpret_cast<const uint8_t*>(sql.data()), sql.size(),
                                  reinterpret_cast<const uint8_t*>(options.data()), options.size());
  return {reinterpret_cast<const char*>(result), result_len()};
}

bool contains(const std::string& haystack, std::string_view needle) {
  return haystack.find(needle) != std::string::npos;
}

TEST(AnalyzeResult, ExactTexts) {
  struct Case {
    const char* name;
    std::string sql;
    std::string options;
    std::string result;
  };
  const Case cases[] = {
      {"empty text", "", "", R"({"diagnostics":[],"items":[],"lines":1,"version":"26ai"})"},
      {"a slash line", "/\n", "",
       R"({"diagnostics":[],"items":[{"col":1,"command":"/","end":1,"kind":"SqlPlus","line":1,)"
       R"("start":0}],"lines":2,"version":"26ai"})"},
      {"commands only", "SET ECHO ON\nPROMPT hi\n", R"({"version":"19c"})",
       R"({"diagnostics":[],"items":[{"col":1,"command":"SET","end":11,"kind":"SqlPlus",)"
       R"("line":1,"start":0},{"col":1,"command":"PROMPT","end":21,"kind":"SqlPlus","line":2,)"
       R"("start":12}],"lines":3,"version":"19c"})"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(call_analyze(test_case.sql, test_case.options), test_case.result);
  }
  // Only LF ends a line, and a final LF adds an empty last line.
  EXPECT_TRUE(call_analyze("a\r\nb").ends_with(R"("lines":2,"version":"26ai"})"));
  EXPECT_TRUE(call_analyze("a\n\n").ends_with(R"("lines":3,"version":"26ai"})"));
  EXPECT_EQ(call_analyze("").size(), 56u);
  EXPECT_EQ(result_len(), 56u);
}

// Names that need escapes, short and long, are written as the library writes them, and
// records of many items in one script each stand in their own item.
TEST(AnalyzeResult, NamesWithEscapesAndRecordsOfManyItems) {
  const std::string long_name = "\"" + std::string(120, 'a') + "\\\t" + std::string(20, 'b') + "\"";
  const std::string sql = "declare\n  \"a\\b\" number;\n  \"t\tx\" number;\n  " + long_name +
                          " number;\nbegin\n  \"a\\b\" := \"t\tx\";\n  " + long_name +
                          " := 1;\nend;\n/\nbegin\n  null;\nend;\n/\ndeclare\n  y number;\n"
                          "begin\n  y := 2;\nend;\n/\n";
  const Json result = Json::parse(call_analyze(sql));
  ASSERT_EQ(result["items"].size(), 3u);
  std::vector<std::string> names;
  for (const Json& entry : result["items"][0]["names"]) names.push_back(entry["name"]);
  const std::string long_text = std::string(120, 'a') + "\\\t" + std::string(20, 'b');
  EXPECT_EQ(names,
            (std::vector<std::string>{"a\\b", "t\tx", long_text, "a\\b", "t\tx", long_text}));
  EXPECT_FALSE(result["items"][1].contains("names"));
  ASSERT_EQ(result["items"][2]["names"].size(), 2u);
  EXPECT_EQ(result["items"][2]["names"][1]["name"], "Y");
  EXPECT_EQ(result["items"][2]["names"][1]["usage"], "ASSIGNMENT");
}

TEST(AnalyzeResult, OffsetsCountUtf16CodeUnits) {
  struct Case {
    const char* name;
    std::string sql;
    std::string expected_piece;
  };
  const Case cases[] = {
      {"astral character in a string", "select '\xF0\x9F\x98\x80' x from dual;",
       R"({"e":13,"s":12,"t":"Ident"})"},
      {"ill-formed bytes are one code unit", "select 'A\xF0\x90\x80' x from dual;",
       R"({"e":13,"s":12,"t":"Ident"})"},
      {"two replaced sequences shift by two", "select '\xFF\xFE' x from dual;",
       R"({"e":13,"s":12,"t":"Ident"})"},
      {"column counts characters, start code units",
       "/*\xF0\x9F\x98\x80\xF0\x9F\x98\x80*/select 1 from dual;",
       R"({"col":7,"end":26,"errors":0,"kind":"Sql","line":1,"names":[],"sql":[{"col":7,)"
       R"("id":1,"line":1,"parent":0,"start":8,"type":"SELECT"}],"start":8,)"},
      {"lexer diagnostics come first even when later", "select from;\nselect 'abc",
       R"("diagnostics":[{"col":8,"end":24,"line":2,"message":"unterminated string",)"
       R"("severity":"error","start":20},{"col":8,)"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const std::string result = call_analyze(test_case.sql);
    EXPECT_TRUE(contains(result, test_case.expected_piece)) << result;
  }
}

TEST(AnalyzeResult, ItemKeys) {
  const Json result = Json::parse(call_analyze("SET ECHO ON\nselect 1 from dual;"));
  const Json& items = result.at("items");
  ASSERT_EQ(items.size(), 2u);
  std::vector<std::string> command_keys;
  for (const auto& [key, value] : items[0].items()) command_keys.push_back(key);
  EXPECT_EQ(command_keys,
            (std::vector<std::string>{"col", "command", "end", "kind", "line", "start"}));
  EXPECT_EQ(items[1].at("statement"), "SelectStmt");
  EXPECT_EQ(items[1].at("errors"), 0);
  EXPECT_EQ(items[1].at("tables"), Json::array({"DUAL"}));
  // A query records its statement only: "names" is written, empty, beside "sql".
  EXPECT_EQ(items[1].at("names"), Json::array());
  EXPECT_EQ(items[1].at("sql").size(), 1u);

  // Inactive text of a branch not taken stands in no "c".
  const std::string unit = call_analyze("begin $if false $then x := 1; $end null; end;\n/");
  EXPECT_FALSE(contains(unit, R"("s":22,"t")")) << unit;
  EXPECT_TRUE(contains(unit, R"("k":"NullStmt")")) << unit;
}

TEST(AnalyzeResult, OptionsReachTheResult) {
  EXPECT_TRUE(call_analyze("", R"({"version":"19c"})").ends_with(R"("version":"19c"})"));
  for (const char* options :
       {"[1]", "x", "", "{\"version\":19}", "\xEF\xBB\xBF{\"version\":\"19c\"}",
        "{\"version\":\"\xFF"
        "19c\"}"}) {
    SCOPED_TRACE(options);
    EXPECT_TRUE(call_analyze("", options).ends_with(R"("version":"26ai"})"));
  }
  // Ill-formed bytes in the options are decoded, not refused.
  EXPECT_TRUE(call_analyze("", "{\"version\":\"19c\",\"schema\":\"\xFF\"}")
                  .ends_with(R"("version":"19c"})"));
}

TEST(AnalyzeResult, TooLargeTextsAreRefused) {
  const std::string expected_diagnostic =
      R"j({"diagnostics":[{"col":1,"end":0,"line":1,"message":"text too large (2 GiB or more)",)j"
      R"("severity":"error","start":0}],"items":[],)";
  EXPECT_EQ(too_large_result_json(0, ""), expected_diagnostic + R"("lines":1,"version":"26ai"})");
  EXPECT_EQ(too_large_result_json(41, R"({"version":"12.2"})"),
            expected_diagnostic + R"("lines":42,"version":"12.2"})");
}

// Calls on one thread write over the previous result, in its storage when it has room:
// each result is the one a fresh buffer gets, also when the input is part of the previous
// result itself (50,000 bytes of it give a result that would fit in its storage; its
// non-ASCII names make the writer read the text).
TEST(AnalyzeResult, EachCallOnAThreadGivesItsOwnResult) {
  const std::string long_unit = [] {
    std::string text = "create procedure p is\n  \u00F1 number;\nbegin\n";
    for (int i = 0; i < 2000; ++i) text += "  \u00F1 := \u00F1 + " + std::to_string(i) + ";\n";
    return text + "end;\n/\n";
  }();
  enum class Input { Text, PreviousResultAsSql, PreviousResultAsOptions };
  struct Case {
    const char* name;
    std::string sql;
    Input input;
  };
  const Case cases[] = {
      {"long unit", long_unit, Input::Text},
      {"short statement after it", "select a from t;", Input::Text},
      {"long unit again", long_unit, Input::Text},
      {"the same text", long_unit, Input::Text},
      {"start of the previous result as sql", "", Input::PreviousResultAsSql},
      {"previous result as options", "select 1 from dual;", Input::PreviousResultAsOptions},
      {"empty text", "", Input::Text},
  };
  std::thread([&] {
    const uint8_t* previous = nullptr;
    for (const Case& test_case : cases) {
      SCOPED_TRACE(test_case.name);
      const std::string previous_copy =
          previous == nullptr ? std::string()
                              : std::string(reinterpret_cast<const char*>(previous), result_len());
      const uint8_t* sql = reinterpret_cast<const uint8_t*>(test_case.sql.data());
      std::size_t sql_len = test_case.sql.size();
      const uint8_t* options = nullptr;
      std::size_t options_len = 0;
      std::string expected_sql = test_case.sql;
      std::string expected_options;
      if (test_case.input == Input::PreviousResultAsSql) {
        ASSERT_GT(previous_copy.size(), 50000u);
        sql = previous;
        sql_len = 50000;
        expected_sql = previous_copy.substr(0, sql_len);
      } else if (test_case.input == Input::PreviousResultAsOptions) {
        options = previous + 1;  // not valid options: the defaults
        options_len = previous_copy.size() - 1;
        expected_options = previous_copy.substr(1);
      }
      previous = analyze(sql, sql_len, options, options_len);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(previous), result_len()),
                analyze_json(expected_sql, expected_options));
    }
  }).join();
}

// Results that grow but stay small are written into the storage of the first: a thread
// that analyses many scripts writes into pages it has written before, rather than into a
// new buffer each time a result outgrows the largest before it.
TEST(AnalyzeResult, GrowingSmallResultsKeepTheirStorage) {
  std::thread([] {
    const uint8_t* first = nullptr;
    for (const int statements : {1, 10, 100, 1000}) {
      SCOPED_TRACE(statements);
      std::string sql;
      for (int i = 0; i < statements; ++i) sql += "select a, b from t where c = 1;\n";
      const uint8_t* result =
          analyze(reinterpret_cast<const uint8_t*>(sql.data()), sql.size(), nullptr, 0);
      ASSERT_LT(result_len(), std::size_t{4} * 1024 * 1024);
      if (first == nullptr) first = result;
      EXPECT_EQ(result, first);
    }
  }).join();
}

// Calls result_len from a thread-exit destructor that runs after the slot's own.
struct CallsResultLenAtThreadExit {
  ~CallsResultLenAtThreadExit() { (void)result_len(); }
};

TEST(AnalyzeSlotDeathTest, ACallAfterTheSlotWasFreedAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        std::thread([] {
          // Made before the slot, so destroyed after it.
          thread_local CallsResultLenAtThreadExit late;
          (void)&late;
          EXPECT_EQ(result_len(), 0u);
        }).join();
      },
      "result_len: called after this thread's result slot was freed");
}

// The streamed result of every corpus file reads back as JSON whose library dump is the
// same bytes: keys in order, escapes and numbers as the library writes them.
TEST(AnalyzeResult, CorpusResultsEqualTheLibraryDump) {
  const std::vector<std::filesystem::path> files = test_support::corpus_files();
  ASSERT_FALSE(files.empty());
  for (const std::filesystem::path& path : files) {
    SCOPED_TRACE(path.string());
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string text = decode_lossy(bytes, lossy_decoded_length(bytes));
    const std::string result = analyze_json(text, "");
    ASSERT_EQ(Json::parse(result).dump(), result);
  }
}

// The tree's JSON text as node_json writes it.
std::string tree_json(const syntax::Tree& tree, const syntax::Utf16Positions& positions) {
  std::string out;
  syntax::JsonWriter writer(out);
  node_json(writer, tree, tree.root, positions);
  return out;
}

// Kind names hold no digit, so the digits of a tree's JSON are those of its numbers: the
// size bound counted with numbers of no digits, plus those digits, is the exact size but
// for a comma per element that comes first in its list.
TEST(TreeSizeBound, IsExactButForTheNumbers) {
  const std::string scripts[] = {
      "select a.b, 'x''y', 1.5e3, :bind, &sub -- note\n from t /* c */ where x <> 2;\n",
      "create or replace procedure p is\n  x number := 0;\nbegin\n  x := x + 1;\nend;\n/\n",
      "insert into t (a) values (q'[it's]');\n$if 1 = 0 $then\nselect 1 from dual;\n$end\n",
      "select \xC3\xA9 from \"T\xC3\xA9\" where (((1)));\nselect",
  };
  for (const std::string& text : scripts) {
    SCOPED_TRACE(text);
    const syntax::Utf16Positions positions(text);
    const lexer::SplitResult split = lexer::split_script(text);
    for (const lexer::ScriptItem& item : split.items) {
      const auto parsed = parser::parse_item(text, split, item, lexer::ParseOptions{});
      if (!parsed.has_value()) continue;
      const std::string json = tree_json(parsed->tree, positions);
      const auto digits = static_cast<std::size_t>(
          std::count_if(json.begin(), json.end(), [](char c) { return c >= '0' && c <= '9'; }));
      const std::size_t bound = tree_json_sizes(parsed->tree, 0).tree + digits;
      ASSERT_GE(bound, json.size());
      EXPECT_LE(bound - json.size(), parsed->tree.nodes.size() + 1);
    }
  }
  // Numbers that name no kind are written by name ("?1234") and still bounded.
  syntax::TreeBuilder builder;
  builder.start_node(syntax::syntax_kind_from_number(1234));
  builder.token(syntax::syntax_kind_from_number(60), 0, 1);
  builder.start_node(syntax::syntax_kind(syntax::NodeKind::Alias));
  builder.token(syntax::syntax_kind(syntax::TokenKind::Whitespace), 1, 2);
  builder.finish_node();
  builder.finish_node();
  const syntax::Tree tree = std::move(builder).finish();
  const std::string text = "x ";
  const std::string json = tree_json(tree, syntax::Utf16Positions(text));
  EXPECT_LE(json.size(), tree_json_sizes(tree, 1).tree);
  EXPECT_NE(json.find("\"k\":\"?1234\""), std::string::npos);
}

// The records and diagnostics of each item, written at the digits the text's size allows,
// fit their room, names and messages with escapes included; the records written as they
// are made are the records of the list.
TEST(RecordsAndDiagnosticsSizeBounds, HoldWhatIsWritten) {
  const std::string scripts[] = {
      "create or replace procedure \"P\\\"\x01\" (a in number) is\n  x number := a;\nbegin\n"
      "  x := x + 1;\n  \"P\\\"\x01\"(x);\n  select c into x from t where d = x;\nend;\n/\n",
      "select a.b, (select max(z) from u) from t a where (((1))) and b = :x;\nselect from;\n",
      "create table t (c number);\ninsert into t (c) values (1);\nbad ( ;\n",
  };
  for (const std::string& text : scripts) {
    SCOPED_TRACE(text);
    const syntax::Utf16Positions positions(text);
    const std::size_t digits = syntax::number_digits(text.size());
    const lexer::SplitResult split = lexer::split_script(text);
    std::vector<std::optional<parser::ParsedStatement>> parsed;
    std::vector<const parser::ParsedStatement*> statements;
    for (const lexer::ScriptItem& item : split.items) {
      parsed.push_back(parser::parse_item(text, split, item, lexer::ParseOptions{}));
    }
    for (const auto& statement : parsed) statements.push_back(statement ? &*statement : nullptr);
    const std::vector<resolve::ResolvedRecords> records =
        resolve::resolve_script(text, split.items, statements, "APP");
    const resolve::ScriptResolver resolver(text, split.items, statements, "APP");
    for (std::size_t i = 0; i < records.size(); ++i) {
      std::string out = "x";  // so that a comma is written first
      syntax::JsonWriter writer(out);
      writer.raw_close({});
      records_json(writer, records[i], positions);
      if (!parsed[i]) {
        EXPECT_EQ(out, "x");
        continue;
      }
      EXPECT_LE(out.size() - 1, tree_json_sizes(parsed[i]->tree, digits).records);
      std::string streamed = "x";
      syntax::JsonWriter streamed_writer(streamed);
      streamed_writer.raw_close({});
      resolved_records_json(streamed_writer, resolver, *parsed[i], positions);
      EXPECT_EQ(streamed, out);
      for (const syntax::Diagnostic& diagnostic : parsed[i]->diagnostics) {
        out = "x";
        writer.raw_close({});
        diagnostic_json(writer, diagnostic, positions);
        EXPECT_LE(out.size() - 1, diagnostic_json_size_bound(diagnostic, digits));
      }
    }
  }
}

}  // namespace
}  // namespace veltrane::api
