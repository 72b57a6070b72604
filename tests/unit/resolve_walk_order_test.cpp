// The order and the flags of the walk where names stand deep inside expressions, argument
// lists, conditions and statement lists: labels found before blocks and loops nested in
// such nodes, select-list aliases seen through function arguments of ORDER BY and GROUP BY
// only, declarations entered after their defaults, targets found through nested nodes.

#include <gtest/gtest.h>

#include <cstddef>
#include <string_view>
#include <vector>

#include "resolve_printer.hpp"

namespace veltrane::resolve {
namespace {

struct Case {
  std::string_view name;
  std::string_view script;
  std::size_t statement;  // index among the parsed statements
  std::string_view records;
};

TEST(ResolveWalkOrder, NamesInsideNestedNodes) {
  const std::vector<Case> cases = {
      {"labels of loops and blocks inside IF, CASE and nested lists",
       "BEGIN\n  IF 1 = 1 THEN\n    <<outer>> FOR i IN 1..2 LOOP\n"
       "      CASE WHEN i > 1 THEN EXIT outer; ELSE <<inner>> BEGIN GOTO inner; END; END CASE;\n"
       "    END LOOP;\n  END IF;\nEND;\n/\n",
       0,
       "1/0 OUTER LABEL DECLARATION @3:7\n"
       "2/0 I ITERATOR DECLARATION @3:19\n"
       "3/0 I ITERATOR REFERENCE @4:17\n"
       "4/0 OUTER LABEL REFERENCE @4:33\n"
       "5/0 INNER LABEL DECLARATION @4:47\n"
       "6/0 INNER LABEL REFERENCE @4:66\n"},
      {"a declaration is entered after its default, deep in an expression",
       "CREATE PROCEDURE p IS\n  x NUMBER := 1;\nBEGIN\n  DECLARE\n"
       "    x NUMBER := ABS(-(x + 1)) * 2;\n  BEGIN\n    x := GREATEST(x, 3);\n  END;\nEND;\n/\n",
       0,
       "1/0 P PROCEDURE DEFINITION @1:18\n"
       "2/1 X VARIABLE DECLARATION @2:3\n"
       "3/1 X VARIABLE DECLARATION @5:5\n"
       "4/1 X VARIABLE REFERENCE @5:23\n"
       "5/1 X VARIABLE ASSIGNMENT @7:5\n"
       "6/1 X VARIABLE REFERENCE @7:19\n"},
      {"aliases through function arguments of ORDER BY and GROUP BY, not WHERE",
       "CREATE TABLE emp (name VARCHAR2(10), sal NUMBER);\n"
       "SELECT name n, sal s FROM emp WHERE UPPER(name) = 'X' GROUP BY LOWER(n), sal "
       "ORDER BY NVL(UPPER(n), s), LENGTH(name);\n",
       1,
       "1/0 SELECT @2:1\n"
       "2/1 EMP TABLE REFERENCE @2:27\n"
       "3/1 NAME COLUMN REFERENCE @2:8\n"
       "4/1 SAL COLUMN REFERENCE @2:16\n"
       "5/1 NAME COLUMN REFERENCE @2:43\n"
       "6/1 SAL COLUMN REFERENCE @2:74\n"
       "7/1 NAME COLUMN REFERENCE @2:112\n"},
      {"assignment targets reached through nested nodes",
       "DECLARE\n  TYPE r IS RECORD (a NUMBER);\n  v r;\n  w NUMBER;\nBEGIN\n"
       "  v.a := w + (w * 2);\n  SELECT 1 INTO w FROM dual WHERE (1 = 1 AND w > 0);\nEND;\n/\n",
       0,
       "1/0 R RECORD DECLARATION @2:8\n"
       "2/0 V VARIABLE DECLARATION @3:3\n"
       "3/0 R RECORD REFERENCE @3:5\n"
       "4/0 W VARIABLE DECLARATION @4:3\n"
       "5/0 V VARIABLE ASSIGNMENT @6:3\n"
       "6/0 W VARIABLE REFERENCE @6:10\n"
       "7/0 W VARIABLE REFERENCE @6:15\n"
       "8/0 SELECT @7:3\n"
       "9/8 W VARIABLE ASSIGNMENT @7:17\n"
       "10/8 W VARIABLE REFERENCE @7:46\n"},
      {"the catalog asked again, with and without an owner",
       "CREATE TABLE hr.t (hr_only NUMBER);\nCREATE TABLE t (app_only NUMBER);\n"
       "CREATE FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END;\n/\n"
       "DECLARE\n  a t.hr_only%TYPE;\n  b hr.t.hr_only%TYPE;\n  c t.app_only%TYPE;\n"
       "  d t%ROWTYPE;\nBEGIN\n  a := f + f;\n  b := f;\nEND;\n/\n",
       3,
       "1/0 A VARIABLE DECLARATION @6:3\n"
       "2/0 T TABLE REFERENCE @6:5\n"
       "3/0 B VARIABLE DECLARATION @7:3\n"
       "4/0 T TABLE REFERENCE @7:8\n"
       "5/0 HR_ONLY COLUMN REFERENCE @7:10\n"
       "6/0 C VARIABLE DECLARATION @8:3\n"
       "7/0 T TABLE REFERENCE @8:5\n"
       "8/0 APP_ONLY COLUMN REFERENCE @8:7\n"
       "9/0 D VARIABLE DECLARATION @9:3\n"
       "10/0 T TABLE REFERENCE @9:5\n"
       "11/0 A VARIABLE ASSIGNMENT @11:3\n"
       "12/0 F FUNCTION CALL @11:8\n"
       "13/0 F FUNCTION CALL @11:12\n"
       "14/0 B VARIABLE ASSIGNMENT @12:3\n"
       "15/0 F FUNCTION CALL @12:8\n"},
      {"callees and targets written as names, met first in their nodes",
       "CREATE FUNCTION f(n NUMBER) RETURN NUMBER IS BEGIN RETURN n; END;\n/\n"
       "DECLARE\n  TYPE tab IS TABLE OF NUMBER INDEX BY PLS_INTEGER;\n  t tab;\n  x NUMBER;\n"
       "  PROCEDURE q(a NUMBER) IS BEGIN NULL; END;\nBEGIN\n  x := f(f(x) + x);\n"
       "  t(x) := f(x);\n  q(a => f(x));\n  SELECT f(x) INTO x FROM dual;\nEND;\n/\n",
       1,
       "1/0 TAB INDEX TABLE DECLARATION @4:8\n"
       "2/0 T VARIABLE DECLARATION @5:3\n"
       "3/0 TAB INDEX TABLE REFERENCE @5:5\n"
       "4/0 X VARIABLE DECLARATION @6:3\n"
       "5/0 Q PROCEDURE DEFINITION @7:13\n"
       "6/5 A FORMAL IN DECLARATION @7:15\n"
       "7/0 X VARIABLE ASSIGNMENT @9:3\n"
       "8/0 F FUNCTION CALL @9:8\n"
       "9/0 F FUNCTION CALL @9:10\n"
       "10/0 X VARIABLE REFERENCE @9:12\n"
       "11/0 X VARIABLE REFERENCE @9:17\n"
       "12/0 T VARIABLE ASSIGNMENT @10:3\n"
       "13/0 X VARIABLE REFERENCE @10:5\n"
       "14/0 F FUNCTION CALL @10:11\n"
       "15/0 X VARIABLE REFERENCE @10:13\n"
       "16/0 Q PROCEDURE CALL @11:3\n"
       "17/0 F FUNCTION CALL @11:10\n"
       "18/0 X VARIABLE REFERENCE @11:12\n"
       "19/0 SELECT @12:3\n"
       "20/19 F FUNCTION CALL @12:10\n"
       "21/19 X VARIABLE REFERENCE @12:12\n"
       "22/19 X VARIABLE ASSIGNMENT @12:20\n"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const std::vector<test_support::ResolvedItem> items =
        test_support::resolve_script(test.script, "APP");
    ASSERT_LT(test.statement, items.size());
    EXPECT_EQ(items[test.statement].printed, test.records);
  }
}

}  // namespace
}  // namespace veltrane::resolve
