// Scripts in, every statement's records out in compact form, compared whole.

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "resolve/package_spec.hpp"
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

TEST(ResolveRecords, ScriptsResolveAgainstTheirOwnObjectsScopesAndOwners) {
  const std::vector<ScriptCase> cases = {
      {"columns of a catalog table",
       "CREATE TABLE emp (id NUMBER, ename VARCHAR2(20));\nSELECT ename, e2 FROM emp;\n",
       {{0, ""},
        {1,
         "1/0 SELECT @2:1\n"
         "2/1 EMP TABLE REFERENCE @2:23\n"
         "3/1 ENAME COLUMN REFERENCE @2:8\n"}}},
      {"views, COMMIT and a SELECT of nothing known",
       "CREATE TABLE emp (id NUMBER);\nCREATE VIEW v AS SELECT id FROM emp;\nCOMMIT;\n"
       "SELECT 1 FROM dual;\n",
       {{1,
         "1/0 SELECT @2:18\n"
         "2/1 EMP TABLE REFERENCE @2:33\n"
         "3/1 ID COLUMN REFERENCE @2:25\n"},
        {2, "1/0 COMMIT @3:1\n"},
        {3, "1/0 SELECT @4:1\n"}}},
      {"a body before its package, and pkg.member",
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
      {"the later package wins",
       "CREATE PACKAGE pay AS a NUMBER; END;\n/\nCREATE PACKAGE pay AS b NUMBER; END;\n/\n"
       "CREATE PACKAGE BODY pay AS PROCEDURE p IS v NUMBER; BEGIN v := a + b; END; END;\n/\n",
       {{2,
         "1/0 PAY PACKAGE DEFINITION @5:21\n"
         "2/1 P PROCEDURE DEFINITION @5:38\n"
         "3/2 V VARIABLE DECLARATION @5:43\n"
         "4/2 V VARIABLE ASSIGNMENT @5:59\n"
         "5/2 B VARIABLE REFERENCE @5:68\n"}}},
      {"owners",
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
      {"default owners",
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
      {"scopes, cursors, blocks, handlers",
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
      {"dynamic SQL",
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
      {"sequences, public synonyms, catalog functions",
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
      {"columns win; qualified locals",
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
      {"triggers",
       "CREATE TABLE emp (id NUMBER);\nCREATE SEQUENCE emp_seq;\n"
       "CREATE TRIGGER trg BEFORE INSERT ON emp FOR EACH ROW BEGIN :new.id := emp_seq.NEXTVAL; "
       "END;\n/\n",
       {{2,
         "1/0 TRG TRIGGER DEFINITION @3:16\n"
         "2/1 EMP TABLE REFERENCE @3:37\n"
         "3/1 EMP_SEQ SEQUENCE REFERENCE @3:71\n"}}},
      {"labels and iterators",
       "BEGIN <<outer>> FOR i IN 1..3 LOOP EXIT outer WHEN i > 2; END LOOP; END;\n/\n",
       {{0,
         "1/0 OUTER LABEL DECLARATION @1:9\n"
         "2/0 I ITERATOR DECLARATION @1:21\n"
         "3/0 OUTER LABEL REFERENCE @1:41\n"
         "4/0 I ITERATOR REFERENCE @1:52\n"}}},
      {"a variable beside an unknown table",
       "CREATE TABLE emp (id NUMBER);\n"
       "CREATE PROCEDURE s(p NUMBER) IS BEGIN DELETE FROM other WHERE id = p; DELETE FROM emp "
       "WHERE id = p; END;\n/\n",
       {{1,
         "1/0 S PROCEDURE DEFINITION @2:18\n"
         "2/1 P FORMAL IN DECLARATION @2:20\n"
         "3/1 DELETE @2:39\n"
         "4/3 P FORMAL IN REFERENCE @2:68\n"
         "5/1 DELETE @2:71\n"
         "6/5 EMP TABLE REFERENCE @2:83\n"
         "7/5 ID COLUMN REFERENCE @2:93\n"
         "8/5 P FORMAL IN REFERENCE @2:98\n"}}},
      {"a package, in order",
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

// Column search against table aliases, select-list aliases, set operators and WITH;
// DML frames; the type rule, dynamic SQL, package members, labels and catalog routines;
// the unit kinds.
TEST(ResolveRecords, ScopesAndStatements) {
  const std::vector<ScriptCase> cases = {
      {"queries: aliases, set operators, WITH, FOR UPDATE",
       "CREATE TABLE emp (id NUMBER, name VARCHAR2(10), dept_id NUMBER);\n"
       "CREATE TABLE dept (id NUMBER, dname VARCHAR2(10));\n"
       "SELECT e.name AS n, dname, COUNT(*) cnt FROM emp e JOIN dept d ON e.dept_id = d.id GROUP "
       "BY n, dname HAVING cnt > 1 ORDER BY n, e.id;\n"
       "SELECT name FROM emp UNION ALL SELECT dname FROM dept ORDER BY name;\n"
       "WITH w AS (SELECT id FROM emp), w2 AS (SELECT id FROM w) SELECT w2.id, dname FROM w2, "
       "dept;\n"
       "SELECT * FROM emp, hr.zz WHERE zz.a = 1 AND id = 2 FOR UPDATE OF name;\n",
       {{2,
         "1/0 SELECT @3:1\n"
         "2/1 EMP TABLE REFERENCE @3:46\n"
         "3/1 DEPT TABLE REFERENCE @3:57\n"
         "4/1 DEPT_ID COLUMN REFERENCE @3:69\n"
         "5/1 ID COLUMN REFERENCE @3:81\n"
         "6/1 NAME COLUMN REFERENCE @3:10\n"
         "7/1 DNAME COLUMN REFERENCE @3:21\n"
         "8/1 DNAME COLUMN REFERENCE @3:96\n"
         "9/1 ID COLUMN REFERENCE @3:131\n"},
        {3,
         "1/0 SELECT @4:1\n"
         "2/1 EMP TABLE REFERENCE @4:18\n"
         "3/1 NAME COLUMN REFERENCE @4:8\n"
         "4/1 DEPT TABLE REFERENCE @4:50\n"
         "5/1 DNAME COLUMN REFERENCE @4:39\n"},
        {4,
         "1/0 SELECT @5:1\n"
         "2/1 EMP TABLE REFERENCE @5:27\n"
         "3/1 ID COLUMN REFERENCE @5:19\n"
         "4/1 DEPT TABLE REFERENCE @5:87\n"
         "5/1 DNAME COLUMN REFERENCE @5:72\n"},
        {5,
         "1/0 SELECT @6:1\n"
         "2/1 EMP TABLE REFERENCE @6:15\n"
         "3/1 ID COLUMN REFERENCE @6:45\n"
         "4/1 NAME COLUMN REFERENCE @6:66\n"}}},
      {"DML: MERGE, multi-table INSERT, correlated UPDATE",
       "CREATE TABLE emp (id NUMBER, name VARCHAR2(10));\n"
       "CREATE TABLE dept (id NUMBER, dname VARCHAR2(10));\n"
       "CREATE PACKAGE pk AS g NUMBER; END;\n"
       "/\n"
       "MERGE INTO emp t USING dept s ON (t.id = s.id) WHEN MATCHED THEN UPDATE SET t.name = "
       "s.dname WHEN NOT MATCHED THEN INSERT (id, name) VALUES (s.id, s.dname);\n"
       "INSERT ALL WHEN id > 1 THEN INTO emp (id) VALUES (id) ELSE INTO dept (id) VALUES (pk.g) "
       "SELECT id FROM emp;\n"
       "UPDATE emp SET name = (SELECT dname FROM dept WHERE dept.id = emp.id) WHERE id = 1 "
       "RETURNING name INTO :x;\n",
       {{2,
         "1/0 PK PACKAGE DECLARATION @3:16\n"
         "2/1 G VARIABLE DECLARATION @3:22\n"},
        {3,
         "1/0 MERGE @5:1\n"
         "2/1 EMP TABLE REFERENCE @5:12\n"
         "3/1 DEPT TABLE REFERENCE @5:24\n"
         "4/1 ID COLUMN REFERENCE @5:37\n"
         "5/1 ID COLUMN REFERENCE @5:44\n"
         "6/1 NAME COLUMN REFERENCE @5:79\n"
         "7/1 DNAME COLUMN REFERENCE @5:88\n"
         "8/1 ID COLUMN REFERENCE @5:124\n"
         "9/1 NAME COLUMN REFERENCE @5:128\n"
         "10/1 ID COLUMN REFERENCE @5:144\n"
         "11/1 DNAME COLUMN REFERENCE @5:150\n"},
        {4,
         "1/0 INSERT @6:1\n"
         "2/1 EMP TABLE REFERENCE @6:34\n"
         "3/1 ID COLUMN REFERENCE @6:39\n"
         "4/1 DEPT TABLE REFERENCE @6:65\n"
         "5/1 ID COLUMN REFERENCE @6:71\n"
         "6/1 PK PACKAGE REFERENCE @6:83\n"
         "7/1 G VARIABLE REFERENCE @6:86\n"
         "8/1 EMP TABLE REFERENCE @6:104\n"
         "9/1 ID COLUMN REFERENCE @6:96\n"},
        {5,
         "1/0 UPDATE @7:1\n"
         "2/1 EMP TABLE REFERENCE @7:8\n"
         "3/1 NAME COLUMN REFERENCE @7:16\n"
         "4/1 DEPT TABLE REFERENCE @7:42\n"
         "5/1 DNAME COLUMN REFERENCE @7:31\n"
         "6/1 ID COLUMN REFERENCE @7:58\n"
         "7/1 ID COLUMN REFERENCE @7:67\n"
         "8/1 ID COLUMN REFERENCE @7:77\n"
         "9/1 NAME COLUMN REFERENCE @7:94\n"}}},
      // MERGE's INSERT column list and the left side of its SET name columns of the target
      // only: the first MERGE's INSERT (id, ...) is ACCT's ID, although the source query
      // gives an ID too; AMT, a column of the source only, gets no record on the left of
      // SET or in INSERT (...), nor does anything there when the target is not known.
      {"MERGE: the INSERT columns and the SET left sides are the target's",
       "CREATE TABLE acct (id NUMBER, balance NUMBER, note VARCHAR2(10));\n"
       "CREATE TABLE stage (id NUMBER, amt NUMBER, balance NUMBER);\n"
       "MERGE INTO acct a USING (SELECT id, amt FROM stage) s ON (a.id = s.id) WHEN MATCHED "
       "THEN UPDATE SET a.balance = s.amt, note = 'x' WHEN NOT MATCHED THEN INSERT (id, balance) "
       "VALUES (s.id, s.amt);\n"
       "MERGE INTO acct a USING stage s ON (a.id = s.id) WHEN MATCHED THEN UPDATE SET balance = "
       "amt, amt = 1 WHEN NOT MATCHED THEN INSERT (a.id, amt) VALUES (s.id, balance);\n"
       "MERGE INTO nowhere n USING stage s ON (n.id = s.id) WHEN MATCHED THEN UPDATE SET amt = "
       "s.amt WHEN NOT MATCHED THEN INSERT (id, amt) VALUES (s.id, s.amt);\n",
       {{2,
         "1/0 MERGE @3:1\n"
         "2/1 ACCT TABLE REFERENCE @3:12\n"
         "3/1 STAGE TABLE REFERENCE @3:46\n"
         "4/1 ID COLUMN REFERENCE @3:33\n"
         "5/1 AMT COLUMN REFERENCE @3:37\n"
         "6/1 ID COLUMN REFERENCE @3:61\n"
         "7/1 BALANCE COLUMN REFERENCE @3:103\n"
         "8/1 NOTE COLUMN REFERENCE @3:120\n"
         "9/1 ID COLUMN REFERENCE @3:161\n"
         "10/1 BALANCE COLUMN REFERENCE @3:165\n"},
        {3,
         "1/0 MERGE @4:1\n"
         "2/1 ACCT TABLE REFERENCE @4:12\n"
         "3/1 STAGE TABLE REFERENCE @4:25\n"
         "4/1 ID COLUMN REFERENCE @4:39\n"
         "5/1 ID COLUMN REFERENCE @4:46\n"
         "6/1 BALANCE COLUMN REFERENCE @4:79\n"
         "7/1 AMT COLUMN REFERENCE @4:89\n"
         "8/1 ID COLUMN REFERENCE @4:134\n"
         "9/1 ID COLUMN REFERENCE @4:153\n"
         "10/1 BALANCE COLUMN REFERENCE @4:157\n"},
        {4,
         "1/0 MERGE @5:1\n"
         "2/1 STAGE TABLE REFERENCE @5:28\n"
         "3/1 ID COLUMN REFERENCE @5:49\n"
         "4/1 AMT COLUMN REFERENCE @5:90\n"
         "5/1 ID COLUMN REFERENCE @5:143\n"
         "6/1 AMT COLUMN REFERENCE @5:149\n"}}},
      {"PL/SQL: types, dynamic SQL, packages, labels, catalog routines",
       "CREATE TABLE emp (id NUMBER, name VARCHAR2(10));\n"
       "CREATE SYNONYM run_it FOR app.proc;\n"
       "CREATE PROCEDURE proc IS BEGIN NULL; END;\n"
       "/\n"
       "CREATE PACKAGE pk AS TYPE rec_t IS RECORD (a NUMBER); TYPE tab_t IS TABLE OF NUMBER INDEX "
       "BY VARCHAR2(10); g NUMBER; FUNCTION f(x NUMBER) RETURN NUMBER; END;\n"
       "/\n"
       "DECLARE v emp.name%TYPE; r emp%ROWTYPE; t pk.tab_t; q pk.rec_t; w emp.nope%TYPE; s "
       "pk.g%TYPE; n NUMBER(5); BEGIN\n"
       "  EXECUTE IMMEDIATE 'x' USING IN v, OUT r, IN OUT t;\n"
       "  v := pk.f(1) + app.pk.f(2) + pk.nothing;\n"
       "  <<blk>> DECLARE v NUMBER; BEGIN blk.v := 1; GOTO later; END blk;\n"
       "  <<later>> run_it; app.proc;\n"
       "END;\n"
       "/\n",
       {{2, "1/0 PROC PROCEDURE DEFINITION @3:18\n"},
        {3,
         "1/0 PK PACKAGE DECLARATION @5:16\n"
         "2/1 REC_T RECORD DECLARATION @5:27\n"
         "3/1 TAB_T ASSOCIATIVE ARRAY DECLARATION @5:60\n"
         "4/1 G VARIABLE DECLARATION @5:108\n"
         "5/1 F FUNCTION DECLARATION @5:127\n"
         "6/5 X FORMAL IN DECLARATION @5:129\n"},
        {4,
         "1/0 V VARIABLE DECLARATION @7:9\n"
         "2/0 EMP TABLE REFERENCE @7:11\n"
         "3/0 NAME COLUMN REFERENCE @7:15\n"
         "4/0 R VARIABLE DECLARATION @7:26\n"
         "5/0 EMP TABLE REFERENCE @7:28\n"
         "6/0 T VARIABLE DECLARATION @7:41\n"
         "7/0 PK PACKAGE REFERENCE @7:43\n"
         "8/0 TAB_T ASSOCIATIVE ARRAY REFERENCE @7:46\n"
         "9/0 Q VARIABLE DECLARATION @7:53\n"
         "10/0 PK PACKAGE REFERENCE @7:55\n"
         "11/0 REC_T RECORD REFERENCE @7:58\n"
         "12/0 W VARIABLE DECLARATION @7:65\n"
         "13/0 EMP TABLE REFERENCE @7:67\n"
         "14/0 S VARIABLE DECLARATION @7:82\n"
         "15/0 PK PACKAGE REFERENCE @7:84\n"
         "16/0 G VARIABLE REFERENCE @7:87\n"
         "17/0 N VARIABLE DECLARATION @7:95\n"
         "18/0 EXECUTE IMMEDIATE @8:3\n"
         "19/18 V VARIABLE REFERENCE @8:34\n"
         "20/18 R VARIABLE ASSIGNMENT @8:41\n"
         "21/18 T VARIABLE ASSIGNMENT @8:51\n"
         "22/0 V VARIABLE ASSIGNMENT @9:3\n"
         "23/0 PK PACKAGE REFERENCE @9:8\n"
         "24/0 F FUNCTION CALL @9:11\n"
         "25/0 PK PACKAGE REFERENCE @9:22\n"
         "26/0 F FUNCTION CALL @9:25\n"
         "27/0 PK PACKAGE REFERENCE @9:32\n"
         "28/0 BLK LABEL DECLARATION @10:5\n"
         "29/0 V VARIABLE DECLARATION @10:19\n"
         "30/0 BLK LABEL REFERENCE @10:35\n"
         "31/0 V VARIABLE ASSIGNMENT @10:39\n"
         "32/0 LATER LABEL DECLARATION @11:5\n"
         "33/0 RUN_IT SYNONYM CALL @11:13\n"
         "34/0 PROC PROCEDURE CALL @11:25\n"}}},
      {"units: trigger CALL, FOLLOWS, compound triggers, WITH FUNCTION, types",
       "CREATE TABLE emp (id NUMBER);\n"
       "CREATE PACKAGE pk AS PROCEDURE f; END;\n"
       "/\n"
       "CREATE TRIGGER t2 AFTER LOGON ON DATABASE CALL pk.f\n"
       "/\n"
       "CREATE TRIGGER ct FOR UPDATE ON emp FOLLOWS other_trg COMPOUND TRIGGER\n"
       "  g NUMBER;\n"
       "  BEFORE STATEMENT IS BEGIN g := 0; END BEFORE STATEMENT;\n"
       "END ct;\n"
       "/\n"
       "WITH FUNCTION f2(x NUMBER) RETURN NUMBER IS BEGIN RETURN x; END;\n"
       "SELECT f2(id) FROM emp\n"
       "/\n"
       "CREATE TYPE nl AS TABLE OF NUMBER;\n"
       "/\n"
       "CREATE TYPE va AS VARRAY(3) OF NUMBER;\n"
       "/\n"
       "CREATE TYPE BODY pt AS MEMBER FUNCTION dist RETURN NUMBER IS BEGIN RETURN x; END; END;\n"
       "/\n",
       {{1,
         "1/0 PK PACKAGE DECLARATION @2:16\n"
         "2/1 F PROCEDURE DECLARATION @2:32\n"},
        {2,
         "1/0 T2 TRIGGER DEFINITION @4:16\n"
         "2/1 PK PACKAGE REFERENCE @4:48\n"
         "3/1 F PROCEDURE CALL @4:51\n"},
        {3,
         "1/0 CT TRIGGER DEFINITION @6:16\n"
         "2/1 EMP TABLE REFERENCE @6:33\n"
         "3/1 G VARIABLE DECLARATION @7:3\n"
         "4/1 G VARIABLE ASSIGNMENT @8:29\n"},
        {4,
         "1/0 SELECT @11:1\n"
         "2/1 F2 FUNCTION DEFINITION @11:15\n"
         "3/2 X FORMAL IN DECLARATION @11:18\n"
         "4/2 X FORMAL IN REFERENCE @11:58\n"
         "5/1 EMP TABLE REFERENCE @12:20\n"
         "6/1 F2 FUNCTION CALL @12:8\n"
         "7/1 ID COLUMN REFERENCE @12:11\n"},
        {5, "1/0 NL NESTED TABLE DECLARATION @14:13\n"},
        {6, "1/0 VA VARRAY DECLARATION @16:13\n"},
        {7,
         "1/0 PT OBJECT DEFINITION @18:18\n"
         "2/1 DIST FUNCTION DEFINITION @18:40\n"}}},
      // A wrapped unit: its name's record and nothing from the wrapped text.
      {"wrapped units",
       "CREATE OR REPLACE PACKAGE pw WRAPPED\na000000\n1\nabcd\n9\n8e 9b\nQRh4+Yv0/Tn==\n/\n"
       "CREATE PACKAGE BODY app.pw wrapped\na000000\n1\nabcd\nb\n2c1 1a4\n/yP8x+Q0=\n/\n"
       "CREATE PROCEDURE \"PR\" WRAPPED\na000000\n1\nabcd\n7\n5e 8e\nuhY5/Wm0+Tn=\n/\n"
       "CREATE FUNCTION fw WRAPPED\na000000\n1\nabcd\n8\n4d 7a\nkLpZ+1Lr/8M=\n/\n"
       "CREATE TYPE tw WRAPPED\na000000\n1\nabcd\nd\n5b 7d\nOb4+Q6LU/xJ8==\n/\n"
       "CREATE TYPE BODY tw WRAPPED\na000000\n1\nabcd\ne\n71 9a\nx3Mw/5tZ+yn0=\n/\n",
       {{0, "1/0 PW PACKAGE DECLARATION @1:27\n"},
        {1, "1/0 PW PACKAGE DEFINITION @9:25\n"},
        {2, "1/0 PR PROCEDURE DEFINITION @17:18\n"},
        {3, "1/0 FW FUNCTION DEFINITION @25:17\n"},
        {4, "1/0 TW OBJECT DECLARATION @33:13\n"},
        {5, "1/0 TW OBJECT DEFINITION @41:18\n"}}},

      {"the error logging table is no column; its tag is an expression",
       "CREATE TABLE t (a NUMBER);\n"
       "CREATE PROCEDURE p(v_tag VARCHAR2) IS BEGIN INSERT INTO t (a) VALUES (1) LOG ERRORS INTO "
       "err$_t (v_tag) REJECT LIMIT 10; END;\n/\n",
       {{1,
         "1/0 P PROCEDURE DEFINITION @2:18\n"
         "2/1 V_TAG FORMAL IN DECLARATION @2:20\n"
         "3/1 INSERT @2:45\n"
         "4/3 T TABLE REFERENCE @2:57\n"
         "5/3 A COLUMN REFERENCE @2:60\n"
         "6/3 V_TAG FORMAL IN REFERENCE @2:98\n"}}},
      // The table of a PIVOT or ONLY item gets its record; the item hides its columns, so
      // K is never taken for the parameter.
      {"PIVOT and ONLY items",
       "CREATE TABLE s (k NUMBER, v NUMBER);\n"
       "CREATE PROCEDURE p(k NUMBER) IS BEGIN FOR r IN (SELECT * FROM s PIVOT (SUM(v) FOR k IN "
       "(1 AS one)) WHERE one > k) LOOP NULL; END LOOP; FOR r IN (SELECT * FROM ONLY (s) WHERE v "
       "= k) LOOP NULL; END LOOP; END;\n/\n",
       {{1,
         "1/0 P PROCEDURE DEFINITION @2:18\n"
         "2/1 K FORMAL IN DECLARATION @2:20\n"
         "3/1 R ITERATOR DECLARATION @2:43\n"
         "4/1 SELECT @2:49\n"
         "5/4 S TABLE REFERENCE @2:63\n"
         "6/1 R ITERATOR DECLARATION @2:140\n"
         "7/1 SELECT @2:146\n"
         "8/7 S TABLE REFERENCE @2:166\n"}}},
      {"a label before an anonymous block",
       "<<outer>> DECLARE x NUMBER; BEGIN FOR i IN 1..2 LOOP EXIT outer; outer.x := i; END LOOP; "
       "END outer;\n/\n",
       {{0,
         "1/0 OUTER LABEL DECLARATION @1:3\n"
         "2/0 X VARIABLE DECLARATION @1:19\n"
         "3/0 I ITERATOR DECLARATION @1:39\n"
         "4/0 OUTER LABEL REFERENCE @1:59\n"
         "5/0 OUTER LABEL REFERENCE @1:66\n"
         "6/0 X VARIABLE ASSIGNMENT @1:72\n"
         "7/0 I ITERATOR REFERENCE @1:77\n"}}},
  };
  for (const ScriptCase& test : cases) check(test);
}

// PL/SQL names inside queries over tables the script does not create, where only columns
// may stand, and references to the object and collection types of the catalog.
TEST(ResolveRecords, NamesBesideUnknownTablesAndCatalogTypes) {
  const std::vector<ScriptCase> cases = {
      {"SELECT … INTO … FROM dual",
       "CREATE PROCEDURE p(a NUMBER) IS v NUMBER; BEGIN SELECT a INTO v FROM dual; END;\n/\n",
       {{0,
         "1/0 P PROCEDURE DEFINITION @1:18\n"
         "2/1 A FORMAL IN DECLARATION @1:20\n"
         "3/1 V VARIABLE DECLARATION @1:33\n"
         "4/1 SELECT @1:49\n"
         "5/4 A FORMAL IN REFERENCE @1:56\n"
         "6/4 V VARIABLE ASSIGNMENT @1:63\n"}}},
      {"positions where only a column stands",
       "CREATE PROCEDURE p(a NUMBER) IS id NUMBER; v NUMBER; BEGIN\n"
       "  UPDATE other SET id = v WHERE k = a;\n"
       "  INSERT INTO other (id) VALUES (v);\n"
       "  MERGE INTO other o USING dual ON (1 = 1) WHEN MATCHED THEN UPDATE SET id = v, o.id = a "
       "WHEN NOT MATCHED THEN INSERT (id) VALUES (a);\n"
       "END;\n/\n",
       {{0,
         "1/0 P PROCEDURE DEFINITION @1:18\n"
         "2/1 A FORMAL IN DECLARATION @1:20\n"
         "3/1 ID VARIABLE DECLARATION @1:33\n"
         "4/1 V VARIABLE DECLARATION @1:44\n"
         "5/1 UPDATE @2:3\n"
         "6/5 V VARIABLE REFERENCE @2:25\n"
         "7/5 A FORMAL IN REFERENCE @2:37\n"
         "8/1 INSERT @3:3\n"
         "9/8 V VARIABLE REFERENCE @3:34\n"
         "10/1 MERGE @4:3\n"
         "11/10 V VARIABLE REFERENCE @4:78\n"
         "12/10 A FORMAL IN REFERENCE @4:88\n"
         "13/10 A FORMAL IN REFERENCE @4:132\n"}}},
      {"a subquery's column alias is no PL/SQL name",
       "CREATE PROCEDURE p(a NUMBER) IS BEGIN FOR r IN (SELECT x FROM (SELECT 1 x FROM dual) "
       "WHERE x = a) LOOP NULL; END LOOP; END;\n/\n",
       {{0,
         "1/0 P PROCEDURE DEFINITION @1:18\n"
         "2/1 A FORMAL IN DECLARATION @1:20\n"
         "3/1 R ITERATOR DECLARATION @1:43\n"
         "4/1 SELECT @1:49\n"
         "5/4 A FORMAL IN REFERENCE @1:96\n"}}},
      {"the columns of inline views, WITH queries and set operators are no PL/SQL names",
       "CREATE PROCEDURE p(a NUMBER) IS x NUMBER; y NUMBER; BEGIN\n"
       "  FOR r IN (SELECT x, y FROM (SELECT 1 x FROM dual) WHERE x = a) LOOP NULL; END LOOP;\n"
       "  FOR r IN (WITH w (x) AS (SELECT 1 FROM dual), v AS (SELECT x, 2 FROM w) SELECT x, y "
       "FROM v) LOOP NULL; END LOOP;\n"
       "  FOR r IN (SELECT 1 x FROM dual UNION SELECT a FROM dual ORDER BY x) LOOP NULL; END "
       "LOOP;\n"
       "END;\n/\n",
       {{0,
         "1/0 P PROCEDURE DEFINITION @1:18\n"
         "2/1 A FORMAL IN DECLARATION @1:20\n"
         "3/1 X VARIABLE DECLARATION @1:33\n"
         "4/1 Y VARIABLE DECLARATION @1:43\n"
         "5/1 R ITERATOR DECLARATION @2:7\n"
         "6/1 SELECT @2:13\n"
         "7/6 Y VARIABLE REFERENCE @2:23\n"
         "8/6 A FORMAL IN REFERENCE @2:63\n"
         "9/1 R ITERATOR DECLARATION @3:7\n"
         "10/1 SELECT @3:13\n"
         "11/10 Y VARIABLE REFERENCE @3:85\n"
         "12/1 R ITERATOR DECLARATION @4:7\n"
         "13/1 SELECT @4:13\n"
         "14/13 A FORMAL IN REFERENCE @4:47\n"}}},
      {"object and collection types",
       "CREATE TYPE ot AS OBJECT (a NUMBER);\n/\n"
       "CREATE TYPE ntt AS TABLE OF ot;\n/\n"
       "CREATE PROCEDURE p(x ot) IS v ntt; BEGIN NULL; END;\n/\n",
       {{1,
         "1/0 NTT NESTED TABLE DECLARATION @3:13\n"
         "2/1 OT OBJECT REFERENCE @3:29\n"},
        {2,
         "1/0 P PROCEDURE DEFINITION @5:18\n"
         "2/1 X FORMAL IN DECLARATION @5:20\n"
         "3/1 OT OBJECT REFERENCE @5:22\n"
         "4/1 V VARIABLE DECLARATION @5:29\n"
         "5/1 NTT NESTED TABLE REFERENCE @5:31\n"}}},
      {"types through owners and synonyms, as attributes and in CAST",
       "CREATE TYPE hr.va AS VARRAY(3) OF NUMBER;\n/\n"
       "CREATE SYNONYM syn_va FOR hr.va;\n"
       "CREATE TYPE pt AS OBJECT (a hr.va, b syn_va, MEMBER FUNCTION f(q pt) RETURN pt);\n/\n"
       "SELECT CAST(NULL AS pt) FROM dual;\n",
       {{2,
         "1/0 PT OBJECT DECLARATION @4:13\n"
         "2/1 VA VARRAY REFERENCE @4:32\n"
         "3/1 SYN_VA SYNONYM REFERENCE @4:38\n"},
        {3,
         "1/0 SELECT @6:1\n"
         "2/1 PT OBJECT REFERENCE @6:21\n"}}},
      {"a query over an object view resolves the type's attributes",
       "CREATE TYPE ot AS OBJECT (a NUMBER, b NUMBER);\n/\n"
       "CREATE VIEW ov OF ot WITH OBJECT IDENTIFIER (a) AS SELECT 1 x, 2 y FROM dual;\n"
       "SELECT a, x FROM ov;\n",
       {{2,
         "1/0 SELECT @4:1\n"
         "2/1 OV VIEW REFERENCE @4:18\n"
         "3/1 A COLUMN REFERENCE @4:8\n"}}},
  };
  for (const ScriptCase& test : cases) check(test);
}

// A record's start and end are its name token's, also for a quoted name and for a name
// whose normal form is longer or shorter than its text.
TEST(ResolveRecords, StartAndEndAreTheNameToken) {
  struct Case {
    std::string_view name;
    std::string_view script;
    std::vector<std::tuple<std::string_view, uint32_t, uint32_t>> records;
  };
  const std::vector<Case> cases = {
      {"quoted",
       "DECLARE \"My Var\" NUMBER; BEGIN \"My Var\" := 1; END;\n/\n",
       {{"My Var", 8, 16}, {"My Var", 31, 39}}},
      {"dotless i", "DECLARE x\u0131 NUMBER; BEGIN NULL; END;\n/\n", {{"XI", 8, 11}}},
      {"sharp s",
       "DECLARE stra\u00dfe NUMBER; BEGIN stra\u00dfe := 1; END;\n/\n",
       {{"STRASSE", 8, 15}, {"STRASSE", 30, 37}}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const std::vector<test_support::ResolvedItem> items = test_support::resolve_script(test.script);
    ASSERT_EQ(items.size(), 1u);
    const std::vector<IdentifierRecord>& records = items[0].records.identifiers;
    ASSERT_EQ(records.size(), test.records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i].name, std::get<0>(test.records[i]));
      EXPECT_EQ(records[i].start, std::get<1>(test.records[i]));
      EXPECT_EQ(records[i].end, std::get<2>(test.records[i]));
    }
  }
}

// The entries of a package specification, with their type words, and the first entry of a name.
TEST(ResolveRecords, IteratorsSizesAndLockedOrder) {
  const std::vector<ScriptCase> cases = {
      {"a qualified expression's iterator names its iterand",
       "DECLARE\n  TYPE t IS TABLE OF PLS_INTEGER INDEX BY PLS_INTEGER;\n  x t;\n"
       "  i NUMBER;\nBEGIN\n  x := t(FOR i IN 1..3 SEQUENCE => i);\n"
       "  x := t(FOR k IN VALUES OF x INDEX k => k * 2);\n  x := t(i);\nEND;\n/\n",
       {{0,
         "1/0 T INDEX TABLE DECLARATION @2:8\n"
         "2/0 X VARIABLE DECLARATION @3:3\n"
         "3/0 T INDEX TABLE REFERENCE @3:5\n"
         "4/0 I VARIABLE DECLARATION @4:3\n"
         "5/0 X VARIABLE ASSIGNMENT @6:3\n"
         "6/0 T INDEX TABLE REFERENCE @6:8\n"
         "7/0 I ITERATOR DECLARATION @6:14\n"
         "8/0 I ITERATOR REFERENCE @6:36\n"
         "9/0 X VARIABLE ASSIGNMENT @7:3\n"
         "10/0 T INDEX TABLE REFERENCE @7:8\n"
         "11/0 K ITERATOR DECLARATION @7:14\n"
         "12/0 X VARIABLE REFERENCE @7:29\n"
         "13/0 K ITERATOR REFERENCE @7:37\n"
         "14/0 K ITERATOR REFERENCE @7:42\n"
         "15/0 X VARIABLE ASSIGNMENT @8:3\n"
         "16/0 T INDEX TABLE REFERENCE @8:8\n"
         "17/0 I VARIABLE REFERENCE @8:10\n"}}},
      {"dynamic cursor and anchored iterand",
       "DECLARE\n  CURSOR c IS SELECT 1 a FROM dual;\n  s VARCHAR2(100);\nBEGIN\n"
       "  FOR r IN (EXECUTE IMMEDIATE s USING s) LOOP NULL; END LOOP;\n"
       "  FOR r c%ROWTYPE IN c LOOP s := r.a; END LOOP;\nEND;\n/\n",
       {{0,
         "1/0 C CURSOR DEFINITION @2:10\n"
         "2/1 SELECT @2:15\n"
         "3/0 S VARIABLE DECLARATION @3:3\n"
         "4/0 R ITERATOR DECLARATION @5:7\n"
         "5/0 EXECUTE IMMEDIATE @5:13\n"
         "6/5 S VARIABLE REFERENCE @5:31\n"
         "7/5 S VARIABLE REFERENCE @5:39\n"
         "8/0 R ITERATOR DECLARATION @6:7\n"
         "9/0 C CURSOR REFERENCE @6:9\n"
         "10/0 C CURSOR REFERENCE @6:22\n"
         "11/0 S VARIABLE ASSIGNMENT @6:29\n"
         "12/0 R ITERATOR REFERENCE @6:34\n"}}},
      {"typed iterands: their types as a declaration's",
       "CREATE TABLE emp (id NUMBER);\n"
       "CREATE PACKAGE pk AS TYPE r_t IS RECORD (a NUMBER); END;\n/\n"
       "DECLARE\n  TYPE t_rec IS RECORD (a NUMBER);\n"
       "  TYPE t_tab IS TABLE OF t_rec INDEX BY PLS_INTEGER;\n  x t_tab;\n  q VARCHAR2(9);\nBEGIN\n"
       "  FOR r t_rec IN (EXECUTE IMMEDIATE q) LOOP NULL; END LOOP;\n"
       "  FOR r MUTABLE emp%ROWTYPE IN (SELECT * FROM emp) LOOP NULL; END LOOP;\n"
       "  FOR i PLS_INTEGER, r IMMUTABLE pk.r_t IN PAIRS OF x LOOP NULL; END LOOP;\n"
       "  x := t_tab(FOR i emp.id%TYPE IN 1..2 SEQUENCE => NULL);\n"
       "  FOR r IN VALUES OF x LOOP NULL; END LOOP;\nEND;\n/\n",
       {{2,
         "1/0 T_REC RECORD DECLARATION @5:8\n"
         "2/0 T_TAB INDEX TABLE DECLARATION @6:8\n"
         "3/0 T_REC RECORD REFERENCE @6:26\n"
         "4/0 X VARIABLE DECLARATION @7:3\n"
         "5/0 T_TAB INDEX TABLE REFERENCE @7:5\n"
         "6/0 Q VARIABLE DECLARATION @8:3\n"
         "7/0 R ITERATOR DECLARATION @10:7\n"
         "8/0 T_REC RECORD REFERENCE @10:9\n"
         "9/0 EXECUTE IMMEDIATE @10:19\n"
         "10/9 Q VARIABLE REFERENCE @10:37\n"
         "11/0 R ITERATOR DECLARATION @11:7\n"
         "12/0 EMP TABLE REFERENCE @11:17\n"
         "13/0 SELECT @11:33\n"
         "14/13 EMP TABLE REFERENCE @11:47\n"
         "15/0 I ITERATOR DECLARATION @12:7\n"
         "16/0 R ITERATOR DECLARATION @12:22\n"
         "17/0 PK PACKAGE REFERENCE @12:34\n"
         "18/0 R_T RECORD REFERENCE @12:37\n"
         "19/0 X VARIABLE REFERENCE @12:53\n"
         "20/0 X VARIABLE ASSIGNMENT @13:3\n"
         "21/0 T_TAB INDEX TABLE REFERENCE @13:8\n"
         "22/0 I ITERATOR DECLARATION @13:18\n"
         "23/0 EMP TABLE REFERENCE @13:20\n"
         "24/0 ID COLUMN REFERENCE @13:24\n"
         "25/0 R ITERATOR DECLARATION @14:7\n"
         "26/0 X VARIABLE REFERENCE @14:22\n"}}},
      {"the second iterand is declared and seen in the body only",
       "DECLARE\n  TYPE t IS TABLE OF PLS_INTEGER INDEX BY PLS_INTEGER;\n  x t;\n"
       "  v NUMBER;\nBEGIN\n  FOR i t, j MUTABLE t IN PAIRS OF x LOOP v := j; END LOOP;\n"
       "  x := t(FOR k, v IN PAIRS OF x INDEX v => k);\n  v := 1;\nEND;\n/\n",
       {{0,
         "1/0 T INDEX TABLE DECLARATION @2:8\n"
         "2/0 X VARIABLE DECLARATION @3:3\n"
         "3/0 T INDEX TABLE REFERENCE @3:5\n"
         "4/0 V VARIABLE DECLARATION @4:3\n"
         "5/0 I ITERATOR DECLARATION @6:7\n"
         "6/0 T INDEX TABLE REFERENCE @6:9\n"
         "7/0 J ITERATOR DECLARATION @6:12\n"
         "8/0 T INDEX TABLE REFERENCE @6:22\n"
         "9/0 X VARIABLE REFERENCE @6:36\n"
         "10/0 V VARIABLE ASSIGNMENT @6:43\n"
         "11/0 J ITERATOR REFERENCE @6:48\n"
         "12/0 X VARIABLE ASSIGNMENT @7:3\n"
         "13/0 T INDEX TABLE REFERENCE @7:8\n"
         "14/0 K ITERATOR DECLARATION @7:14\n"
         "15/0 V ITERATOR DECLARATION @7:17\n"
         "16/0 X VARIABLE REFERENCE @7:31\n"
         "17/0 V ITERATOR REFERENCE @7:39\n"
         "18/0 K ITERATOR REFERENCE @7:44\n"
         "19/0 V VARIABLE ASSIGNMENT @8:3\n"}}},
      {"a constrained first iterand type, then the second iterand",
       "DECLARE\n  TYPE t IS TABLE OF NUMBER INDEX BY VARCHAR2(10);\n  x t;\nBEGIN\n"
       "  FOR k VARCHAR2(10), v NUMBER IN PAIRS OF x LOOP x(k) := v; END LOOP;\nEND;\n/\n",
       {{0,
         "1/0 T ASSOCIATIVE ARRAY DECLARATION @2:8\n"
         "2/0 X VARIABLE DECLARATION @3:3\n"
         "3/0 T ASSOCIATIVE ARRAY REFERENCE @3:5\n"
         "4/0 K ITERATOR DECLARATION @5:7\n"
         "5/0 V ITERATOR DECLARATION @5:23\n"
         "6/0 X VARIABLE REFERENCE @5:44\n"
         "7/0 X VARIABLE ASSIGNMENT @5:51\n"
         "8/0 K ITERATOR REFERENCE @5:53\n"
         "9/0 V ITERATOR REFERENCE @5:59\n"}}},
      {"a constant as a size",
       "DECLARE\n  c CONSTANT PLS_INTEGER := 10;\n  v RAW(c);\n  w VARCHAR2(c * 2 CHAR);\n"
       "BEGIN\n  NULL;\nEND;\n/\n",
       {{0,
         "1/0 C CONSTANT DECLARATION @2:3\n"
         "2/0 V VARIABLE DECLARATION @3:3\n"
         "3/0 W VARIABLE DECLARATION @4:3\n"}}},
      {"ORDER BY after FOR UPDATE, and the JSON constructor's members",
       "CREATE TABLE t (a NUMBER, b NUMBER);\nSELECT a FROM t FOR UPDATE OF a ORDER BY b;\n"
       "SELECT json{'k' : a, t.*} FROM t;\n",
       {{1,
         "1/0 SELECT @2:1\n"
         "2/1 T TABLE REFERENCE @2:15\n"
         "3/1 A COLUMN REFERENCE @2:8\n"
         "4/1 A COLUMN REFERENCE @2:31\n"
         "5/1 B COLUMN REFERENCE @2:42\n"},
        {2,
         "1/0 SELECT @3:1\n"
         "2/1 T TABLE REFERENCE @3:32\n"
         "3/1 A COLUMN REFERENCE @3:19\n"}}},
      {"the mining clauses' words are no variables",
       "DECLARE\n  cost NUMBER;\n  model NUMBER;\n  anomaly NUMBER;\n  auto NUMBER;\nBEGIN\n"
       "  SELECT prediction(m cost model using *) INTO cost FROM t;\n"
       "  SELECT prediction_probability(of anomaly, 0 using *) INTO cost FROM t;\n"
       "  SELECT prediction_cost(m, 1 cost model auto using cost, model) INTO cost FROM t;\n"
       "  SELECT f(cost, model, anomaly) INTO cost FROM t;\nEND;\n/\n",
       {{0,
         "1/0 COST VARIABLE DECLARATION @2:3\n"
         "2/0 MODEL VARIABLE DECLARATION @3:3\n"
         "3/0 ANOMALY VARIABLE DECLARATION @4:3\n"
         "4/0 AUTO VARIABLE DECLARATION @5:3\n"
         "5/0 SELECT @7:3\n"
         "6/5 COST VARIABLE ASSIGNMENT @7:48\n"
         "7/0 SELECT @8:3\n"
         "8/7 COST VARIABLE ASSIGNMENT @8:61\n"
         "9/0 SELECT @9:3\n"
         "10/9 COST VARIABLE REFERENCE @9:53\n"
         "11/9 MODEL VARIABLE REFERENCE @9:59\n"
         "12/9 COST VARIABLE ASSIGNMENT @9:71\n"
         "13/0 SELECT @10:3\n"
         "14/13 COST VARIABLE REFERENCE @10:12\n"
         "15/13 MODEL VARIABLE REFERENCE @10:18\n"
         "16/13 ANOMALY VARIABLE REFERENCE @10:25\n"
         "17/13 COST VARIABLE ASSIGNMENT @10:39\n"}}},
      {"substitution heads and a table function's named argument",
       "CREATE TABLE t (a NUMBER);\nSELECT * FROM table(&&s..pkg.f(1));\n"
       "SELECT * FROM ptf(t ORDER BY a, p => 1);\n"
       "BEGIN\n  x := &&t.(1);\nEND;\n/\n",
       {{1, "1/0 SELECT @2:1\n"}, {2, "1/0 SELECT @3:1\n"}, {3, ""}}},
  };
  for (const ScriptCase& test : cases) check(test);
}

TEST(ResolvePackageSpec, EntriesInOrder) {
  struct Case {
    std::string_view name;
    std::string_view script;
    std::string_view key;  // expected owner.name
    std::string_view entries;
  };
  const std::vector<Case> cases = {
      {"every declaration kind",
       "CREATE PACKAGE hr.pay AS c CONSTANT NUMBER := 1; v NUMBER; e EXCEPTION; SUBTYPE s IS "
       "NUMBER; TYPE r IS RECORD (a NUMBER); TYPE rc IS REF CURSOR; TYPE nt IS TABLE OF NUMBER; "
       "TYPE va IS VARRAY(2) OF NUMBER; TYPE it IS TABLE OF NUMBER INDEX BY BINARY_INTEGER; "
       "TYPE aa IS TABLE OF NUMBER INDEX BY VARCHAR2(10); CURSOR cur RETURN r; PROCEDURE p; "
       "FUNCTION f RETURN NUMBER; PROCEDURE p(x NUMBER); PRAGMA SERIALLY_REUSABLE; END;\n/\n",
       "HR.PAY",
       "C CONSTANT\nV VARIABLE\nE EXCEPTION\nS SUBTYPE\nR RECORD\nRC REFCURSOR\n"
       "NT NESTED TABLE\nVA VARRAY\nIT INDEX TABLE\nAA ASSOCIATIVE ARRAY\nCUR CURSOR\n"
       "P PROCEDURE\nF FUNCTION\nP PROCEDURE\n"},
      {"not a package", "CREATE PROCEDURE p IS BEGIN NULL; END;\n/\n", "APP.P", ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const lexer::SplitResult split = lexer::split_script(test.script);
    ASSERT_FALSE(split.items.empty());
    const std::optional<parser::ParsedStatement> statement =
        parser::parse_item(test.script, split, split.items[0], lexer::ParseOptions{});
    ASSERT_TRUE(statement.has_value());
    const test_support::OwnerAndName key =
        test_support::qualified_name(*statement, test.script, "APP");
    const PackageSpec package = resolve_package_spec(*statement, test.script, key.owner);
    EXPECT_EQ(package_key(package.owner(), package.name()), test.key);
    std::string entries;
    for (const SpecEntry& entry : package.entries()) {
      entries += entry.name + " " + std::string(type_word_text(entry.type)) + "\n";
    }
    EXPECT_EQ(entries, test.entries);
  }
}

TEST(ResolvePackageSpec, LookupSurvivesCopiesAndMoves) {
  // The names are numbered where the entries hold them: a copy or a move of the
  // package's declarations must find them all the same, long and short.
  std::unordered_map<std::string, PackageSpec> packages;
  {
    PackageSpec original("APP", "PAY",
                         {{"A_NAME_LONGER_THAN_A_SHORT_STRING", TypeWord::Function},
                          {"X", TypeWord::Variable},
                          {"A_NAME_LONGER_THAN_A_SHORT_STRING", TypeWord::Cursor}});
    const PackageSpec copy = original;
    packages.emplace("COPY", copy);
    packages.emplace("MOVED", std::move(original));
  }
  packages.rehash(64);
  for (const char* key : {"COPY", "MOVED"}) {
    SCOPED_TRACE(key);
    const PackageSpec& package = packages.at(key);
    ASSERT_NE(package.find("A_NAME_LONGER_THAN_A_SHORT_STRING"), nullptr);
    EXPECT_EQ(package.find("A_NAME_LONGER_THAN_A_SHORT_STRING")->type, TypeWord::Function);
    ASSERT_NE(package.find("X"), nullptr);
    EXPECT_EQ(package.find("X")->type, TypeWord::Variable);
    EXPECT_EQ(package.find("A_NAME_LONGER_THAN_A_SHORT"), nullptr);
  }
}

TEST(ResolvePackageSpec, LookupGivesTheFirstEntryOfAName) {
  const PackageSpec package(
      "APP", "PAY",
      {{"P", TypeWord::Procedure}, {"P", TypeWord::Variable}, {"Q", TypeWord::Cursor}});
  ASSERT_NE(package.find("P"), nullptr);
  EXPECT_EQ(package.find("P")->type, TypeWord::Procedure);
  EXPECT_EQ(package.find("Q")->type, TypeWord::Cursor);
  EXPECT_EQ(package.find("p"), nullptr);
  EXPECT_EQ(package_key("A.B", "C"), "A.B.C");
}

}  // namespace
}  // namespace veltrane::resolve
