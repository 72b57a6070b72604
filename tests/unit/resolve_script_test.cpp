// A whole script resolved as the analysis resolves it: one entry per item, the package
// package specifications of the whole script known to every body, owners from the CREATE or the
// given schema (never from the script's schema changes, which reach only the catalog).

#include "resolve/resolve_script.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "resolve_printer.hpp"
#include "syntax/positions.hpp"

namespace veltrane::resolve {
namespace {

// The printed records of every item, "-" for an item whose slot is null.
std::vector<std::string> printed_by_item(std::string_view text, std::string_view schema) {
  const test_support::ParsedScript script(text);
  const std::vector<ResolvedRecords> records =
      resolve_script(text, script.split.items, script.statements, schema);
  EXPECT_EQ(records.size(), script.split.items.size());
  const syntax::Positions positions(text);
  std::vector<std::string> printed;
  for (std::size_t i = 0; i < records.size(); ++i) {
    printed.push_back(
        script.statements[i] == nullptr ? "-" : test_support::print_records(records[i], positions));
  }
  return printed;
}

TEST(ResolveScript, RecordsByItem) {
  struct Case {
    const char* name;
    const char* script;
    const char* schema;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"a command has no statement",
       "SET ECHO ON\nSELECT 1 FROM dual;\n",
       "APP",
       {"-", "1/0 SELECT @2:1\n"}},
      {"a body before its package specification sees it",
       "CREATE PACKAGE BODY hr.pk AS PROCEDURE p IS BEGIN v := w; END; END;\n/\n"
       "CREATE PACKAGE pk AS v NUMBER; PROCEDURE p; END;\n/\n",
       "HR",
       {"1/0 PK PACKAGE DEFINITION @1:24\n2/1 P PROCEDURE DEFINITION @1:40\n"
        "3/2 V VARIABLE ASSIGNMENT @1:51\n",
        "1/0 PK PACKAGE DECLARATION @3:16\n2/1 V VARIABLE DECLARATION @3:22\n"
        "3/1 P PROCEDURE DECLARATION @3:42\n"}},
      {"a body under another owner does not",
       "CREATE PACKAGE BODY pk AS PROCEDURE p IS BEGIN v := 1; END; END;\n/\n"
       "CREATE PACKAGE hr.pk AS v NUMBER; END;\n/\n",
       "APP",
       {"1/0 PK PACKAGE DEFINITION @1:21\n2/1 P PROCEDURE DEFINITION @1:37\n",
        "1/0 PK PACKAGE DECLARATION @3:19\n2/1 V VARIABLE DECLARATION @3:25\n"}},
      {"CONNECT leaves owners alone",
       "CONNECT scott\nCREATE PACKAGE pk AS v NUMBER; END;\n/\n"
       "CREATE PACKAGE BODY pk AS PROCEDURE p IS BEGIN v := 1; END; END;\n/\n",
       "APP",
       {"-", "1/0 PK PACKAGE DECLARATION @2:16\n2/1 V VARIABLE DECLARATION @2:22\n",
        "1/0 PK PACKAGE DEFINITION @4:21\n2/1 P PROCEDURE DEFINITION @4:37\n"
        "3/2 V VARIABLE ASSIGNMENT @4:48\n"}},
      {"the last package specification under a key wins",
       "CREATE PACKAGE pk AS v NUMBER; END;\n/\nCREATE PACKAGE pk AS w NUMBER; END;\n/\n"
       "CREATE PACKAGE BODY pk AS PROCEDURE p IS BEGIN v := w; END; END;\n/\n",
       "APP",
       {"1/0 PK PACKAGE DECLARATION @1:16\n2/1 V VARIABLE DECLARATION @1:22\n",
        "1/0 PK PACKAGE DECLARATION @3:16\n2/1 W VARIABLE DECLARATION @3:22\n",
        "1/0 PK PACKAGE DEFINITION @5:21\n2/1 P PROCEDURE DEFINITION @5:37\n"
        "3/2 W VARIABLE REFERENCE @5:53\n"}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(printed_by_item(test_case.script, test_case.schema), test_case.expected);
  }
}

TEST(ResolveScript, ScriptSchemaChangesReachTheCatalogOnly) {
  const std::string text =
      "CREATE TABLE t1 (a NUMBER);\nCONNECT scott\nCREATE TABLE t2 (a NUMBER);\n";
  const test_support::ParsedScript script(text);
  const ScriptResolver resolver(text, script.split.items, script.statements, "APP");
  const catalog::Catalog& catalog = resolver.script_catalog();
  EXPECT_TRUE(catalog.objects.contains({"APP", "T1"}));
  EXPECT_TRUE(catalog.objects.contains({"SCOTT", "T2"}));
  EXPECT_EQ(catalog.objects.at({"SCOTT", "T2"}).origin, "script");
  EXPECT_EQ(qualified_object_name(text, "APP", *script.statements[2]).owner, "APP");
}

}  // namespace
}  // namespace veltrane::resolve
