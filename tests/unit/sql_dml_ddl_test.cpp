// DML and DDL statements, MODEL, PIVOT / UNPIVOT and MATCH_RECOGNIZE: tree shapes and
// the exact diagnostics of statements parsed at a chosen target version. Snapshot cases
// under tests/data/dml and tests/data/ddl cover the realistic statements.

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"

namespace {

using veltrane::lexer::ParseOptions;
using veltrane::lexer::ScriptItemKind;
using veltrane::lexer::Severity;
using veltrane::lexer::Token;
using veltrane::parser::ParsedStatement;
using veltrane::syntax::Tree;

struct Parsed {
  std::string text;
  ParsedStatement statement;
};

// Parses the first SQL item of `text` at the target version.
Parsed parse_sql(std::string_view text, std::string_view version) {
  Parsed parsed{std::string(text), {}};
  ParseOptions options{};
  if (!version.empty()) {
    options.version = veltrane::lexer::parse_oracle_version(version).value();
  }
  const auto split = veltrane::lexer::split_script(parsed.text);
  for (const auto& item : split.items) {
    if (item.kind != ScriptItemKind::Sql) {
      continue;
    }
    const auto tokens = std::span<const Token>(split.tokens)
                            .subspan(item.first_token, item.end_token - item.first_token);
    parsed.statement = veltrane::parser::parse_statement(parsed.text, tokens, options, item.start);
    break;
  }
  return parsed;
}

bool is_trivia_kind(veltrane::syntax::SyntaxKind kind) { return static_cast<uint16_t>(kind) <= 4; }

// Kind[child, ...] down to `depth` levels; tokens are written as their text, trivia left
// out. At depth 0 a node is its kind name alone.
void append_shape(const Tree& tree, uint32_t node, std::string_view text, int depth,
                  std::string& out) {
  out += veltrane::syntax::kind_name(tree.nodes[node].kind);
  if (depth == 0) {
    return;
  }
  out += '[';
  bool first = true;
  for (veltrane::syntax::Child entry : veltrane::syntax::children(tree, node)) {
    const uint32_t index = veltrane::syntax::entry_index(entry);
    if (veltrane::syntax::is_token_entry(entry)) {
      const auto& token = tree.tokens[index];
      if (is_trivia_kind(token.kind)) {
        continue;
      }
      out += first ? "" : " ";
      out += text.substr(token.start, token.end - token.start);
    } else {
      out += first ? "" : " ";
      append_shape(tree, index, text, depth - 1, out);
    }
    first = false;
  }
  out += ']';
}

// The first node of the kind in preorder below (and including) `node`.
std::optional<uint32_t> find_node(const Tree& tree, uint32_t node, std::string_view kind) {
  if (veltrane::syntax::kind_name(tree.nodes[node].kind) == kind) {
    return node;
  }
  for (veltrane::syntax::Child entry : veltrane::syntax::children(tree, node)) {
    if (!veltrane::syntax::is_token_entry(entry)) {
      if (auto found = find_node(tree, veltrane::syntax::entry_index(entry), kind)) {
        return found;
      }
    }
  }
  return std::nullopt;
}

// "message @ text" per diagnostic, warnings marked with a leading "w:".
std::vector<std::string> diagnostic_lines(const Parsed& parsed) {
  std::vector<std::string> lines;
  for (const auto& diagnostic : parsed.statement.diagnostics) {
    std::string line = diagnostic.severity == Severity::Warning ? "w:" : "";
    line += diagnostic.message;
    line += " @ ";
    line += parsed.text.substr(diagnostic.start, diagnostic.end - diagnostic.start);
    lines.push_back(line);
  }
  return lines;
}

struct ShapeCase {
  const char* name;
  const char* sql;
  const char* version;  // "" for the default target
  const char* node;     // kind of the node to show ("" for the root)
  int depth;
  const char* shape;  // "" to check only the diagnostics
  std::vector<std::string> diagnostics;
};

void run_cases(std::span<const ShapeCase> cases) {
  for (const ShapeCase& test : cases) {
    SCOPED_TRACE(test.name);
    const Parsed parsed = parse_sql(test.sql, test.version);
    const Tree& tree = parsed.statement.tree;
    EXPECT_EQ(diagnostic_lines(parsed), test.diagnostics);
    if (std::string_view(test.shape).empty()) {
      continue;
    }
    const std::optional<uint32_t> node = std::string_view(test.node).empty()
                                             ? std::optional<uint32_t>(tree.root)
                                             : find_node(tree, tree.root, test.node);
    ASSERT_TRUE(node.has_value()) << "no " << test.node;
    std::string shape;
    append_shape(tree, *node, parsed.text, test.depth, shape);
    EXPECT_EQ(shape, test.shape);
  }
}

TEST(DmlStatements, MergeBranchesAndErrors) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"both branches, DELETE WHERE",
       "MERGE INTO t USING s ON (t.id = s.id) WHEN MATCHED THEN UPDATE SET t.v = s.v "
       "WHERE a = 1 DELETE WHERE b = 2 WHEN NOT MATCHED THEN INSERT (id, v) VALUES (s.id, s.v)",
       "", "", 2,
       "MergeStmt[MERGE INTO TableRef[NameRef] MergeUsing[USING TableRef] "
       "MergeOn[ON ParenExpr] MergeMatched[WHEN MATCHED THEN UPDATE SetClause WhereClause "
       "DELETE WhereClause] MergeNotMatched[WHEN NOT MATCHED THEN INSERT ColumnList "
       "ValuesClause]]",
       {}},
      {"missing INTO",
       "MERGE t USING s ON (t.id = s.id) WHEN MATCHED THEN UPDATE SET v = 1", "", "", 1, "",
       {"expected INTO after MERGE @ t"}},
      {"WHEN foo gives one message",
       "MERGE INTO t USING s ON (a = b) WHEN foo THEN INSERT VALUES (1)", "", "MergeNotMatched", 1,
       "MergeNotMatched[WHEN]",
       {"expected NOT MATCHED @ foo"}},
      {"not matched first, DELETE without WHERE, LOG ERRORS",
       "MERGE INTO t USING (SELECT 1 id FROM dual) s ON (t.id = s.id) WHEN NOT MATCHED THEN "
       "INSERT VALUES (1) WHEN MATCHED THEN UPDATE SET v = 2 DELETE LOG ERRORS", "", "", 1,
       "MergeStmt[MERGE INTO TableRef MergeUsing MergeOn MergeNotMatched MergeMatched "
       "ErrorLogging]",
       {}},
      {"no branch",
       "MERGE INTO t USING s ON (t.id = s.id)", "", "", 1,
       "MergeStmt[MERGE INTO TableRef MergeUsing MergeOn]",
       {}},
      {"two rows in the insert branch warn below 23ai",
       "MERGE INTO t USING s ON (1 = 1) WHEN NOT MATCHED THEN INSERT VALUES (1), (2)", "19c", "", 0,
       "",
       {"w:VALUES row constructors need Oracle 23ai or later @ "}},
  };
  // clang-format on
  run_cases(cases);
}

TEST(DmlStatements, InsertForms) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"values rows at 19c",
       "INSERT INTO t VALUES (1, 2), (3, 4)", "19c", "", 0, "",
       {"w:VALUES row constructors need Oracle 23ai or later @ "}},
      {"values rows at 23ai",
       "INSERT INTO t VALUES (1, 2), (3, 4)", "23ai", "InsertInto", 1,
       "InsertInto[INTO TableRef ValuesClause]",
       {}},
      {"one row never warns", "INSERT INTO t VALUES (1)", "12.1", "", 0, "", {}},
      {"multi-table LOG ERRORS in the branch",
       "INSERT ALL INTO a VALUES (1) LOG ERRORS INTO err SELECT 1 FROM dual", "", "", 3,
       "InsertStmt[INSERT MultiInsert[ALL InsertInto[INTO TableRef ValuesClause ErrorLogging]] "
       "Query[QueryBlock[SELECT SelectList FromClause]]]",
       {}},
      {"conditional FIRST with ELSE",
       "INSERT FIRST WHEN x > 1 THEN INTO a WHEN x > 0 THEN INTO b ELSE INTO c SELECT x FROM s", "",
       "MultiInsert", 1,
       "MultiInsert[FIRST InsertWhen InsertWhen InsertElse]",
       {}},
      {"WHEN without THEN still reads the INTO clauses",
       "INSERT ALL WHEN x > 1 INTO a SELECT x FROM s", "", "InsertWhen", 1,
       "InsertWhen[WHEN BinaryExpr InsertInto]",
       {"expected THEN @ INTO"}},
      {"INSERT ALL without INTO",
       "INSERT ALL SELECT 1 FROM dual", "", "MultiInsert", 1, "MultiInsert[ALL]",
       {}},
      {"parenthesised query is no column list",
       "INSERT INTO t (SELECT * FROM s)", "", "InsertStmt", 1,
       "InsertStmt[INSERT InsertInto Query]",
       {}},
      {"dotted and quoted columns",
       "INSERT INTO t (a.b, \"C\") VALUES (1, 2)", "", "ColumnList", 2,
       "ColumnList[( NameRef[a . b] , NameRef[\"C\"] )]",
       {}},
      {"substitution is no column",
       "INSERT INTO t (&c) VALUES (1)", "", "", 0, "",
       {"expected a column name @ &c"}},
      {"substitution table name",
       "INSERT INTO &tab VALUES (1)", "", "TableRef", 2, "TableRef[NameRef[&tab]]",
       {}},
      {"neither VALUES nor query", "INSERT INTO t", "", "", 0, "",
       {"expected VALUES or a query @ "}},
      {"INSERT without INTO", "INSERT t VALUES (1)", "", "InsertInto", 1,
       "InsertInto[TableRef ValuesClause]",
       {"expected INTO @ t"}},
      {"returning into after a query-less insert",
       "INSERT INTO t (a) VALUES (1) RETURNING a INTO :x", "", "", 1,
       "InsertStmt[INSERT InsertInto ReturningClause]",
       {}},
  };
  // clang-format on
  run_cases(cases);
}

TEST(DmlStatements, UpdateDeleteAndTargets) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"two set items",
       "UPDATE emp e SET sal = sal * 1.1, (a, b) = (SELECT x, y FROM t) WHERE e.id = 1 "
       "RETURNING sal BULK COLLECT INTO l_tab", "", "", 1,
       "UpdateStmt[UPDATE TableRef SetClause WhereClause ReturningClause]",
       {}},
      {"column list set item",
       "UPDATE t SET (a, b) = (SELECT x, y FROM s)", "", "SetClause", 2,
       "SetClause[SET SetItem[ColumnList = SubqueryExpr]]",
       {}},
      {"missing SET", "UPDATE t a = 1", "", "", 1,
       "UpdateStmt[UPDATE TableRef SetClause]",
       {"expected SET @ ="}},
      {"substitution is no SET target", "UPDATE t SET &c = 1", "", "", 0, "",
       {"expected a column to set @ &c"}},
      {"VALUE(alias) target",
       "UPDATE emp e SET VALUE(e) = obj_t(1)", "", "SetItem", 1, "SetItem[Call = Call]",
       {}},
      {"UPDATE FROM at 19c",
       "UPDATE t SET a = 1 FROM s JOIN u ON s.id = u.id WHERE t.id = s.id", "19c", "FromClause", 1,
       "FromClause[FROM Join]",
       {"w:UPDATE / DELETE with FROM or joins needs Oracle 23ai or later @ FROM"}},
      {"DELETE second FROM at 21c",
       "DELETE FROM t FROM t JOIN s USING (id)", "21c", "", 1,
       "DeleteStmt[DELETE FROM TableRef FromClause]",
       {"w:UPDATE / DELETE with FROM or joins needs Oracle 23ai or later @ FROM"}},
      {"DELETE second FROM at 23ai",
       "DELETE FROM t FROM t JOIN s USING (id)", "23ai", "", 0, "",
       {}},
      {"DELETE without FROM", "DELETE t WHERE a = 1", "", "", 1,
       "DeleteStmt[DELETE TableRef WhereClause]",
       {}},
      {"collection target holds a query",
       "DELETE FROM TABLE(SELECT c FROM t) x", "", "TableRef", 2,
       "TableRef[CollectionRef[TABLE ( Query )] Alias[x]]",
       {}},
      {"collection target expression",
       "DELETE FROM TABLE(f(1)) x", "", "CollectionRef", 1,
       "CollectionRef[TABLE ( Call )]",
       {}},
      {"partition FOR target",
       "DELETE FROM t PARTITION FOR (1, 2) x WHERE a = 1", "", "TableRef", 2,
       "TableRef[NameRef[t] PartitionExt[PARTITION FOR ( Literal , Literal )] Alias[x]]",
       {}},
      {"subquery target",
       "UPDATE (SELECT a FROM t) v SET a = 1", "", "TableRef", 1,
       "TableRef[SubqueryRef Alias]",
       {}},
      {"unclosed subquery target",
       "UPDATE (SELECT a FROM t SET a = 1", "", "", 0, "",
       {"expected ) @ SET"}},
      {"no table", "DELETE FROM 5", "", "TableRef", 1, "TableRef[]", {"expected a table @ 5"}},
      {"AS before a table alias",
       "UPDATE emp AS e SET a = 1", "", "", 0, "",
       {"w:AS before a table alias is not Oracle syntax @ AS"}},
      {"WHERE CURRENT OF",
       "DELETE FROM t WHERE CURRENT OF c1", "", "WhereClause", 1,
       "WhereClause[WHERE CURRENT OF c1]",
       {}},
      {"WHERE CURRENT OF a number",
       "DELETE FROM t WHERE CURRENT OF 5", "", "", 0, "",
       {"expected a cursor name @ 5"}},
      {"empty WHERE", "DELETE FROM t WHERE", "", "", 0, "", {"expected an expression @ "}},
      {"db link target with alias",
       "UPDATE s.t@lnk x SET a = 1", "", "TableRef", 2,
       "TableRef[NameRef[s . t @ lnk] Alias[x]]",
       {}},
  };
  // clang-format on
  run_cases(cases);
}

TEST(DmlStatements, ReturningAndErrorLogging) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"OLD and NEW markers at 19c",
       "UPDATE t SET a = 1 RETURNING OLD a, NEW a INTO x, y", "19c", "ReturningClause", 1,
       "ReturningClause[RETURNING OLD NameRef , NEW NameRef INTO NameRef , NameRef]",
       {"w:RETURNING OLD / NEW needs Oracle 23ai or later @ OLD"}},
      {"OLD and NEW markers at 23ai",
       "UPDATE t SET a = 1 RETURNING OLD a, NEW a INTO x, y", "23ai", "", 0, "",
       {}},
      {"marker on a later item only",
       "DELETE FROM t RETURNING a, NEW b INTO x, y", "21c", "ReturningClause", 1,
       "ReturningClause[RETURNING NameRef , NEW NameRef INTO NameRef , NameRef]",
       {"w:RETURNING OLD / NEW needs Oracle 23ai or later @ NEW"}},
      {"old, new are columns",
       "UPDATE t SET a = 1 RETURNING old, new INTO x, y", "19c", "ReturningClause", 1,
       "ReturningClause[RETURNING NameRef , NameRef INTO NameRef , NameRef]",
       {}},
      {"old.a is a dotted name", "UPDATE t SET a = 1 RETURNING old.a INTO x", "19c", "", 0, "", {}},
      {"old alone is a column", "DELETE FROM t RETURNING old INTO x", "19c", "", 0, "", {}},
      {"RETURN and BULK without COLLECT",
       "DELETE FROM t RETURN a BULK INTO x", "", "ReturningClause", 1,
       "ReturningClause[RETURN NameRef BULK INTO NameRef]",
       {}},
      {"missing INTO",
       "DELETE FROM t RETURNING a, b", "", "", 0, "",
       {"expected INTO after RETURNING @ "}},
      {"full error logging",
       "INSERT INTO t VALUES (1) LOG ERRORS INTO err$_t ('load 1') REJECT LIMIT UNLIMITED", "",
       "ErrorLogging", 1,
       "ErrorLogging[LOG ERRORS INTO NameRef ( Literal ) REJECT LIMIT UNLIMITED]",
       {}},
      {"REJECT without LIMIT",
       "DELETE FROM t LOG ERRORS REJECT 10", "", "ErrorLogging", 1,
       "ErrorLogging[LOG ERRORS REJECT Literal]",
       {"expected LIMIT @ 10"}},
      {"unclosed tag", "DELETE FROM t LOG ERRORS ('x'", "", "", 0, "", {"expected ) @ "}},
      {"LOG alone is the table's alias", "DELETE FROM t LOG", "", "TableRef", 1,
       "TableRef[NameRef Alias]", {}},
      {"LOG ERRORS after the alias LOG", "DELETE FROM t LOG LOG ERRORS", "", "", 1,
       "DeleteStmt[DELETE FROM TableRef ErrorLogging]", {}},
  };
  // clang-format on
  run_cases(cases);
}

TEST(DmlStatements, CallAndLock) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"call with INTO", "CALL f(2) INTO :result", "", "", 1,
       "CallStmt[CALL Call INTO BindRef]",
       {}},
      {"quoted routine", "CALL \"Proc\"()", "", "", 1, "CallStmt[CALL Call]", {}},
      {"number is no routine", "CALL 5", "", "", 0, "", {"expected a routine to call @ 5"}},
      {"substitution routine with its owner", "CALL &o..p(1)", "", "", 1, "CallStmt[CALL Call]",
       {}},
      {"substitution as the whole routine", "CALL &p", "", "", 1, "CallStmt[CALL NameRef]", {}},
      {"lock two tables",
       "LOCK TABLE emp, dept IN EXCLUSIVE MODE NOWAIT", "", "", 1,
       "LockTableStmt[LOCK TABLE TableRef , TableRef IN EXCLUSIVE MODE NOWAIT]",
       {}},
      {"lock a partition",
       "LOCK TABLE sales PARTITION (q1) IN SHARE MODE", "", "TableRef", 1,
       "TableRef[NameRef PartitionExt]",
       {}},
  };
  // clang-format on
  run_cases(cases);
}

TEST(DdlStatements, CreateKinds) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"view with trailing WITH READ ONLY",
       "CREATE OR REPLACE FORCE EDITIONABLE VIEW v (a, b) AS SELECT 1, 2 FROM dual WITH READ ONLY",
       "", "", 1,
       "CreateView[CREATE OR REPLACE FORCE EDITIONABLE VIEW ObjectName ColumnList AS Query WITH "
       "READ ONLY]",
       {}},
      {"view without AS",
       "CREATE VIEW v (a) BEQUEATH DEFINER", "", "", 1,
       "CreateView[CREATE VIEW ObjectName ColumnList SkippedClause]",
       {"expected AS @ "}},
      {"private temporary table at 12.2",
       "CREATE PRIVATE TEMPORARY TABLE ora$ptt_x (a NUMBER) ON COMMIT DROP DEFINITION", "12.2", "",
       1,
       "CreateTable[CREATE PRIVATE TEMPORARY TABLE ObjectName TableElements ON COMMIT DROP "
       "DEFINITION]",
       {"w:private temporary tables need Oracle 18c or later @ TABLE"}},
      {"private temporary table at 18c",
       "CREATE PRIVATE TEMPORARY TABLE ora$ptt_x (a NUMBER) ON COMMIT DROP DEFINITION", "18c", "",
       0, "",
       {}},
      {"two gates in order",
       "CREATE PRIVATE TEMPORARY TABLE IF NOT EXISTS x (a NUMBER)", "12.2", "", 0, "",
       {"w:private temporary tables need Oracle 18c or later @ TABLE",
        "w:IF [NOT] EXISTS needs Oracle 23ai or later @ IF"}},
      {"IF NOT EXISTS at 23ai", "CREATE TABLE IF NOT EXISTS t (a NUMBER)", "23ai", "", 0, "", {}},
      {"options then AS query",
       "CREATE TABLE t (a NUMBER) TABLESPACE users PCTFREE 10 AS SELECT * FROM s", "", "", 1,
       "CreateTable[CREATE TABLE ObjectName TableElements SkippedClause AS Query]",
       {}},
      {"AS parenthesised query",
       "CREATE TABLE t AS (SELECT 1 FROM dual)", "", "", 1,
       "CreateTable[CREATE TABLE ObjectName AS Query]",
       {}},
      {"object table",
       "CREATE TABLE t OF person_t (PRIMARY KEY (id))", "", "", 1,
       "CreateTable[CREATE TABLE ObjectName OF person_t ( PRIMARY KEY ( id ) )]",
       {}},
      {"stray parenthesis",
       "CREATE TABLE t (a NUMBER))", "", "", 2,
       "CreateTable[CREATE TABLE ObjectName[NameRef] TableElements[( ColumnDef )] SkippedClause[] "
       ")]",
       {}},
      {"sharing",
       "CREATE TABLE t SHARING = METADATA (a NUMBER)", "", "", 1,
       "CreateTable[CREATE TABLE ObjectName SHARING = METADATA TableElements]",
       {}},
      {"index on expressions at 19c",
       "CREATE UNIQUE INDEX IF NOT EXISTS i ON t (a DESC, UPPER(b)) TABLESPACE x", "19c", "", 2,
       "CreateIndex[CREATE UNIQUE INDEX IF NOT EXISTS ObjectName[NameRef] ON ObjectName[NameRef] "
       "ColumnList[( NameRef DESC , Call )] SkippedClause[TABLESPACE x]]",
       {"w:IF [NOT] EXISTS needs Oracle 23ai or later @ IF"}},
      {"index without ON", "CREATE INDEX i t (a)", "", "", 0, "", {"expected ON @ t"}},
      {"index key list not closed",
       "CREATE INDEX i ON t (a b)", "", "", 0, "",
       {"expected ) @ b", "unexpected tokens after the statement @ )"}},
      {"synonym",
       "CREATE PUBLIC SYNONYM s FOR hr.emp", "", "", 1,
       "CreateSynonym[CREATE PUBLIC SYNONYM ObjectName FOR ObjectName]",
       {}},
      {"synonym without FOR", "CREATE SYNONYM s hr.emp", "", "", 0, "", {"expected FOR @ hr"}},
      {"sequence",
       "CREATE SEQUENCE s START WITH 1 INCREMENT BY 1", "", "", 1,
       "CreateSequence[CREATE SEQUENCE ObjectName START WITH 1 INCREMENT BY 1]",
       {}},
      {"not modelled",
       "CREATE DATABASE LINK x CONNECT TO u IDENTIFIED BY p", "", "", 0, "",
       {"w:statement kind not modelled: kept as tokens @ DATABASE"}},
      {"lone OR",
       "CREATE OR TABLE t (a NUMBER)", "", "", 0, "",
       {"w:statement kind not modelled: kept as tokens @ OR"}},
      {"materialized view log",
       "CREATE MATERIALIZED VIEW LOG ON t WITH ROWID", "", "", 1,
       "OtherStmt[CREATE MATERIALIZED VIEW LOG ON t WITH ROWID]",
       {"w:statement kind not modelled: kept as tokens @ MATERIALIZED"}},
      {"materialized view named log",
       "CREATE MATERIALIZED VIEW log AS SELECT 1 FROM dual", "", "", 1,
       "CreateMview[CREATE MATERIALIZED VIEW ObjectName AS Query]",
       {}},
      {"materialized view refresh options",
       "CREATE MATERIALIZED VIEW mv (a) BUILD IMMEDIATE REFRESH FAST ON COMMIT "
       "ENABLE QUERY REWRITE AS SELECT a FROM t", "", "", 1,
       "CreateMview[CREATE MATERIALIZED VIEW ObjectName ColumnList SkippedClause AS Query]",
       {}},
      {"materialized view over a parenthesised query",
       "CREATE MATERIALIZED VIEW mv AS (SELECT 1 FROM dual)", "", "", 1,
       "CreateMview[CREATE MATERIALIZED VIEW ObjectName AS Query]",
       {}},
  };
  // clang-format on
  run_cases(cases);
}

TEST(DdlStatements, TableElements) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"identity, sized, virtual columns and a constraint at 11.2",
       "CREATE TABLE t (id NUMBER GENERATED ALWAYS AS IDENTITY (START WITH 1), name VARCHAR2(30 "
       "CHAR) NOT NULL, total AS (price * qty) VIRTUAL, CONSTRAINT pk PRIMARY KEY (id))", "11.2",
       "TableElements", 2,
       "TableElements[( ColumnDef[id TypeName GENERATED ALWAYS AS IDENTITY SkippedClause] , "
       "ColumnDef[name TypeName NOT NULL] , ColumnDef[total AS ParenExpr VIRTUAL] , "
       "Constraint[CONSTRAINT pk PRIMARY KEY ( id )] )]",
       {"w:identity columns need Oracle 12.1 or later @ GENERATED",
        "w:identity options kept as tokens @ ("}},
      {"identity at 12.1",
       "CREATE TABLE t (id NUMBER GENERATED ALWAYS AS IDENTITY (START WITH 1))", "12.1", "", 0, "",
       {"w:identity options kept as tokens @ ("}},
      {"BY DEFAULT ON NULL at 12.0",
       "CREATE TABLE t (id NUMBER GENERATED BY DEFAULT ON NULL AS IDENTITY)", "12.0", "", 0, "",
       {"w:identity columns need Oracle 12.1 or later @ GENERATED"}},
      {"short identity form at 11.2",
       "CREATE TABLE t (id NUMBER GENERATED AS IDENTITY)", "11.2", "", 0, "",
       {"w:identity columns need Oracle 12.1 or later @ GENERATED"}},
      {"virtual column never warns",
       "CREATE TABLE t (a NUMBER, b GENERATED ALWAYS AS (a + 1))", "11.2", "", 0, "",
       {}},
      {"inline CHECK warns",
       "CREATE TABLE t (a NUMBER CHECK (a > 0))", "", "ColumnDef", 1,
       "ColumnDef[a TypeName CHECK SkippedClause]",
       {"w:column option kept as tokens @ ("}},
      {"DEFAULT ON NULL then NOT NULL",
       "CREATE TABLE t (a NUMBER DEFAULT ON NULL 0 NOT NULL)", "", "ColumnDef", 1,
       "ColumnDef[a TypeName DEFAULT ON NULL Literal NOT NULL]",
       {}},
      {"REFERENCES list",
       "CREATE TABLE t (a NUMBER REFERENCES p (id) ON DELETE CASCADE)", "", "ColumnDef", 1,
       "ColumnDef[a TypeName REFERENCES ObjectName ColumnList ON DELETE CASCADE]",
       {}},
      {"quoted column and quoted type",
       "CREATE TABLE t (\"a\" \"MyType\")", "", "ColumnDef", 1,
       "ColumnDef[\"a\" TypeName]",
       {}},
      {"a column named REF is a constraint",
       "CREATE TABLE t (ref NUMBER)", "", "TableElements", 1,
       "TableElements[( Constraint )]",
       {}},
      {"empty list", "CREATE TABLE t ()", "", "TableElements", 1, "TableElements[( Error )]",
       {"expected a column or a constraint @ )"}},
      {"double comma",
       "CREATE TABLE t (a NUMBER, , b NUMBER)", "", "TableElements", 1,
       "TableElements[( ColumnDef , , ColumnDef )]",
       {"expected a column or a constraint @ ,"}},
      {"bad element",
       "CREATE TABLE t (5 x (y, z), b NUMBER)", "", "TableElements", 2,
       "TableElements[( Error[5 x ( y , z )] , ColumnDef[b TypeName] )]",
       {"expected a column or a constraint @ 5"}},
      {"list not closed", "CREATE TABLE t (a NUMBER", "", "", 0, "",
       {"expected ) after the columns @ "}},
  };
  // clang-format on
  run_cases(cases);
}

TEST(DdlStatements, ViewColumnsAlterAndComment) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"view column words and constraint",
       "CREATE VIEW v (a, b INVISIBLE, c UNIQUE RELY DISABLE NOVALIDATE, CONSTRAINT v_pk PRIMARY "
       "KEY (a) RELY DISABLE NOVALIDATE) AS SELECT 1, 2, 3 FROM dual", "", "ColumnList", 1,
       "ColumnList[( a , b INVISIBLE , c UNIQUE RELY DISABLE NOVALIDATE , Constraint )]",
       {}},
      {"view column that is no name",
       "CREATE VIEW v (a, 1) AS SELECT 1 FROM dual", "", "", 0, "",
       {"expected a column name @ 1", "expected AS @ )"}},
      {"add elements",
       "ALTER TABLE t ADD (a NUMBER, CONSTRAINT t_pk PRIMARY KEY (a))", "", "TableElements", 1,
       "TableElements[( ColumnDef , Constraint )]",
       {}},
      {"add constraint",
       "ALTER TABLE t ADD CONSTRAINT t_fk FOREIGN KEY (b) REFERENCES p (id)", "", "", 1,
       "AlterTable[ALTER TABLE ObjectName ADD Constraint]",
       {}},
      {"drop then add",
       "ALTER TABLE t DROP COLUMN a, ADD b DATE", "", "", 2,
       "AlterTable[ALTER TABLE ObjectName[NameRef] SkippedClause[DROP COLUMN a ,] ADD "
       "ColumnDef[b TypeName]]",
       {}},
      {"modify without parentheses",
       "ALTER TABLE t MODIFY a NUMBER(10)", "", "", 2,
       "AlterTable[ALTER TABLE ObjectName[NameRef] SkippedClause[MODIFY a NUMBER ( 10 )]]",
       {}},
      {"modify list",
       "ALTER TABLE t MODIFY (a NOT NULL)", "", "ColumnDef", 1, "ColumnDef[a NOT NULL]",
       {}},
      {"add partition is no column",
       "ALTER TABLE t ADD PARTITION p2 VALUES LESS THAN (100), ADD c NUMBER", "", "", 1,
       "AlterTable[ALTER TABLE ObjectName ADD SkippedClause ADD ColumnDef]",
       {}},
      {"add period for",
       "ALTER TABLE t ADD PERIOD FOR valid_time", "", "", 1,
       "AlterTable[ALTER TABLE ObjectName ADD SkippedClause]",
       {}},
      {"stray parenthesis",
       "ALTER TABLE t MOVE) ADD c NUMBER", "", "", 1,
       "AlterTable[ALTER TABLE ObjectName SkippedClause ) ADD ColumnDef]",
       {}},
      {"alter if exists at 21c",
       "ALTER TABLE IF EXISTS t ADD c NUMBER", "21c", "", 0, "",
       {"w:IF [NOT] EXISTS needs Oracle 23ai or later @ IF"}},
      {"comment on column",
       "COMMENT ON COLUMN emp.sal IS 'Monthly salary'", "", "", 1,
       "CommentStmt[COMMENT ON COLUMN ObjectName IS Literal]",
       {}},
      {"comment on quoted table",
       "COMMENT ON TABLE \"Emp\" IS 'x'", "", "", 1,
       "CommentStmt[COMMENT ON TABLE ObjectName IS Literal]",
       {}},
      {"comment on materialized view",
       "COMMENT ON MATERIALIZED VIEW mv IS 'x'", "", "", 1,
       "CommentStmt[COMMENT ON MATERIALIZED VIEW ObjectName IS Literal]",
       {}},
      {"comment without IS", "COMMENT ON TABLE emp 'x'", "", "", 1,
       "CommentStmt[COMMENT ON TABLE emp ObjectName Error]",
       {"expected a name @ 'x'"}},
  };
  // clang-format on
  run_cases(cases);
}

TEST(QueryClauses, ModelPivotMatchRecognize) {
  // clang-format off
  const std::vector<ShapeCase> cases = {
      {"model rules",
       "SELECT * FROM t MODEL DIMENSION BY (d) MEASURES (s) RULES (s[1] = 10)", "", "ModelClause",
       2,
       "ModelClause[MODEL ModelColumns[DIMENSION BY ( NameRef )] ModelColumns[MEASURES ( NameRef "
       ")] ModelRules[RULES ( ModelRule )]]",
       {}},
      {"rules without parentheses",
       "SELECT * FROM t MODEL DIMENSION BY (d) MEASURES (s) RULES s[1] = 10", "", "", 0, "",
       {"expected ( before the rules @ s"}},
      {"rule without =",
       "SELECT * FROM t MODEL DIMENSION BY (d) MEASURES (s) RULES (s[1] 10)", "", "ModelRule", 1,
       "ModelRule[CellRef Literal]",
       {"expected = in the rule @ 10"}},
      {"rule list without RULES",
       "SELECT * FROM t MODEL DIMENSION BY (d) MEASURES (s) (s[1] = 1)", "", "ModelRules", 1,
       "ModelRules[( ModelRule )]",
       {}},
      {"empty rules and trailing comma",
       "SELECT * FROM t MODEL DIMENSION BY (d) MEASURES (s) RULES ITERATE (3) UNTIL (s[1] > 5) "
       "(s[1] = 1,)", "", "ModelRules", 1,
       "ModelRules[RULES ITERATE ( Literal ) UNTIL ( BinaryExpr ) ( ModelRule , )]",
       {}},
      {"options and ordered rule",
       "SELECT * FROM t MODEL RETURN UPDATED ROWS PARTITION BY (p) DIMENSION BY (d) MEASURES (s "
       "AS sales) IGNORE NAV RULES UPSERT ALL AUTOMATIC ORDER (UPDATE s[1] ORDER BY d = 1)", "",
       "ModelRule", 2,
       "ModelRule[UPDATE CellRef[NameRef [ Literal ]] OrderBy[ORDER BY OrderItem] = Literal[1]]",
       {}},
      {"reference model keeps its own columns",
       "SELECT * FROM t MODEL REFERENCE r ON (SELECT d, v FROM t) DIMENSION BY (d) MEASURES (v) "
       "PARTITION BY (p) DIMENSION BY (d) MEASURES (s) RULES (s[1] = r.v[1])", "", "ModelClause", 1,
       "ModelClause[MODEL ModelReference ModelColumns ModelColumns ModelColumns ModelRules]",
       {}},
      {"reference model without parenthesis",
       "SELECT * FROM t MODEL REFERENCE r ON x DIMENSION BY (d) MEASURES (s) RULES ()", "", "", 0,
       "",
       {"expected ( @ x"}},
      {"pivot with aliases",
       "SELECT * FROM t PIVOT (SUM(sal) AS total, COUNT(*) cnt FOR deptno IN (10 AS d10, 20 d20))",
       "", "PivotClause", 1,
       "PivotClause[PIVOT ( Call Alias , Call Alias FOR deptno IN ( Literal Alias , Literal Alias "
       ") )]",
       {}},
      {"pivot xml any",
       "SELECT * FROM t PIVOT XML (SUM(sal) FOR (deptno, job) IN (ANY, ANY))", "", "PivotClause", 1,
       "PivotClause[PIVOT XML ( Call FOR ColumnList IN ( ANY , ANY ) )]",
       {}},
      {"pivot xml query",
       "SELECT * FROM t PIVOT XML (SUM(sal) FOR deptno IN (SELECT deptno FROM dept))", "",
       "PivotClause", 1,
       "PivotClause[PIVOT XML ( Call FOR deptno IN ( Query ) )]",
       {}},
      {"pivot missing FOR",
       "SELECT * FROM t PIVOT (SUM(sal) deptno IN (10))", "", "", 0, "",
       {"expected FOR in PIVOT @ IN", "expected IN in PIVOT @ ("}},
      {"pivot without parenthesis",
       "SELECT * FROM t PIVOT SUM(sal)", "", "PivotClause", 1, "PivotClause[PIVOT]",
       {"expected ( after PIVOT @ SUM", "unexpected tokens after the statement @ ("}},
      {"unpivot include nulls",
       "SELECT * FROM t UNPIVOT INCLUDE NULLS (sal FOR month IN (jan AS 'JAN', feb AS 'FEB'))", "",
       "UnpivotClause", 1,
       "UnpivotClause[UNPIVOT INCLUDE NULLS ( sal FOR month IN ( jan AS Literal , feb AS Literal "
       ") )]",
       {}},
      {"unpivot column lists",
       "SELECT * FROM t UNPIVOT ((a, b) FOR k IN ((a1, b1) AS 1, (a2, b2) AS 2))", "",
       "UnpivotClause", 1,
       "UnpivotClause[UNPIVOT ( ColumnList FOR k IN ( ColumnList AS Literal , ColumnList AS "
       "Literal ) )]",
       {}},
      {"unpivot EXCLUDE without NULLS",
       "SELECT * FROM t UNPIVOT EXCLUDE (v FOR k IN (c))", "", "", 0, "",
       {"expected NULLS @ ("}},
      {"unpivot unclosed in list",
       "SELECT * FROM t UNPIVOT (v FOR k IN (c1 c2))", "", "", 0, "",
       {"expected ) @ c2", "unexpected tokens after the statement @ )"}},
      {"match_recognize full clause at 12.0",
       "SELECT * FROM t MATCH_RECOGNIZE (PARTITION BY a ORDER BY b MEASURES FIRST(x) AS fx, "
       "LAST(y) ly ONE ROW PER MATCH AFTER MATCH SKIP PAST LAST ROW PATTERN (A B+ C*) "
       "SUBSET u = (a, b) DEFINE b AS b.x > PREV(b.x), c AS c.x < PREV(c.x))", "12.0",
       "MatchRecognize", 1,
       "MatchRecognize[MATCH_RECOGNIZE ( PartitionBy OrderBy MrMeasures MrRowsPerMatch "
       "MrAfterMatch MrPattern MrSubset MrDefine )]",
       {"w:MATCH_RECOGNIZE needs Oracle 12.1 or later @ MATCH_RECOGNIZE"}},
      {"match_recognize at 12.1",
       "SELECT * FROM t MATCH_RECOGNIZE (PATTERN (A) DEFINE A AS 1 = 1)", "12.1", "", 0, "",
       {}},
      {"pattern without parenthesis",
       "SELECT * FROM t MATCH_RECOGNIZE (PATTERN A B)", "", "MatchRecognize", 2,
       "MatchRecognize[MATCH_RECOGNIZE ( MrPattern[PATTERN] Error[A] Error[B] )]",
       {"expected ( after PATTERN @ A", "unexpected token in MATCH_RECOGNIZE @ B"}},
      {"nested pattern kept whole",
       "SELECT * FROM t MATCH_RECOGNIZE (PATTERN (A (B | C)+ {- D -} E{2,3}))", "", "MrPattern", 1,
       "MrPattern[PATTERN SkippedClause]",
       {}},
      {"ORDER BY after ONE ROW PER MATCH is swallowed",
       "SELECT * FROM t MATCH_RECOGNIZE (ONE ROW PER MATCH ORDER BY x PATTERN (A))", "",
       "MrRowsPerMatch", 1,
       "MrRowsPerMatch[ONE ROW PER MATCH ORDER BY x]",
       {}},
      {"define without AS",
       "SELECT * FROM t MATCH_RECOGNIZE (DEFINE a b > 1)", "", "MrDefinition", 1,
       "MrDefinition[a BinaryExpr]",
       {"expected AS @ b"}},
      {"unclosed clause",
       "SELECT * FROM t MATCH_RECOGNIZE (PATTERN (A)", "", "", 0, "",
       {"expected ) to close MATCH_RECOGNIZE @ "}},
  };
  // clang-format on
  run_cases(cases);
}

}  // namespace
