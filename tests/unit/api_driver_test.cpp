#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "api/analyze_json.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"

namespace veltrane::api {
namespace {

using Json = nlohmann::json;

// The names entries of each item as "NAME TYPE USAGE" lines, "-" for an item without
// "names" and "sql".
std::vector<std::string> names_by_item(const std::string& sql, const std::string& options) {
  const Json result = Json::parse(analyze_json(sql, options));
  std::vector<std::string> lines;
  for (const Json& item : result.at("items")) {
    EXPECT_EQ(item.contains("names"), item.contains("sql"));
    if (!item.contains("names")) {
      lines.push_back("-");
      continue;
    }
    std::string line;
    for (const Json& entry : item.at("names")) {
      if (!line.empty()) line += ", ";
      line += entry.at("name").get<std::string>() + " " + entry.at("type").get<std::string>() +
              " " + entry.at("usage").get<std::string>();
    }
    lines.push_back(line);
  }
  return lines;
}

TEST(AnalyzeDriver, PackageSpecificationsAndOwners) {
  struct Case {
    const char* name;
    std::string sql;
    std::string options;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"a body before its package specification sees it",
       "create package body pay as procedure p is begin y := 1; end; end;\n/\n"
       "create package pay as y number; end;\n/\n",
       "",
       {"PAY PACKAGE DEFINITION, P PROCEDURE DEFINITION, Y VARIABLE ASSIGNMENT",
        "PAY PACKAGE DECLARATION, Y VARIABLE DECLARATION"}},
      {"of two package specifications the body sees the later",
       "create package pay as x number; end;\n/\ncreate package pay as y number; end;\n/\n"
       "create package body pay as procedure p is begin x := 1; y := 2; end; end;\n/\n",
       "",
       {"PAY PACKAGE DECLARATION, X VARIABLE DECLARATION",
        "PAY PACKAGE DECLARATION, Y VARIABLE DECLARATION",
        "PAY PACKAGE DEFINITION, P PROCEDURE DEFINITION, Y VARIABLE ASSIGNMENT"}},
      {"the options' schema and a written owner meet; another owner does not",
       "create package pay as y number; end;\n/\n"
       "create package body hr.pay as procedure p is begin y := 1; end; end;\n/\n"
       "create package body scott.pay as procedure p is begin y := 1; end; end;\n/\n",
       R"({"schema":"hr"})",
       {"PAY PACKAGE DECLARATION, Y VARIABLE DECLARATION",
        "PAY PACKAGE DEFINITION, P PROCEDURE DEFINITION, Y VARIABLE ASSIGNMENT",
        "PAY PACKAGE DEFINITION, P PROCEDURE DEFINITION"}},
      {"the owner of a CREATE resolves its names whatever the schema",
       "create table hr.t (a number);\n"
       "create procedure hr.p is n number; begin select count(*) into n from t; end;\n/\n",
       R"({"schema":"scott"})",
       {"-",
        "P PROCEDURE DEFINITION, N VARIABLE DECLARATION, T TABLE REFERENCE, "
        "N VARIABLE ASSIGNMENT"}},
      {"a schema change in the script reaches only the catalog",
       "create table hr.t (a number);\nalter session set current_schema = hr;\n"
       "create procedure p is n number; begin select count(*) into n from t; end;\n/\n",
       R"({"schema":"scott"})",
       {"-", "-", "P PROCEDURE DEFINITION, N VARIABLE DECLARATION, N VARIABLE ASSIGNMENT"}},
      {"a query records only its statement", "select 1 from dual;", "", {""}},
      {"commands and empty items get no records", "set echo on\n;\n", "", {"-", "-"}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(names_by_item(test_case.sql, test_case.options), test_case.names);
  }
}

TEST(AnalyzeDriver, NamesEntriesEndAtTheNameToken) {
  // "Ab" is 4 code units long with its quotes; the tab in the second name is escaped.
  const std::string sql =
      "declare \"Ab\" number; \"t\tb\" number; \xF0\x9F\x98\x80\xC4\xB1x number;\n"
      "begin \"Ab\" := 1; end;\n/\n";
  const std::string result = analyze_json(sql, "");
  EXPECT_NE(result.find(R"({"col":9,"end":12,"id":1,"line":1,"name":"Ab","parent":0,"start":8,)"),
            std::string::npos)
      << result;
  EXPECT_NE(result.find(R"("name":"t\tb")"), std::string::npos) << result;
  const Json parsed = Json::parse(result);
  for (const Json& entry : parsed.at("items").at(0).at("names")) {
    SCOPED_TRACE(entry.dump());
    EXPECT_GT(entry.at("end").get<uint32_t>(), entry.at("start").get<uint32_t>());
  }
}

TEST(AnalyzeDriver, QualifiedObjectName) {
  struct Case {
    const char* name;
    std::string sql;
    std::string owner;
    std::optional<std::string> object;
  };
  const Case cases[] = {
      {"owner written", "create procedure hr.p is begin null; end;", "HR", "P"},
      {"owner from the schema", "create package pay as end;", "APP", "PAY"},
      {"quoted names keep their case", "create table \"hr\".\"T\" (a number);", "hr", "T"},
      {"nothing created", "select 1 from dual;", "APP", std::nullopt},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const lexer::SplitResult split = lexer::split_script(test_case.sql);
    ASSERT_FALSE(split.items.empty());
    const std::optional<parser::ParsedStatement> statement =
        parser::parse_item(test_case.sql, split, split.items[0], lexer::ParseOptions{});
    ASSERT_TRUE(statement.has_value());
    const OwnerAndName owner_and_name = qualified_object_name(test_case.sql, "APP", *statement);
    EXPECT_EQ(owner_and_name.owner, test_case.owner);
    EXPECT_EQ(owner_and_name.name, test_case.object);
  }
}

}  // namespace
}  // namespace veltrane::api
