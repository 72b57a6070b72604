// Scripts in, every statement's records out in compact form, compared whole.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "resolve_printer.hpp"

namespace veltrane::resolve {
namespace {

struct Expected {
  std::size_t statement;  // index among the parsed statements
  std::string_view records;
};

struct ScriptCase {
  std::string_view name;
  std::string_view script;
  std::vector<Expected> expected;
  std::string_view schema = "APP";
};

void check(const ScriptCase& test) {
  SCOPED_TRACE(test.name);
  const std::vector<test_support::ResolvedItem> items =
      test_support::resolve_script(test.script, test.schema);
  for (const Expected& expected : test.expected) {
    SCOPED_TRACE(expected.statement);
    ASSERT_LT(expected.statement, items.size());
    EXPECT_EQ(items[expected.statement].printed, expected.records);
  }
}

TEST(ResolveRecords, ChecksFromTheIssue) {
  const std::vector<ScriptCase> cases = {
      {"N1 columns of a catalog table",
       "CREATE TABLE emp (id NUMBER, ename VARCHAR2(20));\nSELECT ename, e2 FROM emp;\n",
       {{0, ""},
        {1,
         "1/0 SELECT @2:1\n"
         "2/1 EMP TABLE REFERENCE @2:23\n"
         "3/1 ENAME COLUMN REFERENCE @2:8\n"}}},
      {"N2 views, COMMIT and a SELECT of nothing known",
       "CREATE TABLE emp (id NUMBER);\nCREATE VIEW v AS SELECT id FROM emp;\nCOMMIT;\n"
       "SELECT 1 FROM dual;\n",
       {{1,
         "1/0 SELECT @2:18\n"
         "2/1 EMP TABLE REFERENCE @2:33\n"
         "3/1 ID COLUMN REFERENCE @2:25\n"},
        {2, "1/0 COMMIT @3:1\n"},
        {3, "1/0 SELECT @4:1\n"}}},
      {"N3 a body before its specification, and pkg.member",
       "CREATE PACKAGE BODY pay AS\n"
       "  PROCEDURE bump IS BEGIN g_count := g_count + 1; END;\n"
       "END;\n/\n"
       "CREATE PACKAGE pay AS\n  g_count NUMBER;\n  PROCEDURE bump;\nEND;\n/\n"
       "CREATE PROCEDURE run IS BEGIN pay.bump; END;\n/\n",
       {{0,
         "1/0 PAY PACKAGE DEFINITION @1:21\n"
         "2/1 BUMP PROCEDURE DEFINITION @2:13\n"
         "3/2 G_COUNT VARIABLE ASSIGNMENT @2:27\n"
         "4/2 G_COUNT VARIABLE REFERENCE @2:38\n"},
        {1,
         "1/0 PAY PACKAGE DECLARATION @5:16\n"
         "2/1 G_COUNT VARIABLE DECLARATION @6:3\n"
         "3/1 BUMP PROCEDURE DECLARATION @7:13\n"},
        {2,
         "1/0 RUN PROCEDURE DEFINITION @10:18\n"
         "2/1 PAY PACKAGE REFERENCE @10:31\n"
         "3/1 BUMP PROCEDURE CALL @10:35\n"}}},
      {"N4 the later specification wins",
       "CREATE PACKAGE pay AS a NUMBER; END;\n/\nCREATE PACKAGE pay AS b NUMBER; END;\n/\n"
       "CREATE PACKAGE BODY pay AS PROCEDURE p IS v NUMBER; BEGIN v := a + b; END; END;\n/\n",
       {{2,
         "1/0 PAY PACKAGE DEFINITION @5:21\n"
         "2/1 P PROCEDURE DEFINITION @5:38\n"
         "3/2 V VARIABLE DECLARATION @5:43\n"
         "4/2 V VARIABLE ASSIGNMENT @5:59\n"
         "5/2 B VARIABLE REFERENCE @5:68\n"}}},
      {"N5 owners",
       "CREATE PACKAGE pay AS g NUMBER; END;\n/\n"
       "CREATE PACKAGE BODY hr.pay AS PROCEDURE p IS BEGIN g := 1; END; END;\n/\n"
       "CREATE PACKAGE BODY scott.pay AS PROCEDURE p IS BEGIN g := 1; END; END;\n/\n",
       {{1,
         "1/0 PAY PACKAGE DEFINITION @3:24\n"
         "2/1 P PROCEDURE DEFINITION @3:41\n"
         "3/2 G VARIABLE ASSIGNMENT @3:52\n"},
        {2,
         "1/0 PAY PACKAGE DEFINITION @5:27\n"
         "2/1 P PROCEDURE DEFINITION @5:44\n"}},
       "HR"},
      {"N6 default owners",
       "ALTER SESSION SET CURRENT_SCHEMA = hr;\nCREATE TABLE t (a NUMBER);\nSELECT a FROM t;\n"
       "SELECT a FROM hr.t;\n"
       "CREATE PROCEDURE hr.p IS BEGIN FOR r IN (SELECT a FROM t) LOOP NULL; END LOOP; END;\n/\n",
       {{2, "1/0 SELECT @3:1\n"},
        {3,
         "1/0 SELECT @4:1\n"
         "2/1 T TABLE REFERENCE @4:18\n"
         "3/1 A COLUMN REFERENCE @4:8\n"},
        {4,
         "1/0 P PROCEDURE DEFINITION @5:21\n"
         "2/1 R ITERATOR DECLARATION @5:36\n"
         "3/1 SELECT @5:42\n"
         "4/3 T TABLE REFERENCE @5:56\n"
         "5/3 A COLUMN REFERENCE @5:49\n"}}},
      {"N7 scopes, cursors, blocks, handlers",
       "CREATE TABLE emp (id NUMBER);\n"
       "CREATE PROCEDURE q(p_id IN NUMBER, p_out OUT NUMBER) IS\n"
       "  CURSOR c IS SELECT id FROM emp WHERE id = p_id;\n"
       "  v NUMBER;\n"
       "  e_none EXCEPTION;\n"
       "BEGIN\n"
       "  OPEN c;\n"
       "  FETCH c INTO v;\n"
       "  CLOSE c;\n"
       "  DECLARE v CONSTANT NUMBER := 2; BEGIN p_out := v; END;\n"
       "  p_out := v;\n"
       "  IF v IS NULL THEN RAISE e_none; END IF;\n"
       "EXCEPTION WHEN e_none THEN p_out := 0;\n"
       "END;\n/\n",
       {{1,
         "1/0 Q PROCEDURE DEFINITION @2:18\n"
         "2/1 P_ID FORMAL IN DECLARATION @2:20\n"
         "3/1 P_OUT FORMAL OUT DECLARATION @2:36\n"
         "4/1 C CURSOR DEFINITION @3:10\n"
         "5/4 SELECT @3:15\n"
         "6/5 EMP TABLE REFERENCE @3:30\n"
         "7/5 ID COLUMN REFERENCE @3:22\n"
         "8/5 ID COLUMN REFERENCE @3:40\n"
         "9/5 P_ID FORMAL IN REFERENCE @3:45\n"
         "10/1 V VARIABLE DECLARATION @4:3\n"
         "11/1 E_NONE EXCEPTION DECLARATION @5:3\n"
         "12/1 OPEN @7:3\n"
         "13/12 C CURSOR REFERENCE @7:8\n"
         "14/1 FETCH @8:3\n"
         "15/14 C CURSOR REFERENCE @8:9\n"
         "16/14 V VARIABLE ASSIGNMENT @8:16\n"
         "17/1 CLOSE @9:3\n"
         "18/17 C CURSOR REFERENCE @9:9\n"
         "19/1 V CONSTANT DECLARATION @10:11\n"
         "20/1 P_OUT FORMAL OUT ASSIGNMENT @10:41\n"
         "21/1 V CONSTANT REFERENCE @10:50\n"
         "22/1 P_OUT FORMAL OUT ASSIGNMENT @11:3\n"
         "23/1 V VARIABLE REFERENCE @11:12\n"
         "24/1 V VARIABLE REFERENCE @12:6\n"
         "25/1 E_NONE EXCEPTION REFERENCE @12:27\n"
         "26/1 E_NONE EXCEPTION REFERENCE @13:16\n"
         "27/1 P_OUT FORMAL OUT ASSIGNMENT @13:28\n"}}},
      {"N9 dynamic SQL",
       "DECLARE n NUMBER; k NUMBER := 1; s VARCHAR2(100) := 'SELECT :x FROM dual'; BEGIN EXECUTE "
       "IMMEDIATE s INTO n USING k; END;\n/\n",
       {{0,
         "1/0 N VARIABLE DECLARATION @1:9\n"
         "2/0 K VARIABLE DECLARATION @1:19\n"
         "3/0 S VARIABLE DECLARATION @1:34\n"
         "4/0 EXECUTE IMMEDIATE @1:82\n"
         "5/4 S VARIABLE REFERENCE @1:100\n"
         "6/4 N VARIABLE ASSIGNMENT @1:107\n"
         "7/4 K VARIABLE REFERENCE @1:115\n"}}},
      {"N10 sequences, public synonyms, catalog functions",
       "CREATE TABLE emp (id NUMBER);\nCREATE SEQUENCE emp_seq;\n"
       "CREATE PUBLIC SYNONYM staff FOR app.emp;\n"
       "CREATE FUNCTION next_id RETURN NUMBER IS BEGIN RETURN emp_seq.NEXTVAL; END;\n/\n"
       "INSERT INTO staff (id) VALUES (next_id);\n",
       {{3,
         "1/0 NEXT_ID FUNCTION DEFINITION @4:17\n"
         "2/1 EMP_SEQ SEQUENCE REFERENCE @4:55\n"},
        {4,
         "1/0 INSERT @6:1\n"
         "2/1 STAFF SYNONYM REFERENCE @6:13\n"
         "3/1 ID COLUMN REFERENCE @6:20\n"
         "4/1 NEXT_ID FUNCTION CALL @6:32\n"}}},
      {"N11 columns win; qualified locals",
       "CREATE TABLE emp (id NUMBER, name VARCHAR2(10));\n"
       "CREATE PROCEDURE r(name VARCHAR2) IS n NUMBER; BEGIN SELECT COUNT(*) INTO n FROM emp "
       "WHERE name = r.name AND x = 1; END;\n/\n",
       {{1,
         "1/0 R PROCEDURE DEFINITION @2:18\n"
         "2/1 NAME FORMAL IN DECLARATION @2:20\n"
         "3/1 N VARIABLE DECLARATION @2:38\n"
         "4/1 SELECT @2:54\n"
         "5/4 EMP TABLE REFERENCE @2:82\n"
         "6/4 N VARIABLE ASSIGNMENT @2:75\n"
         "7/4 NAME COLUMN REFERENCE @2:92\n"
         "8/4 R PROCEDURE REFERENCE @2:99\n"
         "9/4 NAME FORMAL IN REFERENCE @2:101\n"}}},
      {"N12 triggers",
       "CREATE TABLE emp (id NUMBER);\nCREATE SEQUENCE emp_seq;\n"
       "CREATE TRIGGER trg BEFORE INSERT ON emp FOR EACH ROW BEGIN :new.id := emp_seq.NEXTVAL; "
       "END;\n/\n",
       {{2,
         "1/0 TRG TRIGGER DEFINITION @3:16\n"
         "2/1 EMP TABLE REFERENCE @3:37\n"
         "3/1 EMP_SEQ SEQUENCE REFERENCE @3:71\n"}}},
      {"N13 labels and iterators",
       "BEGIN <<outer>> FOR i IN 1..3 LOOP EXIT outer WHEN i > 2; END LOOP; END;\n/\n",
       {{0,
         "1/0 OUTER LABEL DECLARATION @1:9\n"
         "2/0 I ITERATOR DECLARATION @1:21\n"
         "3/0 OUTER LABEL REFERENCE @1:41\n"
         "4/0 I ITERATOR REFERENCE @1:52\n"}}},
      {"N14 an unknown table blocks variables",
       "CREATE TABLE emp (id NUMBER);\n"
       "CREATE PROCEDURE s(p NUMBER) IS BEGIN DELETE FROM other WHERE id = p; DELETE FROM emp "
       "WHERE id = p; END;\n/\n",
       {{1,
         "1/0 S PROCEDURE DEFINITION @2:18\n"
         "2/1 P FORMAL IN DECLARATION @2:20\n"
         "3/1 DELETE @2:39\n"
         "4/1 DELETE @2:71\n"
         "5/4 EMP TABLE REFERENCE @2:83\n"
         "6/4 ID COLUMN REFERENCE @2:93\n"
         "7/4 P FORMAL IN REFERENCE @2:98\n"}}},
      {"N15 a specification, in order",
       "CREATE PACKAGE pay AS c CONSTANT NUMBER := 1; v NUMBER := c; PROCEDURE p(x IN OUT "
       "NUMBER); END;\n/\n",
       {{0,
         "1/0 PAY PACKAGE DECLARATION @1:16\n"
         "2/1 C CONSTANT DECLARATION @1:23\n"
         "3/1 V VARIABLE DECLARATION @1:47\n"
         "4/1 C CONSTANT REFERENCE @1:59\n"
         "5/1 P PROCEDURE DECLARATION @1:72\n"
         "6/5 X FORMAL IN OUT DECLARATION @1:74\n"}}},
  };
  for (const ScriptCase& test : cases) check(test);
}

}  // namespace
}  // namespace veltrane::resolve
