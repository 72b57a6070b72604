// Query grammar: tree shapes, exact diagnostics, version gates and deep nesting.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/lexer.hpp"
#include "lexer/oracle_version.hpp"
#include "parser/parse_entries.hpp"
#include "parser/parser.hpp"
#include "small_stack.hpp"
#include "sql/queries.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"

namespace {

using veltrane::lexer::Diagnostic;
using veltrane::lexer::OracleVersion;
using veltrane::lexer::ParseOptions;
using veltrane::lexer::Severity;
using veltrane::parser::ParsedStatement;
using veltrane::syntax::NodeKind;
using veltrane::syntax::Tree;
using veltrane::test_support::run_on_small_stack;

struct Parsed {
  std::string text;
  ParsedStatement result;
};

Parsed parse(std::string text, std::string_view version = "26ai") {
  const auto lexed = veltrane::lexer::lex_text(text);
  ParseOptions options;
  options.version = *veltrane::lexer::parse_oracle_version(version);
  auto result = veltrane::parser::parse_statement(text, lexed.tokens, options);
  return {std::move(text), std::move(result)};
}

bool is_trivia_token(const Tree& tree, uint32_t token) {
  return veltrane::syntax::is_trivia(tree.tokens[token].kind);
}

// Kind[child, child, ...]: tokens as their text, trivia left out; below `depth`
// levels a node is written by its kind alone.
void render(const Tree& tree, uint32_t node, std::string_view text, int depth, std::string& out) {
  out += veltrane::syntax::kind_name(tree.nodes[node].kind);
  if (depth == 0) return;
  const auto entries = veltrane::syntax::children(tree, node);
  bool any = false;
  for (const auto entry : entries) {
    const uint32_t index = veltrane::syntax::entry_index(entry);
    if (veltrane::syntax::is_token_entry(entry) && is_trivia_token(tree, index)) continue;
    out += any ? ", " : "[";
    any = true;
    if (veltrane::syntax::is_token_entry(entry)) {
      const auto& token = tree.tokens[index];
      out += text.substr(token.start, token.end - token.start);
    } else {
      render(tree, index, text, depth - 1, out);
    }
  }
  if (any) out += "]";
}

// The first node of the kind in pre-order, or the root.
uint32_t find(const Tree& tree, NodeKind kind) {
  for (const uint32_t node : veltrane::syntax::descendant_nodes(tree, tree.root)) {
    if (tree.nodes[node].kind == veltrane::syntax::syntax_kind(kind)) return node;
  }
  return tree.root;
}

// "message @ token text", "@END" for the empty span at the end of the item; warnings
// start with "W ".
std::vector<std::string> diagnostics(const Parsed& parsed) {
  std::vector<std::string> out;
  for (const Diagnostic& d : parsed.result.diagnostics) {
    std::string line = d.severity == Severity::Warning ? "W " : "";
    line += d.message;
    line += " @ ";
    line += d.start == parsed.text.size() && d.start == d.end
                ? std::string("END")
                : parsed.text.substr(d.start, d.end - d.start);
    out.push_back(std::move(line));
  }
  return out;
}

std::string token_text(const Parsed& parsed) {
  std::string joined;
  for (const auto& token : parsed.result.tree.tokens) {
    joined += parsed.text.substr(token.start, token.end - token.start);
  }
  return joined;
}

struct ShapeCase {
  const char* name;
  const char* sql;
  NodeKind node;  // the first node of this kind is rendered
  int depth;
  const char* expected;
};

const ShapeCase SHAPE_CASES[] = {
    {"set operators nest left",
     "SELECT 1 FROM dual UNION SELECT 2 FROM dual MINUS SELECT 3 FROM dual ORDER BY 1 OFFSET 10 "
     "ROWS FETCH FIRST 5 ROWS ONLY",
     NodeKind::Query, 3,
     "Query[SetOp[SetOp[QueryBlock, UNION, QueryBlock], MINUS, QueryBlock[SELECT, SelectList, "
     "FromClause]], OrderBy[ORDER, BY, OrderItem[Literal]], OffsetClause[OFFSET, Literal[10], "
     "ROWS], FetchClause[FETCH, FIRST, Literal[5], ROWS, ONLY]]"},
    {"union all with a parenthesised operand",
     "(SELECT 1 FROM dual) UNION ALL (SELECT 2 FROM dual)", NodeKind::Query, 2,
     "Query[SetOp[SubqueryExpr, UNION, ALL, SubqueryExpr]]"},
    {"cte with search and cycle",
     "WITH q (a, b) AS (SELECT 1, 2 FROM dual) SEARCH DEPTH FIRST BY a SET ord CYCLE a SET c TO "
     "'Y' DEFAULT 'N' SELECT * FROM q",
     NodeKind::Cte, 2,
     "Cte[q, ColumnList[(, a, ,, b, )], AS, (, Query[QueryBlock], ), SearchClause[SEARCH, DEPTH, "
     "FIRST, BY, "
     "OrderItem, SET, ord], CycleClause[CYCLE, a, SET, c, TO, Literal, DEFAULT, Literal]]"},
    {"lexical between ctes replaces the comma",
     "WITH a AS (SELECT 1 FROM dual) &more b AS (SELECT 2 FROM dual) SELECT * FROM b",
     NodeKind::WithClause, 1, "WithClause[WITH, Cte, Lexical, Cte]"},
    {"fetch with ties and percent", "SELECT 1 FROM t FETCH FIRST 10 PERCENT ROWS WITH TIES",
     NodeKind::FetchClause, 1, "FetchClause[FETCH, FIRST, Literal, PERCENT, ROWS, WITH, TIES]"},
    {"fetch without a count", "SELECT 1 FROM t FETCH NEXT ROW ONLY", NodeKind::FetchClause, 1,
     "FetchClause[FETCH, NEXT, ROW, ONLY]"},
    {"clauses in any order", "SELECT a FROM t GROUP BY a WHERE b = 1 HAVING 1 = 1 WHERE c = 2",
     NodeKind::QueryBlock, 1,
     "QueryBlock[SELECT, SelectList, FromClause, GroupBy, WhereClause, Having, WhereClause]"},
    {"one hierarchical node for both orders",
     "SELECT id FROM t CONNECT BY NOCYCLE PRIOR id = parent START WITH id = 1",
     NodeKind::Hierarchical, 1,
     "Hierarchical[CONNECT, BY, NOCYCLE, BinaryExpr, START, WITH, BinaryExpr]"},
    {"window clause is kept up to ORDER", "SELECT a FROM t WINDOW w AS (ORDER BY b) ORDER BY c",
     NodeKind::Query, 2,
     "Query[QueryBlock[SELECT, SelectList, FromClause, SkippedClause], OrderBy[ORDER, BY, "
     "OrderItem]]"},
    {"bulk collect into", "SELECT a BULK COLLECT INTO x, y FROM t", NodeKind::IntoClause, 1,
     "IntoClause[BULK, COLLECT, INTO, NameRef, ,, NameRef]"},
    {"values block", "VALUES (1, 2), (3, 4)", NodeKind::Query, 2,
     "Query[ValuesClause[VALUES, ExprList, ,, ExprList]]"},
    {"substitution between select items", "SELECT a &b c FROM t", NodeKind::SelectList, 1,
     "SelectList[SelectItem, Lexical, SelectItem]"},
    {"grouping sets",
     "SELECT a FROM t GROUP BY GROUPING SETS ((a, b), (c), ()), ROLLUP (a, CUBE (b))",
     NodeKind::GroupBy, 2,
     "GroupBy[GROUP, BY, GroupingSets[GROUPING, SETS, (, ExprList, ,, ParenExpr, ,, ExprList, )], "
     ",, Rollup[ROLLUP, (, NameRef, ,, Cube, )]]"},
    {"rollup without a parenthesis is a name", "SELECT 1 FROM t GROUP BY rollup + 1",
     NodeKind::GroupBy, 1, "GroupBy[GROUP, BY, BinaryExpr]"},
    {"for update of with skip locked", "SELECT * FROM t FOR UPDATE OF t.a, t.b SKIP LOCKED",
     NodeKind::SelectStmt, 1, "SelectStmt[Query, ForUpdate]"},
    {"table ref suffixes", "SELECT * FROM sales PARTITION (p1) SAMPLE (5) AS OF SCN 100 s",
     NodeKind::TableRef, 1, "TableRef[NameRef, PartitionExt, SampleClause, Flashback, Alias]"},
    {"versions and as of in one flashback",
     "SELECT * FROM t VERSIONS BETWEEN SCN 1 AND 2 AS OF SCN 3 x", NodeKind::TableRef, 2,
     "TableRef[NameRef[t], Flashback[VERSIONS, BETWEEN, SCN, Literal, AND, Literal, AS, OF, SCN, "
     "Literal], Alias[x]]"},
    {"versions timestamp keeps the literal",
     "SELECT * FROM t VERSIONS TIMESTAMP BETWEEN TIMESTAMP '2020-01-01' AND SYSTIMESTAMP",
     NodeKind::Flashback, 1, "Flashback[VERSIONS, TIMESTAMP, BETWEEN, Literal, AND, NameRef]"},
    {"paren join, paren substitution, paren table",
     "SELECT * FROM (a JOIN b ON a.x = b.x) j, (&t), (a)", NodeKind::FromClause, 2,
     "FromClause[FROM, ParenJoin[(, Join, )], Alias[j], ,, TableRef[SubqueryRef], ,, "
     "ParenJoin[(, TableRef, )]]"},
    {"paren join around a subquery", "SELECT * FROM ((SELECT 1 FROM dual) x JOIN y ON 1 = 1)",
     NodeKind::FromClause, 4,
     "FromClause[FROM, ParenJoin[(, Join[TableRef[SubqueryRef, Alias], JOIN, TableRef[NameRef], "
     "JoinOn[ON, BinaryExpr]], )]]"},
    {"doubled parentheses around a subquery", "SELECT * FROM ((SELECT 1 FROM dual))",
     NodeKind::TableRef, 4, "TableRef[SubqueryRef[(, Query[SubqueryExpr[(, Query, )]], )]]"},
    {"joins nest left", "SELECT * FROM a JOIN b ON p JOIN c USING (k)", NodeKind::Join, 2,
     "Join[Join[TableRef, JOIN, TableRef, JoinOn], JOIN, TableRef[NameRef], JoinUsing[USING, "
     "ColumnList]]"},
    {"join forms", "SELECT * FROM a NATURAL LEFT OUTER JOIN b CROSS APPLY f(x) OUTER APPLY g c",
     NodeKind::Join, 1, "Join[Join, OUTER, APPLY, TableRef]"},
    {"partitioned outer join", "SELECT * FROM t x PARTITION BY (d) RIGHT OUTER JOIN u ON x.a = u.a",
     NodeKind::Join, 2,
     "Join[TableRef[NameRef, Alias, PartitionBy], RIGHT, OUTER, JOIN, TableRef[NameRef], "
     "JoinOn[ON, BinaryExpr]]"},
    {"substitution before a join operator", "SELECT * FROM a &v JOIN b ON 1 = 1", NodeKind::Join, 1,
     "Join[TableRef, Lexical, JOIN, TableRef, JoinOn]"},
    {"collections, lateral, only and table functions",
     "SELECT * FROM TABLE(v) (+), LATERAL (SELECT 1 FROM dual), ONLY (v1), pkg.fn(1) t",
     NodeKind::FromClause, 2,
     "FromClause[FROM, TableRef[CollectionRef], ,, TableRef[LateralRef], ,, TableRef[ONLY, (, "
     "NameRef, )], ,, TableRef[CollectionRef, Alias]]"},
    {"json_table", "SELECT * FROM JSON_TABLE(doc, '$' COLUMNS (a NUMBER PATH '$.a')) jt",
     NodeKind::TableRef, 1, "TableRef[JsonTable, Alias]"},
    {"database link in the name", "SELECT * FROM s.t@link x", NodeKind::TableRef, 2,
     "TableRef[NameRef[s, ., t, @, link], Alias[x]]"},
    {"aliases", "SELECT 1 AS FROM, 2 y, 3 \"Z\" FROM t e", NodeKind::QueryBlock, 4,
     "QueryBlock[SELECT, SelectList[SelectItem[Literal[1], Alias[AS, FROM]], ,, "
     "SelectItem[Literal[2], Alias[y]], ,, SelectItem[Literal[3], Alias[\"Z\"]]], "
     "FromClause[FROM, TableRef[NameRef[t], Alias[e]]]]"},
    {"with function declarations and no cte",
     "WITH FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END; SELECT f FROM dual", NodeKind::Query, 2,
     "Query[WithClause[WITH, DeclareSection], QueryBlock[SELECT, SelectList, FromClause]]"},
    {"subquery inside further parentheses is an expression",
     "SELECT ((SELECT 1 FROM dual) + 1) FROM dual", NodeKind::SelectItem, 2,
     "SelectItem[ParenExpr[(, BinaryExpr, )]]"},
};

TEST(QueryShapes, MatchTheGrammar) {
  for (const auto& c : SHAPE_CASES) {
    SCOPED_TRACE(c.name);
    const Parsed parsed = parse(c.sql);
    EXPECT_EQ(token_text(parsed), parsed.text);
    EXPECT_EQ(diagnostics(parsed), std::vector<std::string>{});
    std::string out;
    render(parsed.result.tree, find(parsed.result.tree, c.node), parsed.text, c.depth, out);
    EXPECT_EQ(out, c.expected);
  }
}

struct DiagnosticCase {
  const char* name;
  const char* sql;
  const char* version;
  std::vector<std::string> expected;
};

const DiagnosticCase DIAGNOSTIC_CASES[] = {
    {"row limiting below 12.1",
     "SELECT 1 FROM t OFFSET 1 ROW FETCH NEXT 1 ROW ONLY",
     "12.0",
     {"W FETCH FIRST / OFFSET needs Oracle 12.1 or later @ OFFSET",
      "W FETCH FIRST / OFFSET needs Oracle 12.1 or later @ FETCH"}},
    {"row limiting at 12.1", "SELECT 1 FROM t OFFSET 1 ROW FETCH NEXT 1 ROW ONLY", "12.1", {}},
    {"except below 21c",
     "SELECT 1 FROM t EXCEPT SELECT 2 FROM t",
     "19c",
     {"W EXCEPT and MINUS ALL / INTERSECT ALL need Oracle 21c or later @ EXCEPT"}},
    {"minus all below 21c",
     "SELECT 1 FROM t MINUS ALL SELECT 2 FROM t",
     "19c",
     {"W EXCEPT and MINUS ALL / INTERSECT ALL need Oracle 21c or later @ MINUS"}},
    {"set operators that never warn",
     "SELECT 1 FROM t UNION ALL SELECT 2 FROM t MINUS SELECT 3 FROM t INTERSECT DISTINCT SELECT 4 "
     "FROM t",
     "19c",
     {}},
    {"intersect all at 21c", "SELECT 1 FROM t INTERSECT ALL SELECT 2 FROM t", "21c", {}},
    {"select without from below 23ai",
     "SELECT 1",
     "19c",
     {"W SELECT without FROM needs Oracle 23ai or later @ END"}},
    {"select without from at 23ai", "SELECT 1", "23ai", {}},
    {"values block below 23ai",
     "VALUES (1)",
     "21c",
     {"W VALUES row constructors need Oracle 23ai or later @ VALUES"}},
    {"values block at 23ai", "VALUES (1), (2)", "23ai", {}},
    {"with function below 12.1",
     "WITH FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END; SELECT f FROM dual",
     "12.0",
     {"W WITH FUNCTION / PROCEDURE needs Oracle 12.1 or later @ FUNCTION"}},
    {"with procedure at 12.1",
     "WITH PROCEDURE p IS BEGIN NULL; END; FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END; "
     "SELECT f FROM dual",
     "12.1",
     {}},
    {"lateral below 12.1",
     "SELECT * FROM LATERAL (SELECT 1 FROM dual)",
     "11.2",
     {"W LATERAL needs Oracle 12.1 or later @ LATERAL"}},
    {"lateral at 12.1", "SELECT * FROM LATERAL (SELECT 1 FROM dual)", "12.1", {}},
    {"apply below 12.1",
     "SELECT * FROM a CROSS APPLY b",
     "12.0",
     {"W CROSS / OUTER APPLY needs Oracle 12.1 or later @ CROSS"}},
    {"apply at 12.1", "SELECT * FROM a OUTER APPLY b", "12.1", {}},
    {"as before a table alias",
     "SELECT 1 FROM t AS e",
     "26ai",
     {"W AS before a table alias is not Oracle syntax @ AS"}},
    {"as at the end of a table item",
     "SELECT 1 FROM t AS",
     "26ai",
     {"W AS before a table alias is not Oracle syntax @ AS", "expected an alias after AS @ END"}},
    {"one quantifier only",
     "SELECT DISTINCT ALL a FROM t",
     "26ai",
     {"expected an expression @ ALL"}},
    {"missing with parenthesis",
     "WITH q AS SELECT 1 FROM dual",
     "26ai",
     {"expected ( before the WITH query @ SELECT"}},
    {"substitution as a cte name",
     "WITH a AS (SELECT 1 FROM dual), &more SELECT 1 FROM a",
     "26ai",
     {"expected a name for the WITH query @ &more"}},
    {"fetch with but no ties",
     "SELECT 1 FROM t FETCH FIRST 5 ROWS WITH",
     "26ai",
     {"expected TIES @ END"}},
    {"bulk collect without into", "SELECT a BULK COLLECT x FROM t", "26ai", {"expected INTO @ x"}},
    {"grouping sets without a parenthesis",
     "SELECT a FROM t GROUP BY GROUPING SETS a",
     "26ai",
     {"expected ( after GROUPING SETS @ a"}},
    {"unclosed rollup", "SELECT a FROM t GROUP BY ROLLUP (a, b", "26ai", {"expected ) @ END"}},
    {"inner without join", "SELECT * FROM a INNER b", "26ai", {"expected JOIN @ b"}},
    {"using a number", "SELECT * FROM a JOIN b USING (1)", "26ai", {"expected a column name @ 1"}},
    {"using without a parenthesis",
     "SELECT * FROM a JOIN b USING k",
     "26ai",
     {"expected ( after USING @ k"}},
    {"column list stops at a dot",
     "SELECT * FROM a JOIN b USING (t.a)",
     "26ai",
     {"expected ) @ ."}},
    {"skip without locked", "SELECT * FROM t FOR UPDATE SKIP", "26ai", {"expected LOCKED @ END"}},
    {"nowait then of",
     "SELECT * FROM t FOR UPDATE NOWAIT OF a",
     "26ai",
     {"unexpected tokens after the statement @ OF"}},
    {"from at the end", "SELECT 1 FROM", "26ai", {"expected a table, view or subquery @ END"}},
    {"sample without a parenthesis",
     "SELECT 1 FROM t SAMPLE 10",
     "26ai",
     {"expected ( after SAMPLE @ 10"}},
    {"versions without between",
     "SELECT 1 FROM t VERSIONS SCN 1 AND 2",
     "26ai",
     {"expected BETWEEN @ 1"}},
    {"not a query block", "SELECT 1 FROM t UNION 1 + 2", "26ai", {"expected SELECT @ 1"}},
    {"unclosed subquery operand",
     "SELECT 1 FROM t UNION (SELECT 2 FROM t",
     "26ai",
     {"expected ) after the subquery @ END"}},
    // A typo must not swallow the statements after it: both skips stop before ";".
    {"window skip stops at a semicolon",
     "SELECT a FROM t WINDOW w AS (x; SELECT 1 FROM t",
     "26ai",
     {"unexpected tokens after the statement @ ;"}},
    {"not a query block stops at a semicolon",
     "SELECT 1 FROM t UNION (1 + 2; 3)",
     "26ai",
     {"expected SELECT @ 1", "expected ) after the subquery @ ;"}},
    {"unclosed paren join",
     "SELECT 1 FROM (a JOIN b ON 1 = 1",
     "26ai",
     {"expected ) after the joined tables @ END"}},
};

TEST(QueryDiagnostics, AreExact) {
  for (const auto& c : DIAGNOSTIC_CASES) {
    SCOPED_TRACE(c.name);
    const Parsed parsed = parse(c.sql, c.version);
    EXPECT_EQ(token_text(parsed), parsed.text);
    EXPECT_EQ(diagnostics(parsed), c.expected);
  }
}

struct QueryStartCase {
  const char* text;
  bool expected;
};

// The parenthesis test decides between a query, an operand and a parenthesised join;
// each outer "(" holds a query only when the level inside it is followed by ")", a set
// operator, ORDER, OFFSET or FETCH, or by nothing.
const QueryStartCase QUERY_START_CASES[] = {
    {"select 1", true},
    {"WITH q AS", true},
    {"((SELECT", true},
    {"\"SELECT\" x", false},
    {"(1", false},
    {"(", false},
    {"((SELECT 1 FROM dual))", true},
    {"((SELECT 1 FROM dual) + 1)", false},
    {"((SELECT 1 FROM dual), 2)", false},
    {"((SELECT 1 FROM dual) x JOIN y ON 1 = 1)", false},
    {"((SELECT 1 FROM dual) UNION (SELECT 2 FROM dual))", true},
    {"((SELECT 1 FROM dual) ORDER BY 1)", true},
    {"(((SELECT 1 FROM dual) MINUS (SELECT 2 FROM dual)) + 1)", false},
    {"(((SELECT 1 FROM dual) MINUS (SELECT 2 FROM dual)))", true},
    {"((SELECT 1 FROM (SELECT 2 FROM dual) x) y)", false},
};

TEST(QueryStart, TellsQueriesFromOperandsAndJoins) {
  for (const auto& c : QUERY_START_CASES) {
    SCOPED_TRACE(c.text);
    const std::string text = c.text;
    const auto lexed = veltrane::lexer::lex_text(text);
    const veltrane::parser::Parser p(text, lexed.tokens, ParseOptions{});
    EXPECT_EQ(veltrane::sql::at_query_start(p), c.expected);
  }
}

std::string repeat(std::string_view piece, int count) {
  std::string out;
  out.reserve(piece.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

struct DeepCase {
  const char* name;
  std::string sql;
  bool too_deep;  // "nesting too deep" expected (once)
};

TEST(QueryDepth, LongAndDeepInputsStayOffTheStack) {
  constexpr int N = 100000;
  std::vector<DeepCase> cases;
  cases.push_back({"many unions", "SELECT 1 FROM t" + repeat(" UNION SELECT 1 FROM t", N), false});
  cases.push_back({"many joins", "SELECT * FROM t" + repeat(" JOIN t ON 1 = 1", N), false});
  cases.push_back({"nested subqueries",
                   repeat("SELECT * FROM (", N) + "SELECT 1 FROM dual" + repeat(")", N), true});
  cases.push_back(
      {"nested paren joins", "SELECT * FROM " + repeat("(", N) + "t" + repeat(")", N), true});
  cases.push_back(
      {"nested grouping sets",
       "SELECT 1 FROM t GROUP BY " + repeat("GROUPING SETS (", N) + "a" + repeat(")", N), true});
  cases.push_back({"nested rollups",
                   "SELECT 1 FROM t GROUP BY " + repeat("ROLLUP (", N) + "a" + repeat(")", N),
                   true});
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Parsed parsed;
    EXPECT_TRUE(run_on_small_stack([&] { parsed = parse(c.sql); }));
    EXPECT_TRUE(token_text(parsed) == parsed.text);
    std::vector<std::string> expected;
    if (c.too_deep) expected.push_back("nesting too deep");
    std::vector<std::string> got;
    for (const auto& d : parsed.result.diagnostics) got.emplace_back(d.message);
    EXPECT_EQ(got, expected);
  }
}

TEST(QueryDepth, TwoHundredQueryLevelsParse) {
  // Query 200 is the 200th open level, so its select item, one level further, gets the
  // message and one Error node up to the ")" that closes that query's parenthesis.
  const std::string level = "SELECT * FROM (";
  const std::string sql = repeat(level, 250) + "SELECT 1 FROM dual" + repeat(")", 250);
  const Parsed parsed = parse(sql);
  EXPECT_EQ(token_text(parsed), parsed.text);
  ASSERT_EQ(parsed.result.diagnostics.size(), 1u);
  EXPECT_EQ(parsed.result.diagnostics[0].message, "nesting too deep");
  EXPECT_EQ(parsed.result.diagnostics[0].start, 199 * level.size() + 7);
  const Tree& tree = parsed.result.tree;
  int errors = 0;
  int queries = 0;
  for (const uint32_t node : veltrane::syntax::descendant_nodes(tree, tree.root)) {
    errors += tree.nodes[node].kind == veltrane::syntax::syntax_kind(NodeKind::Error);
    queries += tree.nodes[node].kind == veltrane::syntax::syntax_kind(NodeKind::Query);
  }
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(queries, 200);
}

}  // namespace
