// Query expressions: WITH, set operators and the trailing ORDER BY, OFFSET and
// FETCH clauses; the nesting limit on the query side and the lookaheads that
// tell a query start from an operand or a join.

#include <array>
#include <cstdint>
#include <string_view>

#include "parser/expect.hpp"
#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using parser::parse_expr;
using syntax::NodeKind;
using syntax::TokenKind;

constexpr std::string_view EXPECTED_CTE_NAME = "expected a name for the WITH query";
constexpr std::string_view EXPECTED_CTE_AS = "expected AS in the WITH clause";
constexpr std::string_view EXPECTED_CTE_OPEN = "expected ( before the WITH query";
constexpr std::string_view EXPECTED_CTE_CLOSE = "expected ) after the WITH query";
constexpr std::string_view EXPECTED_FIRST = "expected FIRST";
constexpr std::string_view EXPECTED_BY = "expected BY";
constexpr std::string_view EXPECTED_ORDERING_COLUMN = "expected an ordering column";
constexpr std::string_view EXPECTED_CYCLE_MARK = "expected a cycle mark column";
constexpr std::string_view EXPECTED_TO = "expected TO";
constexpr std::string_view EXPECTED_DEFAULT = "expected DEFAULT";
constexpr std::string_view EXPECTED_TIES = "expected TIES";

bool at_set_operator(const Parser& p) {
  return p.at_word(0, "UNION") || p.at_word(0, "INTERSECT") || p.at_word(0, "MINUS") ||
         p.at_word(0, "EXCEPT");
}

// The words after a parenthesised query that show that the parenthesis around
// it encloses a query too.
bool continues_paren_query(const Parser& p, std::uint32_t n) {
  return p.at(TokenKind::RParen, n) || p.at_word(n, "UNION") || p.at_word(n, "INTERSECT") ||
         p.at_word(n, "MINUS") || p.at_word(n, "EXCEPT") || p.at_word(n, "ORDER") ||
         p.at_word(n, "OFFSET") || p.at_word(n, "FETCH");
}

// SEARCH {DEPTH|BREADTH} FIRST BY item, ... SET column
void parse_search_clause(Parser& p) {
  p.start_node(NodeKind::SearchClause);
  p.bump();  // SEARCH
  if (p.at_word(0, "DEPTH") || p.at_word(0, "BREADTH")) p.bump();
  parser::expect_word(p, "FIRST", EXPECTED_FIRST);
  parser::expect_word(p, "BY", EXPECTED_BY);
  for (;;) {
    parser::parse_order_item(p, 0);
    if (p.eat(TokenKind::Comma)) {
      continue;
    }
    parser::expect_word(p, "SET", parser::MSG_EXPECTED_SET);
    break;
  }
  p.expect_name(EXPECTED_ORDERING_COLUMN);
  p.finish_node();
}

// CYCLE column, ... SET mark TO value DEFAULT value
void parse_cycle_clause(Parser& p) {
  p.start_node(NodeKind::CycleClause);
  for (;;) {
    p.bump();  // CYCLE, then ","
    p.expect_name(parser::MSG_EXPECTED_COLUMN);
    if (!p.at(TokenKind::Comma)) break;
  }
  parser::expect_word(p, "SET", parser::MSG_EXPECTED_SET);
  p.expect_name(EXPECTED_CYCLE_MARK);
  parser::expect_word(p, "TO", EXPECTED_TO);
  parse_expr(p, 0);
  parser::expect_word(p, "DEFAULT", EXPECTED_DEFAULT);
  parse_expr(p, 0);
  p.finish_node();
}

// The query's name: a name and the substitution pieces glued to it (max_&&d.wd1); a
// query name has no dotted parts.
void parse_cte_name(Parser& p) {
  if (!parser::is_name_kind(p.kind_at(0))) {
    p.error(EXPECTED_CTE_NAME);
    return;
  }
  p.bump();
  while (p.name_continuation(0) == 1) p.bump();
}

// name [(columns)] AS ( query ) [SEARCH ...] [CYCLE ...]
void parse_cte(Parser& p) {
  p.start_node(NodeKind::Cte);
  parse_cte_name(p);
  if (p.at(TokenKind::LParen)) parse_column_list(p);
  parser::expect_word(p, "AS", EXPECTED_CTE_AS);
  if (p.eat(TokenKind::LParen)) {
    parse_query(p);
    p.expect(TokenKind::RParen, EXPECTED_CTE_CLOSE);
  } else {
    p.error(EXPECTED_CTE_OPEN);
  }
  if (p.at_word(0, "SEARCH")) parse_search_clause(p);
  if (p.at_word(0, "CYCLE")) parse_cycle_clause(p);
  p.finish_node();
}

// WITH [FUNCTION ... | PROCEDURE ...] name AS (query), ...
void parse_with_clause(Parser& p) {
  p.start_node(NodeKind::WithClause);
  p.bump();  // WITH
  if (p.at_word(0, "FUNCTION") || p.at_word(0, "PROCEDURE")) {
    parser::check_gate(p, parser::Gate::WithFunction);
    p.start_node(NodeKind::DeclareSection);
    {
      // The functions and procedures are PL/SQL (a MOD b, PL/SQL's reserved words).
      const parser::PlsqlGuard plsql(p, true);
      while (p.at_word(0, "FUNCTION") || p.at_word(0, "PROCEDURE")) {
        plsql::try_parse_declaration(p);
      }
    }
    p.finish_node();
    if (p.at_end() || !parser::is_name_kind(p.kind_at(0)) || p.at_word(0, "SELECT")) {
      p.finish_node();
      return;
    }
  }
  for (;;) {
    parse_cte(p);
    if (p.at_end()) break;
    bool made_lexical = false;
    while (p.at(TokenKind::Substitution)) {
      std::uint32_t n = 1;
      while (const std::uint32_t more = p.name_continuation(n)) n += more;
      if (!p.has(n) || p.at(TokenKind::RParen, n)) break;
      parser::parse_lexical(p);
      made_lexical = true;
    }
    if (p.eat(TokenKind::Comma)) {
      continue;
    }
    if (made_lexical && parser::is_name_kind(p.kind_at(0)) && !p.at_word(0, "SELECT") &&
        !p.at_word(0, "VALUES")) {
      continue;
    }
    break;
  }
  p.finish_node();
}

constexpr std::array<std::string_view, 3> FETCH_ACCURACY_WORDS = {"EXACT", "APPROX", "APPROXIMATE"};

// FETCH [EXACT|APPROX|APPROXIMATE] {FIRST|NEXT}
bool at_fetch_clause(const Parser& p) {
  if (!p.at_word(0, "FETCH")) return false;
  const std::uint32_t first = p.at_any_word(1, FETCH_ACCURACY_WORDS) ? 2 : 1;
  return p.at_word(first, "FIRST") || p.at_word(first, "NEXT");
}

// OFFSET n [ROW|ROWS]
void parse_offset_clause(Parser& p) {
  parser::check_gate(p, parser::Gate::RowLimiting);
  p.start_node(NodeKind::OffsetClause);
  p.bump();  // OFFSET
  parse_expr(p, 0);
  if (p.at_word(0, "ROW") || p.at_word(0, "ROWS")) p.bump();
  p.finish_node();
}

// FETCH [EXACT|APPROX|APPROXIMATE] {FIRST|NEXT} {n PARTITIONS BY expr ,}...
//   [n [PERCENT]] [ROW|ROWS] [ONLY | WITH TIES] [WITH TARGET ACCURACY n [PERCENT]]
void parse_fetch_clause(Parser& p) {
  parser::check_gate(p, parser::Gate::RowLimiting);
  p.start_node(NodeKind::FetchClause);
  p.bump();  // FETCH
  if (p.at_any_word(0, FETCH_ACCURACY_WORDS)) {
    parser::check_gate(p, parser::Gate::ApproximateFetch);
    p.bump();
  }
  p.bump();  // FIRST or NEXT
  if (!p.at_word(0, "ROW") && !p.at_word(0, "ROWS")) {
    parse_expr(p, 0);
    // n PARTITIONS BY expr, ... n ROWS ONLY: the first rows of the first n groups.
    while (p.at_word(0, "PARTITIONS")) {
      parser::check_gate(p, parser::Gate::PartitionedFetch);
      p.bump();
      parser::expect_word(p, "BY", EXPECTED_BY);
      parse_expr(p, 0);
      if (!p.eat(TokenKind::Comma)) break;
      parse_expr(p, 0);
    }
    p.eat_word("PERCENT");
  }
  if (p.at_word(0, "ROW") || p.at_word(0, "ROWS")) p.bump();
  if (p.at_word(0, "ONLY")) {
    p.bump();
  } else if (p.at_word(0, "WITH") && !p.at_word(1, "TARGET")) {
    p.bump();
    parser::expect_word(p, "TIES", EXPECTED_TIES);
  }
  if (p.at_word(0, "WITH") && p.at_word(1, "TARGET") && p.at_word(2, "ACCURACY")) {
    p.bump();
    p.bump();
    p.bump();
    parse_expr(p, 0);
    p.eat_word("PERCENT");
  }
  p.finish_node();
}

}  // namespace

void parse_query(Parser& p) {
  const parser::DepthGuard level(p);
  if (!level.entered()) {
    // Same recovery as at the structural limit: the rest of the enclosing
    // parenthesis goes into one Error node.
    parser::recover_too_deep(p);
    return;
  }
  const parser::ClearFlagsGuard flags(p);
  p.start_node(NodeKind::Query);
  if (p.at_word(0, "WITH")) parse_with_clause(p);

  const auto first_operand = p.checkpoint();
  parse_query_block(p);
  while (at_set_operator(p)) {
    if (p.at_word(0, "EXCEPT") ||
        ((p.at_word(0, "INTERSECT") || p.at_word(0, "MINUS")) && p.at_word(1, "ALL"))) {
      parser::check_gate(p, parser::Gate::ExceptAndSetAll);
    }
    p.start_node_at(first_operand, NodeKind::SetOp);
    p.bump();  // the operator
    if (p.at_word(0, "ALL") || p.at_word(0, "DISTINCT")) p.bump();
    parse_query_block(p);
    p.finish_node();
  }

  if (p.at_word(0, "ORDER") && (p.at_word(1, "BY") || p.at_word(1, "SIBLINGS"))) {
    parser::parse_order_by(p);
  }
  // OFFSET starts the clause only before its offset; otherwise it is left to the caller.
  if (p.at_word(0, "OFFSET") && parser::can_start_expr_at(p, 1)) parse_offset_clause(p);
  if (at_fetch_clause(p)) parse_fetch_clause(p);
  p.finish_node();
}

bool at_query_start(const Parser& p) {
  return p.at_word(0, "SELECT") || p.at_word(0, "WITH") || at_paren_query(p, 0);
}

// One forward scan. The innermost "(" of the run before SELECT or WITH is a
// query; each "(" around it is one only when the ")" closing the level inside
// it is followed by ")", a set operator, ORDER, OFFSET or FETCH. Running out of
// tokens keeps the claim.
bool at_paren_query(const Parser& p, std::uint32_t n) {
  std::uint32_t run = 0;
  while (p.at(TokenKind::LParen, n + run)) ++run;
  if (run == 0) return false;
  std::uint32_t k = n + run;
  if (!p.at_word(k, "SELECT") && !p.at_word(k, "WITH")) return false;
  if (run == 1) return true;
  // `open` counts the parentheses still open; `level` is the run index of the
  // "(" whose closing ")" is awaited (the run's outermost "(" has index 0).
  std::uint32_t open = run;
  std::uint32_t level = run - 1;
  for (++k; p.has(k); ++k) {
    if (p.at(TokenKind::LParen, k)) {
      ++open;
    } else if (p.at(TokenKind::RParen, k)) {
      --open;
      if (open == level) {
        if (p.has(k + 1) && !continues_paren_query(p, k + 1)) return false;
        if (level == 1) return true;
        --level;
      }
    }
  }
  return true;
}

}  // namespace veltrane::sql
