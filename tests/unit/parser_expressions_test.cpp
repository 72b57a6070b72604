// Expression grammar: tree shapes and exact diagnostics of each rule, run on its own over
// a lexed fragment, plus deep nesting on a small stack.
//
// Trees are written compactly: a node is Kind[children], a token its text; trivia are left
// out. Diagnostics are "message @text", where text is the span's text (empty at the end).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/lexer.hpp"
#include "lexer/oracle_version.hpp"
#include "parser/expressions.hpp"
#include "parser/parse_entries.hpp"
#include "parser/parser.hpp"
#include "small_stack.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"

namespace {

using veltrane::lexer::ParseOptions;
using veltrane::parser::Parser;
using veltrane::syntax::Child;
using veltrane::syntax::NodeKind;
using veltrane::syntax::Tree;
using veltrane::test_support::run_on_small_stack;

using Rule = void (*)(Parser&);

void expr_rule(Parser& p) { veltrane::parser::parse_expr(p, 0); }
void condition_rule(Parser& p) {
  veltrane::parser::ConditionGuard condition(p, true);
  veltrane::parser::parse_expr(p, 0);
}
void model_cell_rule(Parser& p) { veltrane::parser::parse_expr(p, 8); }
void bound_rule(Parser& p) { veltrane::parser::parse_expr(p, 9); }
void operand_rule(Parser& p) { veltrane::parser::parse_expr(p, 19); }
void plsql_expr_rule(Parser& p) {
  veltrane::parser::PlsqlGuard plsql(p, true);
  veltrane::parser::parse_expr(p, 0);
}
void order_items_rule(Parser& p) { veltrane::parser::parse_order_by_items(p, 0); }
void expr_list_rule(Parser& p) { veltrane::parser::parse_expr_list(p); }
void datatype_rule(Parser& p) { veltrane::parser::parse_datatype(p); }

struct Result {
  std::string tree;
  std::string diagnostics;
  size_t token_count = 0;
  size_t tree_token_count = 0;
};

void render(const Tree& tree, uint32_t node_index, std::string_view text, std::string& out) {
  const veltrane::syntax::Node& node = tree.nodes[node_index];
  out += veltrane::syntax::kind_name(node.kind);
  out += '[';
  bool first = true;
  for (uint32_t i = 0; i < node.count; ++i) {
    const Child entry = tree.children[node.first + i];
    if (veltrane::syntax::is_token_entry(entry)) {
      const auto& token = tree.tokens[veltrane::syntax::entry_index(entry)];
      if (veltrane::syntax::is_trivia(token.kind)) {
        continue;
      }
      out += first ? "" : " ";
      out += text.substr(token.start, token.end - token.start);
    } else {
      out += first ? "" : " ";
      render(tree, veltrane::syntax::entry_index(entry), text, out);
    }
    first = false;
  }
  out += ']';
}

// Runs one rule over the whole text, then ends the item as a statement entry does.
Result run(std::string_view text, Rule rule, std::string_view version = "26ai") {
  const auto lexed = veltrane::lexer::lex_text(text);
  ParseOptions options;
  options.version = *veltrane::lexer::parse_oracle_version(version);
  Parser p(text, lexed.tokens, options);
  const veltrane::syntax::Checkpoint root = p.builder.checkpoint();
  rule(p);
  veltrane::parser::finish_item(p, root, NodeKind::SelectStmt,
                                "unexpected tokens after the statement");
  Result result;
  result.diagnostics.clear();
  for (const auto& diagnostic : p.diagnostics) {
    if (!result.diagnostics.empty()) {
      result.diagnostics += "; ";
    }
    result.diagnostics += diagnostic.message;
    result.diagnostics += " @";
    result.diagnostics += text.substr(diagnostic.start, diagnostic.end - diagnostic.start);
  }
  const Tree tree = std::move(p.builder).finish();
  const veltrane::syntax::Node& root_node = tree.nodes[tree.root];
  for (uint32_t i = 0; i < root_node.count; ++i) {
    const Child entry = tree.children[root_node.first + i];
    if (veltrane::syntax::is_token_entry(entry)) {
      const auto& token = tree.tokens[veltrane::syntax::entry_index(entry)];
      if (!veltrane::syntax::is_trivia(token.kind)) {
        result.tree += result.tree.empty() ? "" : " ";
        result.tree += text.substr(token.start, token.end - token.start);
      }
    } else {
      result.tree += result.tree.empty() ? "" : " ";
      render(tree, veltrane::syntax::entry_index(entry), text, result.tree);
    }
  }
  result.token_count = lexed.tokens.size();
  result.tree_token_count = tree.tokens.size();
  return result;
}

struct Case {
  const char* name;
  Rule rule;
  const char* text;
  const char* tree;
  const char* diagnostics = "";
  const char* version = "26ai";
};

void check(const Case& c) {
  SCOPED_TRACE(c.name);
  const Result result = run(c.text, c.rule, c.version);
  EXPECT_EQ(result.tree, c.tree);
  EXPECT_EQ(result.diagnostics, c.diagnostics);
  EXPECT_EQ(result.tree_token_count, result.token_count);
}

TEST(ParseExpr, BindingPowersAndAssociativity) {
  const Case cases[] = {
      {"OR binds looser than AND", expr_rule, "a OR b AND c",
       "BinaryExpr[NameRef[a] OR BinaryExpr[NameRef[b] AND NameRef[c]]]"},
      {"AND then OR", expr_rule, "a AND b OR c",
       "BinaryExpr[BinaryExpr[NameRef[a] AND NameRef[b]] OR NameRef[c]]"},
      {"NOT covers the comparison only", expr_rule, "NOT a = b AND c",
       "BinaryExpr[UnaryExpr[NOT BinaryExpr[NameRef[a] = NameRef[b]]] AND NameRef[c]]"},
      {"minus is left associative", expr_rule, "a - b - c",
       "BinaryExpr[BinaryExpr[NameRef[a] - NameRef[b]] - NameRef[c]]"},
      {"power is right associative under a sign", expr_rule, "-2 ** 3 ** 2",
       "UnaryExpr[- BinaryExpr[Literal[2] ** BinaryExpr[Literal[3] ** Literal[2]]]]"},
      {"comparisons nest to the left", expr_rule, "a = b = c",
       "BinaryExpr[BinaryExpr[NameRef[a] = NameRef[b]] = NameRef[c]]"},
      {"product before sum", expr_rule, "a || b * c",
       "BinaryExpr[NameRef[a] || BinaryExpr[NameRef[b] * NameRef[c]]]"},
      {"MULTISET operator", expr_rule, "a MULTISET UNION DISTINCT b MULTISET EXCEPT c",
       "MultisetExpr[MultisetExpr[NameRef[a] MULTISET UNION DISTINCT NameRef[b]] MULTISET "
       "EXCEPT NameRef[c]]"},
      {"postfix forms ignore the minimum", expr_rule, "-x AT TIME ZONE 'UTC'",
       "UnaryExpr[- AtTimeZone[NameRef[x] AT TIME ZONE Literal['UTC']]]"},
      {"COLLATE binds to the last operand", expr_rule, "a || b COLLATE binary_ci",
       "BinaryExpr[NameRef[a] || CollateExpr[NameRef[b] COLLATE binary_ci]]"},
      {"minimum 8 stops before =", model_cell_rule, "d = 0", "NameRef[d] Error[= 0]",
       "unexpected tokens after the statement @="},
      {"minimum 9 keeps arithmetic", bound_rule, "a + 1 AND b",
       "BinaryExpr[NameRef[a] + Literal[1]] Error[AND b]",
       "unexpected tokens after the statement @AND"},
      {"minimum 19 keeps postfix forms only", operand_rule, "c%ROWCOUNT + 1",
       "AttributeRef[NameRef[c] % ROWCOUNT] Error[+ 1]",
       "unexpected tokens after the statement @+"},
      {"missing left operand", expr_rule, "AND x", "BinaryExpr[AND NameRef[x]]",
       "expected an expression @AND"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, ComparisonFamily) {
  const Case cases[] = {
      {"NOT BETWEEN inside AND", expr_rule, "x NOT BETWEEN 1 AND 10 AND y",
       "BinaryExpr[BetweenExpr[NameRef[x] NOT BETWEEN Literal[1] AND Literal[10]] AND "
       "NameRef[y]]"},
      {"BETWEEN without AND", expr_rule, "x BETWEEN 1 10",
       "BetweenExpr[NameRef[x] BETWEEN Literal[1] Literal[10]]", "expected AND in BETWEEN @10"},
      {"LIKE with ESCAPE", expr_rule, "x NOT LIKE 'a!%' ESCAPE '!'",
       "LikeExpr[NameRef[x] NOT LIKE Literal['a!%'] ESCAPE Literal['!']]"},
      {"IS forms", expr_rule,
       "x IS NOT NULL AND x IS A SET AND x IS JSON STRICT WITH UNIQUE KEYS AND x IS OF TYPE "
       "(ONLY t1, t2)",
       "BinaryExpr[BinaryExpr[BinaryExpr[IsExpr[NameRef[x] IS NOT NULL] AND IsExpr[NameRef[x] "
       "IS A SET]] AND IsExpr[NameRef[x] IS JSON STRICT WITH UNIQUE KEYS]] AND IsExpr[NameRef[x] "
       "IS OF TYPE ( ONLY TypeName[t1] , TypeName[t2] )]]"},
      {"IS with no known word", expr_rule, "x IS 5", "IsExpr[NameRef[x] IS] Error[5]",
       "expected NULL, NAN, EMPTY, A SET, JSON or OF after IS @5"},
      {"IS OF without (", expr_rule, "x IS OF t", "IsExpr[NameRef[x] IS OF] Error[t]",
       "expected ( after IS OF @t"},
      {"quantified comparison", expr_rule, "x = ANY (1, 2)",
       "BinaryExpr[NameRef[x] = QuantifiedExpr[ANY ExprList[( Literal[1] , Literal[2] )]]]"},
      {"ANY without ( is an operand", expr_rule, "x = ANY y",
       "BinaryExpr[NameRef[x] =] Error[ANY y]", "expected an expression @ANY"},
      {"IN list is never a ParenExpr", expr_rule, "x IN (1) AND y NOT IN ()",
       "BinaryExpr[InExpr[NameRef[x] IN ExprList[( Literal[1] )]] AND InExpr[NameRef[y] NOT IN "
       "ExprList[( )]]]"},
      {"MEMBER OF", expr_rule, "r NOT SUBMULTISET OF c",
       "MemberExpr[NameRef[r] NOT SUBMULTISET OF NameRef[c]]"},
      {"NOT before another word ends the expression", expr_rule, "x NOT NULL",
       "NameRef[x] Error[NOT NULL]", "unexpected tokens after the statement @NOT"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, PostfixFormsAndPrimaries) {
  const Case cases[] = {
      {"outer-join mark with blanks", expr_rule, "t.a ( + ) = s.a",
       "BinaryExpr[OuterJoinMark[NameRef[t . a] ( + )] = NameRef[s . a]]"},
      {"call after a field access", expr_rule, "(o).m(1)",
       "Call[FieldAccess[ParenExpr[( NameRef[o] )] . m] ArgList[( Arg[Literal[1]] )]]"},
      {"%TYPE is left to the caller", expr_rule, "v%TYPE", "NameRef[v] Error[% TYPE]",
       "unexpected tokens after the statement @%"},
      {"cell reference", expr_rule, "s[ANY, FOR d IN (1, 2), d2 + 1]",
       "CellRef[NameRef[s] [ ANY , CellFor[FOR d IN ExprList[( Literal[1] , Literal[2] )]] , "
       "BinaryExpr[NameRef[d2] + Literal[1]] ]]"},
      {"cell FOR range", expr_rule, "s[FOR d FROM 1 TO 10 INCREMENT 1]",
       "CellRef[NameRef[s] [ CellFor[FOR d FROM Literal[1] TO Literal[10] INCREMENT "
       "Literal[1]] ]]"},
      {"cell FOR stops at a semicolon", expr_rule, "s[FOR d = 1; x",
       "CellRef[NameRef[s] [ CellFor[FOR d Error[=] Error[1]]] Error[; x]",
       "unexpected token in the FOR loop @=; unexpected token in the FOR loop @1; "
       "expected ] to close the cell reference @;"},
      {"bind with fields", expr_rule, ":new.col", "BindRef[:new . col]"},
      {"substitution primary heads a call", expr_rule, "&tab.col(1)",
       "Call[NameRef[&tab. col] ArgList[( Arg[Literal[1]] )]]"},
      {"closing token", expr_rule, ")", "Error[)]", "expected an expression @)"},
      {"other token is wrapped", expr_rule, "= 1", "Error[=] Error[1]",
       "expected an expression @=; unexpected tokens after the statement @1"},
      {"end of input", expr_rule, "", "", "expected an expression @"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, SubstitutionPiecesInConditions) {
  const Case cases[] = {
      {"piece before a comparison", condition_rule, "&extra x = 1",
       "Lexical[&extra] BinaryExpr[NameRef[x] = Literal[1]]"},
      {"piece before AND is an operand", condition_rule, "&cond AND x = 1",
       "BinaryExpr[NameRef[&cond] AND BinaryExpr[NameRef[x] = Literal[1]]]"},
      {"piece between operands", condition_rule, "x = 1 &more AND y = 2",
       "BinaryExpr[BinaryExpr[NameRef[x] = Literal[1]] Lexical[&more] AND BinaryExpr[NameRef[y] "
       "= Literal[2]]]"},
      {"no pieces outside conditions", expr_rule, "x = 1 &more",
       "BinaryExpr[NameRef[x] = Literal[1]] Error[&more]",
       "unexpected tokens after the statement @&more"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, WordPrimaries) {
  const Case cases[] = {
      {"searched CASE", expr_rule, "CASE WHEN a > 0 THEN 1 ELSE 0 END",
       "CaseExpr[CASE WhenClause[WHEN BinaryExpr[NameRef[a] > Literal[0]] THEN Literal[1]] "
       "ElseClause[ELSE Literal[0]] END]"},
      {"simple CASE without THEN", expr_rule, "CASE x WHEN 1 2 END",
       "CaseExpr[CASE NameRef[x] WhenClause[WHEN Literal[1] Literal[2]] END]", "expected THEN @2"},
      {"CASE not closed", expr_rule, "CASE WHEN a THEN 1",
       "CaseExpr[CASE WhenClause[WHEN NameRef[a] THEN Literal[1]]]",
       "expected END to close CASE @"},
      {"substitution before WHEN", condition_rule, "CASE WHEN a = &v THEN 1 &w ELSE 2 END",
       "CaseExpr[CASE WhenClause[WHEN BinaryExpr[NameRef[a] = NameRef[&v]] THEN Literal[1]] "
       "Lexical[&w] ElseClause[ELSE Literal[2]] END]"},
      {"typed literals", expr_rule, "DATE '2020-01-01' + INTERVAL '1-6' YEAR TO MONTH",
       "BinaryExpr[Literal[DATE '2020-01-01'] + Literal[INTERVAL '1-6' YEAR TO MONTH]]"},
      {"interval precision", expr_rule, "INTERVAL '4 5:12:10.222' day TO SECOND(3)",
       "Literal[INTERVAL '4 5:12:10.222' day TO SECOND ( 3 )]"},
      {"interval precision not closed", expr_rule, "INTERVAL '5' DAY(2 3)",
       "Literal[INTERVAL '5' DAY ( 2] Error[3 )]", "expected ) @3"},
      {"constructors", expr_rule, "CURSOR(SELECT 1 FROM dual) MULTISET EXCEPT MULTISET(x)",
       "MultisetExpr[CursorExpr[CURSOR SubqueryExpr[( Query[QueryBlock[SELECT "
       "SelectList[SelectItem[Literal[1]]] FromClause[FROM TableRef[NameRef[dual]]]]] )]] "
       "MULTISET EXCEPT MultisetExpr[MULTISET ExprList[( NameRef[x] )]]]"},
      {"EXISTS takes a list", expr_rule, "EXISTS (1, 2)",
       "ExistsExpr[EXISTS ExprList[( Literal[1] , Literal[2] )]]"},
      {"NEW and FINAL", expr_rule, "NEW t(1) || FINAL COUNT(*)",
       "BinaryExpr[NewExpr[NEW Call[NameRef[t] ArgList[( Arg[Literal[1]] )]]] || "
       "UnaryExpr[FINAL Call[NameRef[COUNT] ArgList[( Arg[Star[*]] )]]]]"},
      {"PRIOR operand", expr_rule, "PRIOR id = parent",
       "BinaryExpr[UnaryExpr[PRIOR NameRef[id]] = NameRef[parent]]"},
      {"PRIOR before a dot is reserved", expr_rule, "prior.col", "Error[prior . col]",
       "expected an expression @prior"},
      {"pseudo-columns and SET()", expr_rule, "ROWNUM + LEVEL + SET(c)",
       "BinaryExpr[BinaryExpr[NameRef[ROWNUM] + NameRef[LEVEL]] + Call[NameRef[SET] ArgList[( "
       "Arg[NameRef[c]] )]]]"},
      {"reserved word ends the operand", expr_rule, "SELECT", "Error[SELECT]",
       "expected an expression @SELECT"},
      {"DATE alone is reserved in SQL", expr_rule, "DATE", "Error[DATE]",
       "expected an expression @DATE"},
      {"DATE alone is a name in PL/SQL", plsql_expr_rule, "DATE", "NameRef[DATE]"},
      {"SQL%ROWCOUNT in PL/SQL", plsql_expr_rule, "SQL%ROWCOUNT",
       "AttributeRef[NameRef[SQL] % ROWCOUNT]"},
      {"CURSOR alone is reserved in PL/SQL", plsql_expr_rule, "CURSOR", "Error[CURSOR]",
       "expected an expression @CURSOR"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, ParenthesisedFormsAndLists) {
  const Case cases[] = {
      {"ParenExpr and lists", expr_rule, "(1) || (1, 2) || ()",
       "BinaryExpr[BinaryExpr[ParenExpr[( Literal[1] )] || ExprList[( Literal[1] , Literal[2] "
       ")]] || ExprList[( )]]"},
      {"trailing comma", expr_rule, "(1,)", "ExprList[( Literal[1] , )]",
       "expected an expression @)"},
      {"AS type after the first item", expr_rule, "(x AS NUMBER(5))",
       "ParenExpr[( NameRef[x] AS TypeName[NUMBER ( 5 )] )]"},
      {"AS after a later item", expr_rule, "(1, x AS NUMBER)",
       "ExprList[( Literal[1] , NameRef[x]] Error[AS NUMBER )]", "expected ) @AS"},
      {"two operands", expr_rule, "(a b)", "ParenExpr[( NameRef[a]] Error[b )]", "expected ) @b"},
      {"subquery operand inside parentheses", expr_rule, "((SELECT 1 FROM dual) + 1)",
       "ParenExpr[( BinaryExpr[SubqueryExpr[( Query[QueryBlock[SELECT "
       "SelectList[SelectItem[Literal[1]]] FromClause[FROM TableRef[NameRef[dual]]]]] )] + "
       "Literal[1]] )]"},
      {"list with pieces", expr_list_rule, "1 &more 2, &list",
       "Literal[1] Lexical[&more] Literal[2] , NameRef[&list]"},
      {"pieces before a closing token end the list", expr_list_rule, "1 &more )",
       "Literal[1] Lexical[&more] Error[)]", "unexpected tokens after the statement @)"},
      {"piece before an item", expr_list_rule, "&prefix 5", "Lexical[&prefix] Literal[5]"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, OrderByItems) {
  const Case cases[] = {
      {"direction and nulls", order_items_rule, "a DESC NULLS LAST, b",
       "OrderItem[NameRef[a] DESC NULLS LAST] , OrderItem[NameRef[b]]"},
      {"NULLS alone", order_items_rule, "a NULLS b", "OrderItem[NameRef[a] NULLS] Error[b]",
       "unexpected tokens after the statement @b"},
      {"piece between items", order_items_rule, "1 &dir, 2",
       "OrderItem[Literal[1]] Lexical[&dir] , OrderItem[Literal[2]]"},
      {"missing expression still makes an item", order_items_rule, ", a",
       "OrderItem[] , OrderItem[NameRef[a]]", "expected an expression @,"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, CallsAndArgumentTails) {
  const Case cases[] = {
      {"CAST with a sized type", expr_rule, "CAST(x AS NUMBER(10,2))",
       "Call[NameRef[CAST] ArgList[( Arg[NameRef[x] ArgTail[AS TypeName[NUMBER ( 10 , 2 )]]] )]]"},
      {"set quantifier and named args", expr_rule, "f(DISTINCT x) + p(a => 1, distinct => 2)",
       "BinaryExpr[Call[NameRef[f] ArgList[( DISTINCT Arg[NameRef[x]] )]] + Call[NameRef[p] "
       "ArgList[( NamedArg[a => Literal[1]] , NamedArg[distinct => Literal[2]] )]]]"},
      {"tail words are plain tokens", expr_rule,
       "JSON_VALUE(d, '$.a' RETURNING NUMBER DEFAULT 0 ON ERROR)",
       "Call[NameRef[JSON_VALUE] ArgList[( Arg[NameRef[d]] , Arg[Literal['$.a'] "
       "ArgTail[RETURNING TypeName[NUMBER] DEFAULT Literal[0] ON ERROR]] )]]"},
      {"PASSING BY VALUE and key : value", expr_rule, "f(x PASSING BY VALUE d, 'k' : v)",
       "Call[NameRef[f] ArgList[( Arg[NameRef[x] ArgTail[PASSING BY VALUE NameRef[d]]] , "
       "Arg[Literal['k'] ArgTail[: NameRef[v]]] )]]"},
      {"ORDER BY inside the list", expr_rule, "JSON_ARRAYAGG(x ORDER BY y)",
       "Call[NameRef[JSON_ARRAYAGG] ArgList[( Arg[NameRef[x] ArgTail[OrderBy[ORDER BY "
       "OrderItem[NameRef[y]]]]] )]]"},
      {"subquery argument", expr_rule, "f(SELECT 1 FROM dual)",
       "Call[NameRef[f] ArgList[( Arg[Query[QueryBlock[SELECT SelectList[SelectItem[Literal[1]]] "
       "FromClause[FROM TableRef[NameRef[dual]]]]]] )]]"},
      {"stray token in a tail", expr_rule, "f(a ] b)",
       "Call[NameRef[f] ArgList[( Arg[NameRef[a] ArgTail[Error[]] NameRef[b]]] )]]",
       "unexpected token in the argument @]"},
      {"reserved word in a tail", expr_rule, "f(a SELECT)",
       "Call[NameRef[f] ArgList[( Arg[NameRef[a] ArgTail[Error[SELECT]]] )]]",
       "expected an expression @SELECT"},
      {"semicolon ends the argument list", expr_rule, "f(a; b)",
       "Call[NameRef[f] ArgList[( Arg[NameRef[a]]]] Error[; b )]",
       "expected , or ) in the argument list @;"},
      {"semicolon ends the skip", expr_rule, "f(a => 1 (b; c))",
       "Call[NameRef[f] ArgList[( NamedArg[a => Literal[1]] Error[( b]]] Error[; c ) )]",
       "expected , or ) in the argument list @(; expected ) to close the argument list @;"},
      {"unclosed list", expr_rule, "f(a b c",
       "Call[NameRef[f] ArgList[( Arg[NameRef[a] ArgTail[NameRef[b] NameRef[c]]]]]",
       "expected ) to close the argument list @"},
      {"LISTAGG overflow at 12.1", expr_rule, "LISTAGG(x, ',' ON OVERFLOW TRUNCATE)",
       "Call[NameRef[LISTAGG] ArgList[( Arg[NameRef[x]] , Arg[Literal[','] ArgTail[ON OVERFLOW "
       "TRUNCATE]] )]]",
       "LISTAGG ... ON OVERFLOW needs Oracle 12.2 or later @OVERFLOW", "12.1"},
      {"LISTAGG overflow at 12.2", expr_rule, "LISTAGG(x, ',' ON OVERFLOW TRUNCATE)",
       "Call[NameRef[LISTAGG] ArgList[( Arg[NameRef[x]] , Arg[Literal[','] ArgTail[ON OVERFLOW "
       "TRUNCATE]] )]]",
       "", "12.2"},
      {"conversion error at 11.2", expr_rule, "TO_NUMBER(s DEFAULT 0 ON CONVERSION ERROR)",
       "Call[NameRef[TO_NUMBER] ArgList[( Arg[NameRef[s] ArgTail[DEFAULT Literal[0] ON "
       "CONVERSION ERROR]] )]]",
       "DEFAULT ... ON CONVERSION ERROR needs Oracle 12.2 or later @CONVERSION", "11.2"},
      {"conversion error at 12.2", expr_rule, "TO_NUMBER(s DEFAULT 0 ON CONVERSION ERROR)",
       "Call[NameRef[TO_NUMBER] ArgList[( Arg[NameRef[s] ArgTail[DEFAULT Literal[0] ON "
       "CONVERSION ERROR]] )]]",
       "", "12.2"},
      {"VALIDATE_CONVERSION at 12.1", expr_rule, "validate_conversion(x AS DATE)",
       "Call[NameRef[validate_conversion] ArgList[( Arg[NameRef[x] ArgTail[AS TypeName[DATE]]] "
       ")]]",
       "VALIDATE_CONVERSION needs Oracle 12.2 or later @validate_conversion", "12.1"},
      {"VALIDATE_CONVERSION at 12.2", expr_rule, "VALIDATE_CONVERSION(x AS DATE)",
       "Call[NameRef[VALIDATE_CONVERSION] ArgList[( Arg[NameRef[x] ArgTail[AS TypeName[DATE]]] "
       ")]]",
       "", "12.2"},
      {"VALIDATE_CONVERSION as a name", expr_rule, "VALIDATE_CONVERSION",
       "NameRef[VALIDATE_CONVERSION]", "", "11.2"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, MiningTransformAndDualityArguments) {
  const Case cases[] = {
      {"cost matrix", expr_rule,
       "prediction_cost(m, 1 cost (0, 1) values ((0, 1), (1, 0)) using *)",
       "Call[NameRef[prediction_cost] ArgList[( Arg[NameRef[m]] , Arg[Literal[1] ArgTail[cost "
       "ExprList[( Literal[0] , Literal[1] )] values ExprList[( ExprList[( Literal[0] , Literal[1] "
       ")] , ExprList[( Literal[1] , Literal[0] )] )] using Star[*]]] )]]"},
      {"COST(...) without VALUES stays a call", expr_rule, "f(x cost(1))",
       "Call[NameRef[f] ArgList[( Arg[NameRef[x] ArgTail[Call[NameRef[cost] ArgList[( "
       "Arg[Literal[1]] )]]]] )]]"},
      {"FOR target, INTO and OF lead a tail", expr_rule,
       "prediction(for age using a, b) + cluster_id(into 4 using *) + prediction(of x using *)",
       "BinaryExpr[BinaryExpr[Call[NameRef[prediction] ArgList[( Arg[ArgTail[for NameRef[age] "
       "using NameRef[a]]] , Arg[NameRef[b]] )]] + Call[NameRef[cluster_id] ArgList[( "
       "Arg[ArgTail[into Literal[4] using Star[*]]] )]]] + Call[NameRef[prediction] ArgList[( "
       "Arg[ArgTail[of NameRef[x] using Star[*]]] )]]]"},
      {"every operation word before a path leads a tail, handlers are plain words", expr_rule,
       "json_transform(j, set '$.a' = 1 create on missing, remove '$.b', replace '$.c' = 2 "
       "replace on existing, sort '$.d' desc, remove)",
       "Call[NameRef[json_transform] ArgList[( Arg[NameRef[j]] , Arg[ArgTail[set "
       "BinaryExpr[Literal['$.a'] = Literal[1]] create on missing]] , Arg[ArgTail[remove "
       "Literal['$.b']]] , Arg[ArgTail[replace BinaryExpr[Literal['$.c'] = Literal[2]] replace "
       "on existing]] , Arg[ArgTail[sort Literal['$.d'] desc]] , Arg[NameRef[remove]] )]]"},
      {"operations inside NESTED PATH and CASE", expr_rule,
       "json_transform(j, nested path '$.i' (rename '@.a' with 'b'), case when '$.c' then "
       "(insert '$.d' = 1) end)",
       "Call[NameRef[json_transform] ArgList[( Arg[NameRef[j]] , Arg[NameRef[nested] ArgTail[path "
       "Literal['$.i'] ArgList[( Arg[ArgTail[rename Literal['@.a'] with Literal['b']]] )]]] , "
       "Arg[CaseExpr[case WhenClause[when Literal['$.c'] then ArgList[( Arg[ArgTail[insert "
       "BinaryExpr[Literal['$.d'] = Literal[1]]]] )]] end]] )]]"},
      {"member array of a subquery, annotations", expr_rule,
       "json {'a' : [select 1 from dual], 'n' : n with update nocheck, 'm' : m with noupdate}",
       "Call[NameRef[json] ArgList[{ Arg[Literal['a'] ArgTail[: ArgList[[ "
       "Arg[Query[QueryBlock[select SelectList[SelectItem[Literal[1]]] FromClause[from "
       "TableRef[NameRef[dual]]]]]] ]]]] , Arg[Literal['n'] ArgTail[: NameRef[n] with update "
       "nocheck]] , Arg[Literal['m'] ArgTail[: NameRef[m] with NameRef[noupdate]]] }]]"},
      {"qualified expression keys", expr_rule, "t(-5 => 2, a.b || 'x' => 3)",
       "Call[NameRef[t] ArgList[( NamedArg[UnaryExpr[- Literal[5]] => Literal[2]] , "
       "NamedArg[BinaryExpr[NameRef[a . b] || Literal['x']] => Literal[3]] )]]"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, CallSuffixes) {
  const Case cases[] = {
      {"method chain", expr_rule, "f(1).g(2)(3).x",
       "FieldAccess[Call[Call[FieldAccess[Call[NameRef[f] ArgList[( Arg[Literal[1]] )]] . g] "
       "ArgList[( Arg[Literal[2]] )]] ArgList[( Arg[Literal[3]] )]] . x]"},
      {"analytic suffixes", expr_rule,
       "NTH_VALUE(x, 2) FROM FIRST IGNORE NULLS OVER (PARTITION BY a ORDER BY b ROWS BETWEEN "
       "UNBOUNDED PRECEDING AND CURRENT ROW)",
       "Over[CallModifier[CallModifier[Call[NameRef[NTH_VALUE] ArgList[( Arg[NameRef[x]] , "
       "Arg[Literal[2]] )]] FROM FIRST] IGNORE NULLS] OVER ( PartitionBy[PARTITION BY "
       "NameRef[a]] OrderBy[ORDER BY OrderItem[NameRef[b]]] WindowFrame[ROWS BETWEEN UNBOUNDED "
       "PRECEDING AND CURRENT ROW] )]"},
      {"FROM FIRST of a table is not taken", expr_rule, "f(x) FROM first",
       "Call[NameRef[f] ArgList[( Arg[NameRef[x]] )]] Error[FROM first]",
       "unexpected tokens after the statement @FROM"},
      {"WITHIN GROUP and KEEP", expr_rule,
       "LISTAGG(x) WITHIN GROUP (ORDER BY x) || MAX(x) KEEP (DENSE_RANK FIRST ORDER BY y)",
       "BinaryExpr[WithinGroup[Call[NameRef[LISTAGG] ArgList[( Arg[NameRef[x]] )]] WITHIN GROUP "
       "( OrderBy[ORDER BY OrderItem[NameRef[x]]] )] || KeepClause[Call[NameRef[MAX] ArgList[( "
       "Arg[NameRef[x]] )]] KEEP ( DENSE_RANK FIRST OrderBy[ORDER BY OrderItem[NameRef[y]]] )]]"},
      {"WITHIN GROUP without (", expr_rule, "f(x) WITHIN GROUP x",
       "WithinGroup[Call[NameRef[f] ArgList[( Arg[NameRef[x]] )]] WITHIN GROUP] Error[x]",
       "expected ( after WITHIN GROUP @x"},
      {"window name and refinement", expr_rule, "f(x) OVER w + g(y) OVER (w ORDER y)",
       "BinaryExpr[Over[Call[NameRef[f] ArgList[( Arg[NameRef[x]] )]] OVER w] + "
       "Over[Call[NameRef[g] ArgList[( Arg[NameRef[y]] )]] OVER ( w OrderBy[ORDER "
       "OrderItem[NameRef[y]]] )]]",
       "expected BY after ORDER @y"},
      {"PARTITION without BY", expr_rule, "f(x) OVER (PARTITION x)",
       "Over[Call[NameRef[f] ArgList[( Arg[NameRef[x]] )]] OVER (] Error[PARTITION x )]",
       "expected ) to close OVER @PARTITION"},
      {"frames", expr_rule,
       "f() OVER (RANGE BETWEEN INTERVAL '1' DAY PRECEDING AND CURRENT ROW) + g() OVER (GROUPS 2 "
       "PRECEDING EXCLUDE TIES)",
       "BinaryExpr[Over[Call[NameRef[f] ArgList[( )]] OVER ( WindowFrame[RANGE BETWEEN "
       "Literal[INTERVAL '1' DAY] PRECEDING AND CURRENT ROW] )] + Over[Call[NameRef[g] ArgList[( "
       ")]] OVER ( WindowFrame[GROUPS Literal[2] PRECEDING EXCLUDE TIES] )]]"},
      {"frame without AND", expr_rule, "f() OVER (ROWS BETWEEN 1 PRECEDING 1 FOLLOWING)",
       "Over[Call[NameRef[f] ArgList[( )]] OVER ( WindowFrame[ROWS BETWEEN Literal[1] PRECEDING "
       "Literal[1] FOLLOWING] )]",
       "expected AND in the window frame @1"},
      {"KEEP without ( stays", expr_rule, "f(x) KEEP",
       "Call[NameRef[f] ArgList[( Arg[NameRef[x]] )]] Error[KEEP]",
       "unexpected tokens after the statement @KEEP"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, ColumnsClause) {
  const Case cases[] = {
      {"JSON_TABLE columns", expr_rule,
       "JSON_TABLE(d, '$' COLUMNS (id FOR ORDINALITY, x NUMBER DEFAULT 0 ON ERROR, NESTED PATH "
       "'$.i[*]' COLUMNS (y NUMBER PATH '$.y')))",
       "Call[NameRef[JSON_TABLE] ArgList[( Arg[NameRef[d]] , Arg[Literal['$'] "
       "ArgTail[ColumnsClause[COLUMNS ( TableFunctionColumn[id FOR ORDINALITY] , "
       "TableFunctionColumn[x TypeName[NUMBER] DEFAULT Literal[0] ON ERROR] , "
       "TableFunctionColumn[NESTED PATH '$.i[*]' ColumnsClause[COLUMNS ( TableFunctionColumn[y "
       "TypeName[NUMBER] PATH '$.y'] )]] )]]] )]]"},
      {"XMLTABLE columns without parentheses", expr_rule,
       "XMLTABLE('/r' PASSING d COLUMNS a NUMBER PATH 'a', b VARCHAR2(10) PATH 'b')",
       "Call[NameRef[XMLTABLE] ArgList[( Arg[Literal['/r'] ArgTail[PASSING NameRef[d] "
       "ColumnsClause[COLUMNS TableFunctionColumn[a TypeName[NUMBER] PATH 'a'] , "
       "TableFunctionColumn[b TypeName[VARCHAR2 ( 10 )] PATH 'b']]]] )]]"},
      {"column without a name, stray (", expr_rule, "f(x COLUMNS (1 (2)))",
       "Call[NameRef[f] ArgList[( Arg[NameRef[x] ArgTail[ColumnsClause[COLUMNS ( "
       "TableFunctionColumn[1 Error[(] 2] )]]] )]] Error[)]",
       "expected a column name @1; unexpected token in the column definition @(; unexpected "
       "tokens after the statement @)"},
      {"unclosed", expr_rule, "f(x COLUMNS ( x NUMBER",
       "Call[NameRef[f] ArgList[( Arg[NameRef[x] ArgTail[ColumnsClause[COLUMNS ( "
       "TableFunctionColumn[x TypeName[NUMBER]]]]]]]",
       "expected ) to close COLUMNS @"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, Datatypes) {
  const Case cases[] = {
      {"sizes", datatype_rule, "NUMBER(*,0)", "TypeName[NUMBER ( * , 0 )]"},
      {"negative scale", datatype_rule, "NUMBER(7, -2)", "TypeName[NUMBER ( 7 , - 2 )]"},
      {"minus without a number", datatype_rule, "NUMBER(7, - x)",
       "TypeName[NUMBER ( 7 , Error[-] Error[x] )]",
       "unexpected token in the type's size @-; unexpected token in the type's size @x"},
      {"byte size in any order", datatype_rule, "VARCHAR2(BYTE 20)",
       "TypeName[VARCHAR2 ( BYTE 20 )]"},
      {"time zone", datatype_rule, "TIMESTAMP(6) WITH LOCAL TIME ZONE",
       "TypeName[TIMESTAMP ( 6 ) WITH LOCAL TIME ZONE]"},
      {"WITH not followed by TIME", datatype_rule, "TIMESTAMP WITH x",
       "TypeName[TIMESTAMP] Error[WITH x]", "unexpected tokens after the statement @WITH"},
      {"interval type", datatype_rule, "INTERVAL DAY(3) TO SECOND(6)",
       "TypeName[INTERVAL DAY ( 3 ) TO SECOND ( 6 )]"},
      {"multi-word names", datatype_rule, "NATIONAL CHAR VARYING(10)",
       "TypeName[NATIONAL CHAR VARYING ( 10 )]"},
      {"character set", datatype_rule, "CLOB CHARACTER SET x%CHARSET",
       "TypeName[CLOB CHARACTER SET x % CHARSET]"},
      {"anchored type", datatype_rule, "emp.sal%type", "TypeName[emp . sal % type]"},
      {"REF takes one word", datatype_rule, "REF t", "TypeName[REF] Error[t]",
       "unexpected tokens after the statement @t"},
      {"not a type", datatype_rule, "(5)", "TypeName[] Error[( 5 )]", "expected a type @("},
      {"stray size token", datatype_rule, "VARCHAR2(20 + 1)",
       "TypeName[VARCHAR2 ( 20 Error[+] 1 )]", "unexpected token in the type's size @+"},
      {"semicolon ends a size", datatype_rule, "NUMBER(10; x", "TypeName[NUMBER ( 10] Error[; x]",
       "expected ) @;"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, ModOperatorInPlsqlOnly) {
  const Case cases[] = {
      {"MOD has the power of *", plsql_expr_rule, "a + b MOD c * d",
       "BinaryExpr[NameRef[a] + BinaryExpr[BinaryExpr[NameRef[b] MOD NameRef[c]] * "
       "NameRef[d]]]"},
      {"MOD before a comparison", plsql_expr_rule, "n mod 2 = 0",
       "BinaryExpr[BinaryExpr[NameRef[n] mod Literal[2]] = Literal[0]]"},
      {"a sign binds tighter than MOD", plsql_expr_rule, "-n MOD 3",
       "BinaryExpr[UnaryExpr[- NameRef[n]] MOD Literal[3]]"},
      {"MOD of a parenthesised operand", plsql_expr_rule, "n MOD (m + 1)",
       "BinaryExpr[NameRef[n] MOD ParenExpr[( BinaryExpr[NameRef[m] + Literal[1]] )]]"},
      {"the MOD function stays a call", plsql_expr_rule, "mod(n, 2) MOD 2",
       "BinaryExpr[Call[NameRef[mod] ArgList[( Arg[NameRef[n]] , Arg[Literal[2]] )]] MOD "
       "Literal[2]]"},
      {"minimum 14 stops before MOD", operand_rule, "n MOD 2", "NameRef[n] Error[MOD 2]",
       "unexpected tokens after the statement @MOD"},
      {"SQL has no MOD operator", expr_rule, "n MOD 2", "NameRef[n] Error[MOD 2]",
       "unexpected tokens after the statement @MOD"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, JsonKeyIsValue) {
  const Case cases[] = {
      {"KEY 'k' IS v", expr_rule, "json_object(KEY 'id' IS e.id)",
       "Call[NameRef[json_object] ArgList[( Arg[NameRef[KEY] ArgTail[Literal['id'] IS "
       "NameRef[e . id]]] )]]"},
      {"the value is a whole expression", expr_rule, "json_object(key 'n' is a || b)",
       "Call[NameRef[json_object] ArgList[( Arg[NameRef[key] ArgTail[Literal['n'] is "
       "BinaryExpr[NameRef[a] || NameRef[b]]]] )]]"},
      {"NOT before a value that is no IS test", expr_rule, "json_object(key 'f' is not x)",
       "Call[NameRef[json_object] ArgList[( Arg[NameRef[key] ArgTail[Literal['f'] is "
       "UnaryExpr[not NameRef[x]]]] )]]"},
      {"IS NULL stays the IS test", expr_rule, "json_object(key 'a' is null)",
       "Call[NameRef[json_object] ArgList[( Arg[NameRef[key] ArgTail[IsExpr[Literal['a'] is "
       "null]]] )]]"},
      {"IS A SET stays the IS test", expr_rule, "json_object(key 'a' is a set)",
       "Call[NameRef[json_object] ArgList[( Arg[NameRef[key] ArgTail[IsExpr[Literal['a'] is a "
       "set]]] )]]"},
      {"A alone is a value", expr_rule, "json_object(key 'a' is a.b)",
       "Call[NameRef[json_object] ArgList[( Arg[NameRef[key] ArgTail[Literal['a'] is "
       "NameRef[a . b]]] )]]"},
      {"without KEY, IS stays the IS test", expr_rule, "f('k' is v)",
       "Call[NameRef[f] ArgList[( Arg[IsExpr[Literal['k'] is] ArgTail[NameRef[v]]] )]]",
       "expected NULL, NAN, EMPTY, A SET, JSON or OF after IS @v"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, SubstitutionTypeNames) {
  const Case cases[] = {
      {"owner and type", datatype_rule, "&o..ty", "TypeName[&o. . ty]"},
      {"glued pieces", datatype_rule, "t_&sfx%rowtype", "TypeName[t_ &sfx % rowtype]"},
      {"substitution alone", datatype_rule, "&typ", "TypeName[&typ]"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseExpr, NestingLimitRecovery) {
  // 199 parentheses and a sign open 200 levels: the sign's operand meets the limit.
  // At ")" an empty Error node, and every level closes normally.
  const std::string open(199, '(');
  Result result = run(open + "-)" + std::string(198, ')'), expr_rule);
  EXPECT_EQ(result.diagnostics, "nesting too deep @)");
  EXPECT_NE(result.tree.find("ParenExpr[( UnaryExpr[- Error[]] )]"), std::string::npos);
  EXPECT_EQ(result.tree_token_count, result.token_count);
  // At "," nothing is built.
  result = run(open + "-, 1" + std::string(199, ')'), expr_rule);
  EXPECT_EQ(result.diagnostics, "nesting too deep @,");
  EXPECT_NE(result.tree.find("ExprList[( UnaryExpr[-] , Literal[1] )]"), std::string::npos);
  // Elsewhere the operand up to a level-0 "," or an unmatched ")" goes into one Error
  // node, a ";" included.
  result = run(open + "-a (b, c); d, e)" + std::string(198, ')'), expr_rule);
  EXPECT_EQ(result.diagnostics, "nesting too deep @a");
  EXPECT_NE(result.tree.find("ExprList[( UnaryExpr[- Error[a ( b , c ) ; d]] , NameRef[e] )]"),
            std::string::npos);
  EXPECT_EQ(result.tree_token_count, result.token_count);
}

Result deep_result;

TEST(ParseExpr, LongChainsNeedNoStack) {
  EXPECT_TRUE(run_on_small_stack([] {
    std::string text = "1";
    for (int i = 0; i < 1'000'000; ++i) {
      text += "||1";
    }
    const auto lexed = veltrane::lexer::lex_text(text);
    Parser p(text, lexed.tokens, ParseOptions{});
    const veltrane::syntax::Checkpoint root = p.builder.checkpoint();
    veltrane::parser::parse_expr(p, 0);
    veltrane::parser::finish_item(p, root, NodeKind::SelectStmt, "unexpected");
    deep_result.diagnostics = p.diagnostics.empty() ? "" : std::string(p.diagnostics[0].message);
    deep_result.token_count = lexed.tokens.size();
    deep_result.tree_token_count = std::move(p.builder).finish().tokens.size();
  }));
  EXPECT_EQ(deep_result.diagnostics, "");
  EXPECT_EQ(deep_result.tree_token_count, deep_result.token_count);
}

TEST(ParseExpr, DeepNestingStopsAtTheLimit) {
  struct Deep {
    const char* name;
    std::string text;
  };
  // Parentheses, unary signs, exponents, CASE and nested COLUMNS clauses.
  std::string nested_columns = "f(x COLUMNS (";
  for (int i = 0; i < 100'000; ++i) {
    nested_columns += "NESTED PATH 'p' COLUMNS (";
  }
  nested_columns += "y NUMBER" + std::string(100'001, ')') + ")";
  std::string powers = "2";
  for (int i = 0; i < 100'000; ++i) {
    powers += "**2";
  }
  std::string cases_text;
  for (int i = 0; i < 100'000; ++i) {
    cases_text += "CASE WHEN ";
  }
  const Deep deep_cases[] = {
      {"parentheses", std::string(100'000, '(') + "1" + std::string(100'000, ')')},
      {"signs",
       [] {
         std::string signs;
         for (int i = 0; i < 100'000; ++i) signs += "- ";
         return signs + "1";
       }()},
      {"exponents", powers},
      {"CASE", cases_text},
      {"nested COLUMNS", nested_columns},
  };
  static std::vector<Result> results;
  static const Deep* current = nullptr;
  for (const Deep& deep : deep_cases) {
    SCOPED_TRACE(deep.name);
    current = &deep;
    EXPECT_TRUE(run_on_small_stack([] { results.push_back(run(current->text, expr_rule)); }));
    ASSERT_FALSE(results.empty());
    const Result& result = results.back();
    EXPECT_NE(result.diagnostics.find("nesting too deep"), std::string::npos);
    EXPECT_EQ(result.tree_token_count, result.token_count);
  }
}

}  // namespace
