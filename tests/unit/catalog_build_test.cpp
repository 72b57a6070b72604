// The catalog built from scripts' DDL, compared in full as the catalog command lists it;
// lookup through synonyms; and scripts whose trees are a million levels deep, built on a
// thread with a 1 MiB stack.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalog/build_catalog.hpp"
#include "catalog/catalog.hpp"
#include "lexer/parse_options.hpp"
#include "limits_scale.hpp"
#include "small_stack.hpp"

namespace {

using veltrane::catalog::Catalog;
using veltrane::catalog::CatalogObject;
using veltrane::catalog::ObjectKind;
using veltrane::catalog::Synonym;

// The listing of the catalog command (names here are ASCII, so bytes are characters).
std::string listing(const Catalog& catalog) {
  std::string out;
  const auto padded = [](const std::string& name) {
    return name.size() >= 30 ? name : name + std::string(30 - name.size(), ' ');
  };
  for (const auto* map : {&catalog.objects, &catalog.triggers}) {
    for (const auto& [key, object] : *map) {
      out +=
          std::string(veltrane::catalog::OBJECT_TYPE_NAMES[static_cast<std::size_t>(object.kind)]) +
          " " + object.owner + "." + object.name;
      if (object.columns_pending) out += "  (more columns after name resolution)";
      out += "\n";
      for (const auto& column : object.columns) {
        out += "    " + padded(column.name) + " " + column.datatype +
               (column.nullable ? "" : " NOT NULL") + "\n";
      }
      for (const auto& member : object.members) {
        out += "    " + padded(member.name) + " " +
               std::string(veltrane::catalog::member_kind_name(member.kind)) + " " +
               member.type_text + "\n";
      }
      if (object.trigger_table) {
        out += "    ON " + object.trigger_table->owner + "." + object.trigger_table->name + "\n";
      }
    }
  }
  for (const auto& [key, synonym] : catalog.synonyms) {
    out += "SYNONYM " + synonym.owner + "." + synonym.name + " -> " + synonym.target_owner + "." +
           synonym.target_name + (synonym.db_link ? "@" + *synonym.db_link : "") + "\n";
  }
  return out;
}

struct Built {
  Catalog catalog;
  std::string schema;
};

Built build(const std::vector<std::string>& files, std::string_view schema = "APP",
            const veltrane::lexer::ParseOptions& options = {}) {
  Built built;
  built.schema = std::string(schema);
  for (std::size_t i = 0; i < files.size(); ++i) {
    built.schema = veltrane::catalog::build_catalog(
        built.catalog, "f" + std::to_string(i + 1) + ".sql", files[i], built.schema, options);
  }
  return built;
}

struct ListingCase {
  const char* name;
  std::vector<std::string> files;
  const char* expected;
  const char* schema_after = "APP";
};

void check_listings(const std::vector<ListingCase>& cases) {
  for (const ListingCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Built built = build(c.files);
    EXPECT_EQ(listing(built.catalog), c.expected);
    EXPECT_EQ(built.schema, c.schema_after);
  }
}

TEST(BuildCatalog, Tables) {
  check_listings({
      {"columns, types and inline constraints",
       {"CREATE TABLE emp (id NUMBER(10, 0) CONSTRAINT emp_pk PRIMARY KEY, name varchar2(30 "
        "char) not null, hired timestamp(6) with local time zone, dept_id NUMBER);"},
       "TABLE APP.EMP\n"
       "    ID                             NUMBER(10,0) NOT NULL\n"
       "    NAME                           VARCHAR2(30 CHAR) NOT NULL\n"
       "    HIRED                          TIMESTAMP(6) WITH LOCAL TIME ZONE\n"
       "    DEPT_ID                        NUMBER\n"},
      {"out-of-line primary key and AS query",
       {"CREATE TABLE hr.dept (id NUMBER, name VARCHAR2(20), CONSTRAINT dept_pk PRIMARY KEY "
        "(id, nope));\nCREATE TABLE dept_copy AS SELECT * FROM hr.dept;"},
       "TABLE APP.DEPT_COPY  (more columns after name resolution)\n"
       "TABLE HR.DEPT\n"
       "    ID                             NUMBER NOT NULL\n"
       "    NAME                           VARCHAR2(20)\n"},
      {"written columns stay with AS query; an object table of an unknown type",
       {"CREATE TABLE c (a, b NOT NULL) AS SELECT 1, 2 FROM dual;\n"
        "CREATE TABLE o OF person_t;"},
       "TABLE APP.C  (more columns after name resolution)\n"
       "    A                              \n"
       "    B                               NOT NULL\n"
       "TABLE APP.O  (more columns after name resolution)\n"},
      {"errors add nothing, DROP removes nothing, a view replaces a table",
       {"CREATE TABLE w (a NUMBER);\nDROP TABLE w PURGE;\nCREATE TABLE x (a NUMBER);\n"
        "CREATE VIEW x AS SELECT 1 one FROM dual;\nCREATE TABLE bad (a NUMBER,, b NUMBER);\n"
        "CREATE TABLE e;\nCREATE TABLE u (a NOT NULL);\n"},
       "TABLE APP.E\n"
       "TABLE APP.U\n"
       "    A                               NOT NULL\n"
       "TABLE APP.W\n"
       "    A                              NUMBER\n"
       "VIEW APP.X\n"
       "    ONE                            \n"},
      {"names CREATE cannot store",
       {"CREATE TABLE a.b.c (x NUMBER);\nCREATE TABLE &s..t (x NUMBER);\n"
        "CREATE TABLE \"Mixed\".\"t 1\" (\"Col\" NUMBER);"},
       "TABLE Mixed.t 1\n"
       "    Col                            NUMBER\n"},
  });
}

TEST(BuildCatalog, AlterTable) {
  check_listings({
      {"add, modify, drop, rename column, rename table",
       {"CREATE TABLE t (a NUMBER, b VARCHAR2(10), c DATE);\n"
        "ALTER TABLE t ADD (d NUMBER NOT NULL, CONSTRAINT t_pk PRIMARY KEY (a));\n"
        "ALTER TABLE t MODIFY (b VARCHAR2(20) NOT NULL);\n"
        "ALTER TABLE t DROP COLUMN c;\n"
        "ALTER TABLE t RENAME COLUMN b TO bb;\n"
        "ALTER TABLE t RENAME TO t_new;\n"},
       "TABLE APP.T_NEW\n"
       "    A                              NUMBER NOT NULL\n"
       "    BB                             VARCHAR2(20) NOT NULL\n"
       "    D                              NUMBER NOT NULL\n"},
      {"modify without parentheses, set unused, drop list, replace in place",
       {"CREATE TABLE t (a NUMBER NOT NULL, b NUMBER, c NUMBER, d NUMBER, e NUMBER);\n"
        "ALTER TABLE t MODIFY a varchar2 ( 5 ) NULL;\n"
        "ALTER TABLE t MODIFY b DEFAULT 0 NOT NULL;\n"
        "ALTER TABLE t SET UNUSED COLUMN c;\n"
        "ALTER TABLE t DROP (d, nope);\n"
        "ALTER TABLE t ADD (CONSTRAINT bk PRIMARY KEY (b), b DATE);\n"
        "ALTER TABLE t ADD CONSTRAINT pk PRIMARY KEY (e);\n"
        "ALTER TABLE t MODIFY (nope NUMBER, e NULL);\n"
        "ALTER TABLE t DROP CONSTRAINT pk;\n"
        "ALTER TABLE t MODIFY b DEFAULT NULL;\n"},
       "TABLE APP.T\n"
       "    A                              VARCHAR2(5)\n"
       "    B                              DATE NOT NULL\n"
       "    E                              NUMBER\n"},
      {"ADD CONSTRAINTS is a constraint, never a column; a column may be named CONSTRAINTS",
       {"CREATE TABLE t (a NUMBER, b NUMBER, c NUMBER, constraints NUMBER);\n"
        "ALTER TABLE t ADD CONSTRAINTS c1 UNIQUE (a, b) USING INDEX c1_i;\n"
        "ALTER TABLE t ADD constraints t_pk PRIMARY KEY (a, b);\n"
        "ALTER TABLE t ADD CONSTRAINTS c2 CHECK (c > 0);\n"
        "ALTER TABLE t ADD CONSTRAINTS c3 FOREIGN KEY (c) REFERENCES u (x);\n"
        "CREATE TABLE u (x NUMBER, CONSTRAINTS u_pk PRIMARY KEY (x), y DATE);\n"
        "CREATE TABLE w (constraints VARCHAR2(10) UNIQUE, v NUMBER);\n"},
       "TABLE APP.T\n"
       "    A                              NUMBER NOT NULL\n"
       "    B                              NUMBER NOT NULL\n"
       "    C                              NUMBER\n"
       "    CONSTRAINTS                    NUMBER\n"
       "TABLE APP.U\n"
       "    X                              NUMBER NOT NULL\n"
       "    Y                              DATE\n"
       "TABLE APP.W\n"
       "    CONSTRAINTS                    VARCHAR2(10)\n"
       "    V                              NUMBER\n"},
      {"a CONSTRAINTS clause may name a column defined after it",
       {"CREATE TABLE t (CONSTRAINTS t_pk PRIMARY KEY (b), a NUMBER, b NUMBER);\n"},
       "TABLE APP.T\n"
       "    A                              NUMBER\n"
       "    B                              NUMBER NOT NULL\n"},
      {"only tables are altered, under the written owner or the schema",
       {"CREATE VIEW v AS SELECT a FROM t;\nCREATE TABLE hr.t (a NUMBER);\n"
        "ALTER TABLE v ADD b NUMBER;\nALTER TABLE t ADD b NUMBER;\n"
        "ALTER TABLE hr.t ADD c NUMBER;\n"},
       "VIEW APP.V\n"
       "    A                              \n"
       "TABLE HR.T\n"
       "    A                              NUMBER\n"
       "    C                              NUMBER\n"},
      {"rename moves triggers and replaces what is under the new key",
       {"CREATE TABLE t (a NUMBER);\nCREATE SYNONYM n FOR x;\n"
        "CREATE TRIGGER trg BEFORE INSERT ON t BEGIN NULL; END;\n/\n"
        "CREATE TRIGGER other BEFORE INSERT ON hr.t BEGIN NULL; END;\n/\n"
        "ALTER TABLE t RENAME TO n;\n"},
       "TABLE APP.N\n"
       "    A                              NUMBER\n"
       "TRIGGER APP.OTHER\n"
       "    ON HR.T\n"
       "TRIGGER APP.TRG\n"
       "    ON APP.N\n"},
  });
}

// Identity columns and DEFAULT ON NULL are not nullable; words that stand where a type
// would begin after MODIFY c keep the type.
TEST(BuildCatalog, IdentityAndDefaultOnNull) {
  check_listings({
      {"create, add and modify",
       {"CREATE TABLE t (id NUMBER GENERATED ALWAYS AS IDENTITY, d NUMBER DEFAULT ON NULL 0, v "
        "NUMBER GENERATED ALWAYS AS (d + 1) VIRTUAL, n NUMBER);\n"
        "ALTER TABLE t ADD (e NUMBER DEFAULT ON NULL 1, f NUMBER GENERATED BY DEFAULT AS "
        "IDENTITY);\n"
        "ALTER TABLE t MODIFY (n NUMBER DEFAULT ON NULL 2);\n"},
       "TABLE APP.T\n"
       "    ID                             NUMBER NOT NULL\n"
       "    D                              NUMBER NOT NULL\n"
       "    V                              NUMBER\n"
       "    N                              NUMBER NOT NULL\n"
       "    E                              NUMBER NOT NULL\n"
       "    F                              NUMBER NOT NULL\n"},
      {"modify without parentheses keeps the type",
       {"CREATE TABLE t (a NUMBER, b VARCHAR2(10), c CLOB, d NUMBER);\n"
        "ALTER TABLE t MODIFY a GENERATED BY DEFAULT ON NULL AS IDENTITY;\n"
        "ALTER TABLE t MODIFY b COLLATE binary_ci;\n"
        "ALTER TABLE t MODIFY b ENCRYPT;\n"
        "ALTER TABLE t MODIFY c LOB (c) (CACHE);\n"
        "ALTER TABLE t MODIFY d NUMBER(5) SORT;\n"},
       "TABLE APP.T\n"
       "    A                              NUMBER NOT NULL\n"
       "    B                              VARCHAR2(10)\n"
       "    C                              CLOB\n"
       "    D                              NUMBER(5)\n"},
  });
}

// Object tables and views take their columns from their type's attributes, a supertype's
// first, when the catalog holds the type at that point.
TEST(BuildCatalog, ObjectTablesAndViews) {
  check_listings({
      {"object tables and views",
       {"CREATE TABLE early OF person_t;\n"
        "CREATE TYPE person_t AS OBJECT (id NUMBER, name VARCHAR2(30)) NOT FINAL;\n/\n"
        "CREATE TYPE hr.emp_t UNDER person_t (salary NUMBER(8,2));\n/\n"
        "CREATE TABLE staff OF hr.emp_t;\n"
        "CREATE VIEW people_v OF person_t WITH OBJECT IDENTIFIER (id) AS SELECT 1 x, 'n' y FROM "
        "dual;\n"
        "CREATE VIEW unknown_v OF nope_t WITH OBJECT IDENTIFIER (id) AS SELECT 1 x FROM dual;\n"},
       "TABLE APP.EARLY  (more columns after name resolution)\n"
       "VIEW APP.PEOPLE_V\n"
       "    ID                             NUMBER\n"
       "    NAME                           VARCHAR2(30)\n"
       "TYPE APP.PERSON_T\n"
       "    ID                             Attribute NUMBER\n"
       "    NAME                           Attribute VARCHAR2(30)\n"
       "TABLE APP.STAFF\n"
       "    ID                             NUMBER\n"
       "    NAME                           VARCHAR2(30)\n"
       "    SALARY                         NUMBER(8,2)\n"
       "VIEW APP.UNKNOWN_V  (more columns after name resolution)\n"
       "TYPE HR.EMP_T\n"
       "    SALARY                         Attribute NUMBER(8,2)\n"},
      {"a type's source with its evolution appended: the type as created",
       {"CREATE TYPE base_t AS OBJECT (id NUMBER) NOT FINAL;\n/\n"
        "CREATE OR REPLACE TYPE sub_t UNDER base_t (a NUMBER) NOT FINAL\n"
        "ALTER TYPE sub_t ADD ATTRIBUTE (b NUMBER) CASCADE\n"
        "ALTER TYPE other_t DROP ATTRIBUTE (c) CASCADE\n/\n"
        "CREATE TABLE t OF sub_t;\n"},
       "TYPE APP.BASE_T\n"
       "    ID                             Attribute NUMBER\n"
       "TYPE APP.SUB_T\n"
       "    A                              Attribute NUMBER\n"
       "TABLE APP.T\n"
       "    ID                             NUMBER\n"
       "    A                              NUMBER\n"},
      {"a supertype loop made by replacing a type ends",
       {"CREATE TYPE a_t AS OBJECT (x NUMBER) NOT FINAL;\n/\n"
        "CREATE TYPE b_t UNDER a_t (y NUMBER) NOT FINAL;\n/\n"
        "CREATE OR REPLACE TYPE a_t UNDER b_t (z NUMBER) NOT FINAL;\n/\n"
        "CREATE TABLE t OF b_t;\n"},
       "TYPE APP.A_T\n"
       "    Z                              Attribute NUMBER\n"
       "TYPE APP.B_T\n"
       "    Y                              Attribute NUMBER\n"
       "TABLE APP.T\n"
       "    Z                              NUMBER\n"
       "    Y                              NUMBER\n"},
  });
}

TEST(BuildCatalog, Views) {
  check_listings({
      {"column lists and select items",
       {"CREATE VIEW v1 (a, b) AS SELECT 1, 2 FROM dual;\n"
        "CREATE VIEW v2 AS SELECT e.id, e.name AS full_name, \"Mixed\" FROM emp e;\n"
        "CREATE VIEW v3 AS SELECT d.*, d.id dept_no, 1 + 1 FROM dept d;\n"},
       "VIEW APP.V1\n"
       "    A                              \n"
       "    B                              \n"
       "VIEW APP.V2\n"
       "    ID                             \n"
       "    FULL_NAME                      \n"
       "    Mixed                          \n"
       "VIEW APP.V3  (more columns after name resolution)\n"
       "    DEPT_NO                        \n"},
      {"first operands, WITH, constraints in the column list, substitutions",
       {"CREATE VIEW w AS WITH q AS (SELECT 1 z FROM dual) SELECT a FROM q UNION ALL SELECT b "
        "FROM t;\n"
        "CREATE VIEW p AS (SELECT a b FROM t) UNION SELECT 1 FROM dual ORDER BY 1;\n"
        "CREATE VIEW c (a, b, CONSTRAINT pk PRIMARY KEY (a) RELY DISABLE NOVALIDATE) AS SELECT "
        "1, 2 FROM dual;\n"
        "CREATE VIEW s AS SELECT &cols, x FROM dual;\n"
        "CREATE MATERIALIZED VIEW m AS SELECT t.a FROM t;\n"},
       "VIEW APP.C\n"
       "    A                              \n"
       "    B                              \n"
       "MATERIALIZED VIEW APP.M\n"
       "    A                              \n"
       "VIEW APP.P\n"
       "    B                              \n"
       "VIEW APP.S  (more columns after name resolution)\n"
       "    X                              \n"
       "VIEW APP.W\n"
       "    A                              \n"},
  });
}

TEST(BuildCatalog, ProgramUnitsAndTypes) {
  check_listings({
      {"package members",
       {"CREATE OR REPLACE PACKAGE pay AS\n"
        "  c_rate CONSTANT NUMBER(5,2) := 1.5;  g_count PLS_INTEGER;  e_bad EXCEPTION;\n"
        "  TYPE t_ids IS TABLE OF NUMBER INDEX BY PLS_INTEGER;  SUBTYPE money IS "
        "NUMBER(12,2);\n"
        "  TYPE r IS RECORD (a NUMBER); TYPE rc IS REF CURSOR; PRAGMA SERIALLY_REUSABLE;\n"
        "  CURSOR c_emp RETURN emp%ROWTYPE;  PROCEDURE raise_all(p_pct IN NUMBER);  FUNCTION "
        "total RETURN NUMBER;\n"
        "  FUNCTION total(p DATE) RETURN VARCHAR2;\n"
        "END pay;\n/\n"},
       "PACKAGE APP.PAY\n"
       "    C_RATE                         Constant NUMBER(5,2)\n"
       "    G_COUNT                        Variable PLS_INTEGER\n"
       "    E_BAD                          Exception \n"
       "    T_IDS                          Type TABLE OF NUMBER INDEX BY PLS_INTEGER\n"
       "    MONEY                          Subtype NUMBER(12,2)\n"
       "    R                              Type RECORD\n"
       "    RC                             Type REF CURSOR\n"
       "    C_EMP                          Cursor EMP%ROWTYPE\n"
       "    RAISE_ALL                      Procedure \n"
       "    TOTAL                          Function NUMBER\n"
       "    TOTAL                          Function VARCHAR2\n"},
      {"object and collection types",
       {"CREATE TYPE point_t AS OBJECT (x NUMBER, y NUMBER, MEMBER FUNCTION dist(p point_t) "
        "RETURN NUMBER, CONSTRUCTOR FUNCTION point_t RETURN SELF AS RESULT, MEMBER PROCEDURE "
        "m) NOT FINAL;\n/\nCREATE TYPE num_list AS TABLE OF NUMBER;\n/\n"},
       "TYPE APP.NUM_LIST\n"
       "TYPE APP.POINT_T\n"
       "    X                              Attribute NUMBER\n"
       "    Y                              Attribute NUMBER\n"
       "    DIST                           Method NUMBER\n"
       "    POINT_T                        Method SELF AS RESULT\n"
       "    M                              Method \n"},
      {"procedures, functions and triggers (last)",
       {"CREATE OR REPLACE PROCEDURE hr.p IS BEGIN NULL; END;\n/\n"
        "CREATE FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END;\n/\n"
        "CREATE TRIGGER a_trg BEFORE INSERT ON emp FOR EACH ROW BEGIN NULL; END;\n/\n"
        "CREATE TABLE zed.z (a NUMBER);\n"
        "CREATE TRIGGER ddl_trg AFTER CREATE ON SCHEMA BEGIN NULL; END;\n/\n"
        "CREATE TRIGGER hr.io_trg INSTEAD OF INSERT ON scott.v FOR EACH ROW BEGIN NULL; "
        "END;\n/\n"
        "CREATE TRIGGER q_trg AFTER INSERT ON \"SCHEMA\" BEGIN NULL; END;\n/\n"},
       "FUNCTION APP.F\n"
       "PROCEDURE HR.P\n"
       "TABLE ZED.Z\n"
       "    A                              NUMBER\n"
       "TRIGGER APP.A_TRG\n"
       "    ON APP.EMP\n"
       "TRIGGER APP.DDL_TRG\n"
       "TRIGGER APP.Q_TRG\n"
       "    ON APP.SCHEMA\n"
       "TRIGGER HR.IO_TRG\n"
       "    ON SCOTT.V\n"},
      {"IF NOT EXISTS before a unit's name",
       {"CREATE PACKAGE IF NOT EXISTS pie AS x NUMBER; END;\n/\n"
        "CREATE OR REPLACE PROCEDURE IF NOT EXISTS hr.p IS BEGIN NULL; END;\n/\n"
        "CREATE FUNCTION IF NOT EXISTS f RETURN NUMBER IS BEGIN RETURN 1; END;\n/\n"
        "CREATE TYPE IF NOT EXISTS t AS OBJECT (a NUMBER);\n/\n"
        "CREATE TRIGGER IF NOT EXISTS trg BEFORE INSERT ON emp BEGIN NULL; END;\n/\n"},
       "FUNCTION APP.F\n"
       "PACKAGE APP.PIE\n"
       "    X                              Variable NUMBER\n"
       "TYPE APP.T\n"
       "    A                              Attribute NUMBER\n"
       "PROCEDURE HR.P\n"
       "TRIGGER APP.TRG\n"
       "    ON APP.EMP\n"},
      {"wrapped units: the object without members; a wrapped body adds nothing",
       {"CREATE PACKAGE pay AS x NUMBER; END;\n/\n"
        "CREATE OR REPLACE PACKAGE BODY pay WRAPPED\na000000\n1\nabcd\nb\n2c1 1a4\n"
        "/yP8x+Q0=\n/\n"
        "CREATE PACKAGE hr.wp AS y NUMBER; END;\n/\n"
        "CREATE OR REPLACE EDITIONABLE PACKAGE \"HR\".\"WP\" WRAPPED\na000000\n1\nabcd\n9\n"
        "8e 9b\nQRh4+Yv0/Tn==\n/\n"
        "CREATE PROCEDURE p wrapped\na000000\n1\nabcd\n7\n5e 8e\nuhY5/Wm0+Tn=\n/\n"
        "CREATE FUNCTION f WRAPPED\na000000\n1\nabcd\n8\n4d 7a\nkLpZ+1Lr/8M=\n/\n"
        "CREATE TYPE t WRAPPED\na000000\n1\nabcd\nd\n5b 7d\nOb4+Q6LU/xJ8==\n/\n"
        "CREATE TYPE BODY t WRAPPED\na000000\n1\nabcd\ne\n71 9a\nx3Mw/5tZ+yn0=\n/\n"},
       "FUNCTION APP.F\n"
       "PROCEDURE APP.P\n"
       "PACKAGE APP.PAY\n"
       "    X                              Variable NUMBER\n"
       "TYPE APP.T\n"
       "PACKAGE HR.WP\n"},
      {"what creates nothing",
       {"CREATE PACKAGE BODY pay AS END;\n/\nCREATE TYPE BODY t AS END;\n/\n"
        "CREATE INDEX i ON t (a);\nCOMMENT ON TABLE t IS 'x';\nGRANT SELECT ON t TO PUBLIC;\n"
        "BEGIN NULL; END;\n/\nCREATE USER u IDENTIFIED BY p;\nTRUNCATE TABLE t;\n"
        "INSERT INTO t VALUES (1);\nREM CREATE TABLE r (a NUMBER);\n"},
       ""},
  });
}

TEST(BuildCatalog, SynonymsAndSchemas) {
  check_listings({
      {"private, public and linked synonyms",
       {"CREATE SYNONYM s1 FOR emp;\nCREATE PUBLIC SYNONYM s2 FOR hr.emp;\n"
        "CREATE SYNONYM hr.s3 FOR scott.emp@remote.world;\n"
        "CREATE PUBLIC SYNONYM hr.s4 FOR emp;\nCREATE SYNONYM s5 FOR a.b.c;\n"},
       "SYNONYM APP.S1 -> APP.EMP\n"
       "SYNONYM HR.S3 -> SCOTT.EMP@REMOTE.WORLD\n"
       "SYNONYM PUBLIC.S2 -> HR.EMP\n"
       "SYNONYM PUBLIC.S4 -> APP.EMP\n"},
      {"objects and synonyms share keys",
       {"CREATE TABLE t (a NUMBER);\nCREATE SYNONYM t FOR x;\nCREATE SYNONYM u FOR x;\n"
        "CREATE SEQUENCE u;\n"},
       "SEQUENCE APP.U\n"
       "SYNONYM APP.T -> APP.X\n"},
      {"CONNECT and ALTER SESSION",
       {"CREATE TABLE t1 (a NUMBER);\nCONNECT scott/tiger@orcl\nCREATE TABLE t2 (a NUMBER);\n"
        "ALTER SESSION SET CURRENT_SCHEMA = \"Hr\";\nCREATE TABLE t3 (a NUMBER);\n"
        "CONNECT / AS SYSDBA\nCREATE TABLE t4 (a NUMBER);\n"},
       "TABLE APP.T1\n"
       "    A                              NUMBER\n"
       "TABLE Hr.T3\n"
       "    A                              NUMBER\n"
       "TABLE Hr.T4\n"
       "    A                              NUMBER\n"
       "TABLE SCOTT.T2\n"
       "    A                              NUMBER\n",
       "Hr"},
      {"CONNECT forms that change nothing, quoted users, several pairs",
       {"conn \"Kay\"/pw\nCREATE SEQUENCE s1;\nCONNECT &user/pw\nCREATE SEQUENCE s2;\n"
        "CONNECT \"unterminated\nCREATE SEQUENCE s3;\nCONNECT\nCREATE SEQUENCE s4;\n"
        "ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY' CURRENT_SCHEMA = x CURRENT_SCHEMA = y;\n"
        "CREATE SEQUENCE s5;\nALTER SESSION SET CURRENT_SCHEMA = 'q';\n"
        "ALTER SESSION SET CURRENT_SCHEMA = bad junk CURRENT_SCHEMA = z;\n"},
       "SEQUENCE Kay.S1\n"
       "SEQUENCE Kay.S2\n"
       "SEQUENCE Kay.S3\n"
       "SEQUENCE Kay.S4\n"
       "SEQUENCE Y.S5\n",
       "BAD"},
      {"the schema goes on into the next file",
       {"ALTER SESSION SET CURRENT_SCHEMA = hr;\nCREATE TABLE t (a NUMBER);\n",
        "CREATE TABLE t (a NUMBER, b DATE);\n"},
       "TABLE HR.T\n"
       "    A                              NUMBER\n"
       "    B                              DATE\n",
       "HR"},
  });
}

TEST(BuildCatalog, ConditionalCompilationFollowsTheFlags) {
  const std::string script =
      "CREATE PACKAGE cc AS $IF $$debug $THEN dbg BOOLEAN; $END x NUMBER; END;\n/\n";
  veltrane::lexer::ParseOptions debug;
  debug.ccflags["DEBUG"] = true;
  EXPECT_EQ(listing(build({script}, "APP", debug).catalog),
            "PACKAGE APP.CC\n"
            "    DBG                            Variable BOOLEAN\n"
            "    X                              Variable NUMBER\n");
  EXPECT_EQ(listing(build({script}).catalog),
            "PACKAGE APP.CC\n"
            "    X                              Variable NUMBER\n");
}

TEST(BuildCatalog, OriginIsTheFileThatLastDefinedTheObject) {
  const Built built = build(
      {"CREATE TABLE t (a NUMBER);\nCREATE SYNONYM s FOR t;\n", "CREATE TABLE t (b NUMBER);\n"});
  EXPECT_EQ(built.catalog.objects.at({"APP", "T"}).origin, "f2.sql");
  EXPECT_EQ(built.catalog.synonyms.at({"APP", "S"}).origin, "f1.sql");
}

TEST(Resolve, FollowsSynonymChains) {
  Catalog catalog;
  CatalogObject emp{};
  emp.owner = "APP";
  emp.name = "EMP";
  emp.kind = ObjectKind::Table;
  veltrane::catalog::store_object(catalog, emp);
  const auto synonym = [&](const char* owner, const char* name, const char* target_owner,
                           const char* target_name, std::optional<std::string> link) {
    veltrane::catalog::store_synonym(
        catalog, Synonym{owner, name, target_owner, target_name, std::move(link), "f.sql"});
  };
  synonym("APP", "E1", "APP", "E2", std::nullopt);
  synonym("APP", "E2", "APP", "EMP", std::nullopt);
  synonym("PUBLIC", "E3", "APP", "EMP", std::nullopt);
  synonym("APP", "L1", "APP", "L2", std::nullopt);
  synonym("APP", "L2", "APP", "L1", std::nullopt);
  synonym("APP", "R", "SCOTT", "EMP", "LNK");
  synonym("APP", "M", "APP", "MISSING", std::nullopt);

  struct Case {
    const char* name;
    const char* default_owner;
    std::optional<std::string> owner;
    const char* lookup;
    const char* synonym;  // nullptr: none
    bool object;
  };
  const Case cases[] = {
      {"object first", "APP", std::nullopt, "EMP", nullptr, true},
      {"two hops", "APP", std::nullopt, "E1", "E1", true},
      {"public when not found under the owner", "HR", std::nullopt, "E3", "E3", true},
      {"written owner does not try PUBLIC", "HR", std::string("HR"), "E3", nullptr, false},
      {"written owner", "HR", std::string("APP"), "E1", "E1", true},
      {"loop ends at the bound", "APP", std::nullopt, "L1", "L1", false},
      {"link ends the chain", "APP", std::nullopt, "R", "R", false},
      {"missing target", "APP", std::nullopt, "M", "M", false},
      {"nothing", "APP", std::nullopt, "NOPE", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const veltrane::catalog::Resolved resolved =
        catalog.resolve(c.default_owner, c.owner, c.lookup);
    ASSERT_EQ(resolved.synonym != nullptr, c.synonym != nullptr);
    if (c.synonym) {
      EXPECT_EQ(resolved.synonym->name, c.synonym);
    }
    ASSERT_EQ(resolved.object != nullptr, c.object);
    if (c.object) {
      EXPECT_EQ(resolved.object->name, "EMP");
    }
  }

  CatalogObject table{};
  table.owner = "APP";
  table.name = "E1";
  table.kind = ObjectKind::Table;
  veltrane::catalog::store_object(catalog, table);
  EXPECT_FALSE(catalog.synonyms.contains({"APP", "E1"}));
  EXPECT_EQ(catalog.resolve("APP", std::nullopt, "E1").object, &catalog.objects.at({"APP", "E1"}));
  // Triggers have their own keys.
  CatalogObject trigger{};
  trigger.owner = "APP";
  trigger.name = "EMP";
  trigger.kind = ObjectKind::Trigger;
  veltrane::catalog::store_object(catalog, trigger);
  EXPECT_TRUE(catalog.objects.contains({"APP", "EMP"}));
  EXPECT_TRUE(catalog.triggers.contains({"APP", "EMP"}));
}

TEST(Resolve, FindsKeysByViewsInTheOrderOfOwnedKeys) {
  // Names past the length a string keeps inline, names that are prefixes of one another
  // and owners that sort apart: a lookup by views finds what a lookup by owned keys finds,
  // and the maps keep the order of (owner, name) pairs.
  Catalog catalog;
  const std::vector<std::pair<std::string, std::string>> keys = {
      {"APP", "A_VERY_LONG_TABLE_NAME_INDEED"},
      {"APP", "A_VERY_LONG_TABLE_NAME"},
      {"APP", "A"},
      {"APPX", "A"},
      {"AP", "PA"},
      {"SCOTT", "EMP"}};
  for (const auto& [owner, name] : keys) {
    CatalogObject object{};
    object.owner = owner;
    object.name = name;
    object.kind = ObjectKind::View;
    veltrane::catalog::store_object(catalog, object);
  }
  for (const auto& [owner, name] : keys) {
    SCOPED_TRACE(owner + "." + name);
    const veltrane::catalog::Resolved resolved = catalog.resolve("HR", owner, name);
    ASSERT_NE(resolved.object, nullptr);
    EXPECT_EQ(resolved.object, &catalog.objects.at({owner, name}));
    EXPECT_EQ(catalog.resolve(owner, std::nullopt, name).object, resolved.object);
  }
  EXPECT_EQ(catalog.resolve("APP", std::nullopt, "A_VERY_LONG_TABLE_NAM").object, nullptr);
  EXPECT_EQ(catalog.resolve("APP", std::string("APPX"), "A_VERY_LONG_TABLE_NAME").object, nullptr);
  std::vector<std::pair<std::string, std::string>> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::pair<std::string, std::string>> listed;
  for (const auto& [key, object] : catalog.objects) listed.push_back(key);
  EXPECT_EQ(listed, sorted);
}

TEST(MemberKindName, NamesEveryKind) {
  const char* names[] = {"Variable", "Constant",  "Exception", "Type",      "Subtype",
                         "Cursor",   "Procedure", "Function",  "Attribute", "Method"};
  for (std::size_t i = 0; i < std::size(names); ++i) {
    EXPECT_EQ(veltrane::catalog::member_kind_name(static_cast<veltrane::catalog::MemberKind>(i)),
              names[i]);
  }
}

// Reduced builds run a tenth of the sizes.
constexpr std::size_t DEEP_SCALE = veltrane::test_support::LIMITS_REDUCED ? 10 : 1;

TEST(BuildCatalog, DeepTreesOnASmallStack) {
  struct Case {
    const char* name;
    std::string script;
    const char* expected;
  };
  std::string concat = "create view v as select 1";
  for (std::size_t i = 0; i < 1'000'000 / DEEP_SCALE; ++i) concat += "||1";
  concat += " from dual;\n";
  std::string unions = "create view u as select a from t";
  for (std::size_t i = 0; i < 100'000 / DEEP_SCALE; ++i) unions += " union all select b from t";
  unions += ";\n";
  const Case cases[] = {
      {"concatenation chain", concat, "VIEW SYSTEM.V  (more columns after name resolution)\n"},
      {"union chain", unions,
       "VIEW SYSTEM.U\n"
       "    A                              \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string result;
    ASSERT_TRUE(veltrane::test_support::run_on_small_stack(
        [&] { result = listing(build({c.script}, "SYSTEM").catalog); }));
    EXPECT_EQ(result, c.expected);
  }
}

}  // namespace
