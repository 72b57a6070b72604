// The per-file analysis of the report and the Lab: items, counts, positions, highlighting
// rows and the tree JSON.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "limits_scale.hpp"
#include "report/file_analysis.hpp"
#include "report/file_errors.hpp"
#include "report/report_data.hpp"
#include "report/token_classes.hpp"
#include "report/tree_json.hpp"
#include "small_stack.hpp"

namespace veltrane::report {
namespace {

using Json = nlohmann::json;

lexer::ParseOptions options_for(uint16_t major = 23, uint16_t minor = 26) {
  lexer::ParseOptions options;
  options.version = lexer::OracleVersion{major, minor};
  return options;
}

Json analysed(std::string_view text, const lexer::ParseOptions& options = options_for()) {
  return Json::parse(file_analysis_json("t.sql", text, options));
}

std::vector<std::string> keys_of(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

Json rows(std::initializer_list<Json> list) { return Json(list); }

TEST(ReportAnalysis, EmptyTextHasNoItemsRowsOrCounts) {
  const Json file = analysed("");
  EXPECT_EQ(keys_of(file), (std::vector<std::string>{"bytes", "classes", "counts", "items", "lines",
                                                     "micros", "name", "version"}));
  EXPECT_EQ(file["bytes"], 0);
  EXPECT_EQ(file["lines"], 0);
  EXPECT_EQ(file["items"], Json::array());
  EXPECT_EQ(file["classes"], Json::array());
  EXPECT_EQ(file["name"], "t.sql");
  EXPECT_EQ(file["version"], "26ai");
  EXPECT_TRUE(file["micros"].is_number_float());
  EXPECT_EQ(file["counts"], (Json{{"errors", 0},
                                  {"nodes", 0},
                                  {"sqlplus", 0},
                                  {"statements", 0},
                                  {"warnings", 0},
                                  {"with_errors", 0}}));
}

TEST(ReportAnalysis, OneSelectStatement) {
  const Json file = analysed("select * from dual;\n");
  EXPECT_EQ(file["bytes"], 20);
  EXPECT_EQ(file["lines"], 1);
  ASSERT_EQ(file["items"].size(), 1u);
  const Json& item = file["items"][0];
  EXPECT_EQ(keys_of(item),
            (std::vector<std::string>{"bytes", "col", "e", "end_line", "errors", "kind", "line",
                                      "lossless", "micros", "nodes", "s", "statement", "tables",
                                      "text", "tree", "warnings"}));
  EXPECT_EQ(item["kind"], "sql");
  EXPECT_EQ(item["statement"], "SelectStmt");
  EXPECT_EQ(item["line"], 1);
  EXPECT_EQ(item["col"], 1);
  EXPECT_EQ(item["end_line"], 1);
  EXPECT_EQ(item["s"], 0);
  EXPECT_EQ(item["e"], 18);
  EXPECT_EQ(item["bytes"], 18);
  EXPECT_EQ(item["lossless"], true);
  EXPECT_EQ(item["tables"], Json::array({"DUAL"}));
  EXPECT_EQ(item["text"], "select * from dual");
  EXPECT_EQ(file["counts"]["statements"], 1);
  EXPECT_EQ(file["counts"]["nodes"], item["nodes"]);
  EXPECT_EQ(file["classes"], rows({{0, 6, "kw"}, {7, 8, "op"}, {9, 13, "kw"}, {14, 18, "id"}}));
}

TEST(ReportAnalysis, CharactersAboveTheBasicPlaneCountTwoInOffsets) {
  const Json file = analysed("select '\xF0\x9F\x98\x80' from dual");
  const Json& item = file["items"][0];
  EXPECT_EQ(item["e"], 21);
  EXPECT_EQ(item["bytes"], 23);
  EXPECT_EQ(file["classes"], rows({{0, 6, "kw"}, {7, 11, "str"}, {12, 16, "kw"}, {17, 21, "id"}}));

  // The column counts characters, the offset code units.
  const Json second =
      analysed("select '\xF0\x9F\x98\x80', x from dual where y = '\xF0\x9F\x98\x80' + 1");
  const Json& warnings_and_errors = second["items"][0];
  EXPECT_EQ(warnings_and_errors["errors"], Json::array());
}

TEST(ReportAnalysis, ClientCommandsAreNotParsed) {
  const Json file = analysed("SET SERVEROUTPUT ON\nselect 1 from dual;\nPROMPT caf\xC3\xA9\n");
  ASSERT_EQ(file["items"].size(), 3u);
  const Json& set = file["items"][0];
  EXPECT_EQ(keys_of(set), (std::vector<std::string>{"col", "command", "e", "end_line", "kind",
                                                    "line", "s", "text"}));
  EXPECT_EQ(set["kind"], "sqlplus");
  EXPECT_EQ(set["command"], "SET");
  EXPECT_EQ(set["text"], "SET SERVEROUTPUT ON");
  // A command item ending in a multi-byte character.
  const Json& prompt = file["items"][2];
  EXPECT_EQ(prompt["command"], "PROMPT");
  EXPECT_EQ(prompt["line"], 3);
  EXPECT_EQ(prompt["end_line"], 3);
  EXPECT_EQ(prompt["e"], 51);
  EXPECT_EQ(file["counts"]["sqlplus"], 2);
  EXPECT_EQ(file["counts"]["statements"], 1);
  EXPECT_EQ(file["counts"]["with_errors"], 0);
  // The words of a client command get no row.
  EXPECT_EQ(file["classes"].front()[0], 20);
}

TEST(ReportAnalysis, StatementEndingInAMultiByteCharacter) {
  const Json file = analysed("select 1 from caf\xC3\xA9;\nselect 2\nfrom caf\xC3\xA9");
  ASSERT_EQ(file["items"].size(), 2u);
  EXPECT_EQ(file["items"][0]["end_line"], 1);
  EXPECT_EQ(file["items"][0]["e"], 18);
  EXPECT_EQ(file["items"][1]["line"], 2);
  EXPECT_EQ(file["items"][1]["end_line"], 3);
  EXPECT_EQ(file["lines"], 3);
}

TEST(ReportAnalysis, WarningsAloneDoNotCountAsErrors) {
  const Json file = analysed("select * from t fetch first 5 rows only;\n", options_for(11, 2));
  const Json& item = file["items"][0];
  EXPECT_EQ(item["errors"], Json::array());
  ASSERT_EQ(item["warnings"].size(), 1u);
  EXPECT_EQ(keys_of(item["warnings"][0]),
            (std::vector<std::string>{"col", "e", "line", "message", "s"}));
  EXPECT_EQ(file["counts"]["warnings"], 1);
  EXPECT_EQ(file["counts"]["with_errors"], 0);
  EXPECT_EQ(file["version"], "11.2");
}

TEST(ReportAnalysis, ErrorsAreCountedPerItemAndFile) {
  const Json file = analysed("select from;\nselect 1 from dual;\nselect (1 from t;\n");
  EXPECT_EQ(file["counts"]["with_errors"], 2);
  EXPECT_GE(file["counts"]["errors"], 2);
  EXPECT_FALSE(file["items"][0]["errors"].empty());
  EXPECT_TRUE(file["items"][1]["errors"].empty());
  for (const Json& error : file["items"][0]["errors"]) {
    EXPECT_GE(error["e"], error["s"]);
  }
}

// A realistic script: comments between items, a substitution variable, a bind, a quoted
// identifier holding a keyword, an inactive branch, a datatype, reserved words as names.
TEST(ReportAnalysis, ClassRowsOfAScript) {
  const std::string text =
      "-- head\n"                                        // 0
      "select &x, :b, \"Select\" from emp; /* mid */\n"  // 8
      "begin\n"                                          // 52
      "  $IF 1 = 0 $THEN\n"                              // 58
      "    dead_code;\n"                                 // 76
      "  $END\n"                                         // 91
      "  null;\n"                                        // 98
      "end;\n"                                           // 106
      "/\n"                                              // 111
      "select cast(x as number) from t;\n";              // 113
  const Json file = analysed(text);
  const Json expected = rows({
      {0, 7, "com"},    {8, 14, "kw"},    {15, 17, "bind"}, {17, 18, "op"},     {19, 21, "bind"},
      {21, 22, "op"},   {23, 31, "id"},   {32, 36, "kw"},   {37, 40, "id"},     {42, 51, "com"},
      {52, 57, "kw"},   {60, 63, "cc"},   {64, 65, "num"},  {66, 67, "op"},     {68, 69, "num"},
      {70, 75, "cc"},   {80, 89, "id"},   {89, 90, "op"},   {93, 97, "cc"},     {100, 104, "kw"},
      {104, 105, "op"}, {106, 109, "kw"}, {109, 110, "op"}, {113, 119, "kw"},   {120, 124, "id"},
      {124, 125, "op"}, {125, 126, "id"}, {127, 129, "kw"}, {130, 136, "type"}, {136, 137, "op"},
      {138, 142, "kw"}, {143, 144, "id"},
  });
  EXPECT_EQ(file["classes"], expected);
  // The terminator of the first SELECT (byte 40) and the "/" line have no row.
  for (const Json& row : file["classes"]) {
    EXPECT_NE(row[0], 40);
    EXPECT_NE(row[0], 111);
  }
}

struct IdentifierCase {
  const char* name;
  const char* text;
  uint32_t start;
  const char* expected;
};

TEST(ReportAnalysis, IdentifierClassesFollowTheHoldingNode) {
  const IdentifierCase cases[] = {
      // Held by NameRef: a name whatever the word.
      {"reserved word as a column", "select \"A\".level from t", 11, "id"},
      {"plain name", "select salary from emp", 7, "id"},
      // Held by TypeName: a datatype.
      {"datatype", "select cast(x as varchar2(10)) from t", 17, "type"},
      // Keywords elsewhere, in any letter case.
      {"lower keyword", "select 1 from t", 0, "kw"},
      {"mixed keyword", "Select 1 From t", 9, "kw"},
      {"class keyword", "select * from a join b using (c)", 16, "kw"},
      {"class keyword USING", "select * from a join b using (c)", 23, "kw"},
  };
  for (const IdentifierCase& test : cases) {
    SCOPED_TRACE(test.name);
    const Json file = analysed(test.text);
    bool found = false;
    for (const Json& row : file["classes"]) {
      if (row[0] == test.start) {
        EXPECT_EQ(row[2], test.expected);
        found = true;
      }
    }
    EXPECT_TRUE(found);
  }
}

TEST(ReportAnalysis, NameContextKindsGiveKeywordsOnlyForReservedWords) {
  // ColumnDef holds the column name: "id" for a plain word.
  const Json file = analysed("create table t (amount number, \"Date\" date);");
  bool saw_amount = false;
  for (const Json& row : file["classes"]) {
    if (row[0] == 16) {
      EXPECT_EQ(row[2], "id");
      saw_amount = true;
    }
  }
  EXPECT_TRUE(saw_amount);
  EXPECT_EQ(NAME_CONTEXT_KINDS.size(), 30u);
  EXPECT_EQ(CLASS_KEYWORDS.size(), 132u);
}

TEST(ReportAnalysis, LinesDropAFinalEmptyLine) {
  const std::pair<const char*, uint64_t> cases[] = {
      {"", 0}, {"a", 1}, {"a\n", 1}, {"\n\n", 2}, {"a\nb", 2}, {"a\r\nb\r\n", 2}, {"\n", 1},
  };
  for (const auto& [text, lines] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(counted_lines(text), lines);
  }
}

TEST(ReportAnalysis, MicrosAreRoundedToOneDecimal) {
  const std::pair<int64_t, double> cases[] = {
      {152'449, 152.4},       {0, 0.0}, {-5, 0.0}, {3'000, 3.0}, {149, 0.1}, {40, 0.0},
      {1'500'000'000, 1.5e6},
  };
  for (const auto& [nanoseconds, micros] : cases) {
    SCOPED_TRACE(nanoseconds);
    EXPECT_DOUBLE_EQ(rounded_micros(nanoseconds), micros);
  }
  EXPECT_EQ(Json(rounded_micros(152'449)).dump(), "152.4");
  EXPECT_EQ(Json(rounded_micros(0)).dump(), "0.0");
}

TEST(ReportAnalysis, TreesStandInTheirSortedPlace) {
  const Json file = analysed("set echo on\nselect a, 'x' from t;");
  EXPECT_FALSE(file["items"][0].contains("tree"));
  const Json& tree = file["items"][1]["tree"];
  EXPECT_EQ(keys_of(tree), (std::vector<std::string>{"c", "e", "k", "s"}));
  EXPECT_EQ(tree["k"], "SelectStmt");
  EXPECT_EQ(tree["s"], 12);
  EXPECT_EQ(tree["e"], 32);
}

// Counts the objects of a tree JSON value and checks each token's text and keys.
uint64_t count_objects(const Json& node, std::string_view text) {
  uint64_t count = 0;
  std::vector<const Json*> stack = {&node};
  while (!stack.empty()) {
    const Json* current = stack.back();
    stack.pop_back();
    ++count;
    if (current->contains("c")) {
      for (const Json& child : (*current)["c"]) stack.push_back(&child);
    } else {
      EXPECT_EQ(keys_of(*current), (std::vector<std::string>{"e", "k", "s", "t"}));
      const auto s = (*current)["s"].get<std::size_t>();
      const auto e = (*current)["e"].get<std::size_t>();
      EXPECT_EQ((*current)["t"], std::string(text.substr(s, e - s)));
    }
  }
  return count;
}

TEST(ReportAnalysis, TreeJsonLeavesTriviaOutButCountsItInSpans) {
  const std::string text = "select /* c */ a -- x\n from t;";
  const Json file = analysed(text);
  const Json& tree = file["items"][0]["tree"];
  EXPECT_EQ(count_objects(tree, text), file["items"][0]["nodes"].get<uint64_t>());
  EXPECT_EQ(tree.dump().find("/* c */"), std::string::npos);
  EXPECT_EQ(tree.dump().find("-- x"), std::string::npos);
  // Comment rows still come from the token list.
  EXPECT_EQ(file["classes"][1], Json::array({7, 14, "com"}));
}

// The full million terms; a tenth in reduced builds.
constexpr int CHAIN_TERMS = test_support::LIMITS_REDUCED ? 100'000 : 1'000'000;

TEST(ReportAnalysis, MillionTermChainOnASmallStack) {
  std::string text = "select 1";
  constexpr int TERMS = CHAIN_TERMS;
  text.reserve(text.size() + TERMS * 3 + 16);
  for (int i = 0; i < TERMS; ++i) text.append("||1");
  text.append(" from dual;");
  std::string printed;
  const bool ran = test_support::run_on_small_stack(
      [&] { printed = file_analysis_json("deep.sql", text, options_for()); });
  ASSERT_TRUE(ran);
  EXPECT_GT(printed.size(), std::size_t{40} * TERMS);
  EXPECT_EQ(printed.substr(0, 12), "{\"bytes\":300");
  const std::size_t counts = printed.find("\"counts\":");
  ASSERT_NE(counts, std::string::npos);
  const Json head = Json::parse(printed.substr(counts + 9, printed.find('}', counts) - counts - 8));
  EXPECT_GT(head["nodes"].get<uint64_t>(), uint64_t{2} * TERMS);
}

}  // namespace
}  // namespace veltrane::report

namespace veltrane::report {
namespace {

TEST(ReportAnalysis, ReportEntryIsTheAnalysisWithoutRowsTimingsAndTrees) {
  const char* texts[] = {
      "",
      "set echo on\n-- note\nselect a, b from t where c = 1;\nbegin null; end;\n/\n",
      "select from;\ncreate table t (a number);\n",
  };
  const std::vector<std::string> json_only = {"json"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    Json expected = Json::parse(file_analysis_json("n.sql", text, lexer::ParseOptions{}));
    expected.erase("classes");
    expected.erase("micros");
    for (Json& item : expected["items"]) {
      item.erase("micros");
      item.erase("tree");
    }
    const std::vector<SourceInput> inputs = {{"n.sql", text}};
    const Report report = build_report(inputs, lexer::ParseOptions{}, "app", "t", json_only);
    EXPECT_EQ(Json::parse(report.outputs.at(0).bytes)["files"][0], expected);
  }
}

// Each item's object, with and without its tree, fits the bounds its writers give, texts
// and names with escapes included.
TEST(ReportAnalysis, ItemsFitTheirSizeBounds) {
  const std::string texts[] = {
      "select \"a\\\"\x01\" from t where b = 'x\ty';\nconnect u/p\nbad ( ;\n",
      "create or replace procedure p is\nbegin\n  x := 1;\nend;\n/\nselect 1 from dual\n/\n",
      "\n\n\n\n\n\n\n\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const syntax::Utf16Positions positions(text);
    const std::size_t digits = syntax::number_digits(text.size());
    const lexer::SplitResult split = lexer::split_script(text);
    const TreeSource tree{text, positions};
    (void)analyze_items(text, split, positions, options_for(), true, [&](const AnalyzedItem& item) {
      std::string out = "[0";  // so that a comma is written first
      syntax::JsonWriter writer(out);
      writer.raw_close({});
      write_item_json(writer, item, nullptr);
      EXPECT_LE(out.size() - 2, item_json_size_bound(item, digits));
      if (item.parsed == nullptr) return;
      out = "[0";
      write_item_json(writer, item, &tree);
      EXPECT_LE(out.size() - 2, item_json_size_bound(item, digits) +
                                    tree_json_size_bound(item.parsed->tree, text, digits));
    });
  }
}

// The lexer's errors that no parsed item holds are the file's: "start:message" of each.
TEST(ReportAnalysis, FileErrorsAreTheLexerErrorsOfNoItem) {
  const std::pair<std::string_view, std::vector<std::string>> cases[] = {
      {"select 1 from dual;\n/* x\nselect 2 from dual;\n", {"20:unterminated comment"}},
      {"/* x\nselect 1 from dual;\n", {"0:unterminated comment"}},
      {"begin null; end;\n/\n/* x", {"19:unterminated comment"}},
      {"set echo on\n/* x\n", {"12:unterminated comment"}},
      {"select 1 from dual /* x ;\n", {}},
      {"select 'x from dual;\n", {}},
      {"select 1 from dual; -- x /*\n", {}},
  };
  for (const auto& [text, want] : cases) {
    SCOPED_TRACE(text);
    const lexer::SplitResult split = lexer::split_script(text);
    std::vector<std::string> found;
    for (const syntax::Diagnostic& error : loose_lexer_errors(text, split)) {
      found.push_back(std::to_string(error.start) + ":" + std::string(error.message));
    }
    EXPECT_EQ(found, want);
  }
}

}  // namespace
}  // namespace veltrane::report
