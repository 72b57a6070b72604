// DML targets (the one table that INSERT, UPDATE, DELETE, MERGE and LOCK TABLE
// act on) and the WHERE clause of UPDATE, DELETE and MERGE.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

using parser::ConditionGuard;
using parser::is_name_kind;
using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_EXPECTED_TABLE = "expected a table";
constexpr std::string_view MSG_EXPECTED_CURSOR = "expected a cursor name";

}  // namespace

void skip_clause_until(Parser &p, bool (*stop)(const Parser &)) {
  parser::parse_flat_tokens_until(p, NodeKind::SkippedClause, stop);
}

// ( query ) | TABLE ( query | expr ) | THE ( query ) | name [PARTITION [FOR] (...)]
// then [alias]. THE is the older spelling of TABLE, taken before a query only, so that a
// table named THE keeps its column list (INSERT INTO the (a, b) ...).
void parse_dml_target(Parser &p) {
  p.start_node(NodeKind::TableRef);
  if (at_paren_query(p, 0)) {
    p.start_node(NodeKind::SubqueryRef);
    p.bump();
    parse_query(p);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
    p.finish_node();
  } else if (p.at_end()) {
    p.error(MSG_EXPECTED_TABLE);
  } else if ((p.at_word(0, "TABLE") && p.at(TokenKind::LParen, 1)) ||
             (p.at_word(0, "THE") && at_paren_query(p, 1))) {
    p.start_node(NodeKind::CollectionRef);
    p.bump();
    p.bump();
    if (at_query_start(p)) {
      parse_query(p);
    } else {
      parser::parse_expr(p, 0);
    }
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
    p.finish_node();
  } else if (is_name_kind(p.kind_at(0)) || p.at(TokenKind::Substitution)) {
    parser::parse_name_ref(p);
    if ((p.at_word(0, "PARTITION") || p.at_word(0, "SUBPARTITION")) &&
        (p.at(TokenKind::LParen, 1) || p.at_word(1, "FOR"))) {
      parse_partition_extension(p);
    }
  } else {
    p.error(MSG_EXPECTED_TABLE);
  }
  parse_alias(p, false);
  p.finish_node();
}

// WHERE condition | WHERE CURRENT OF cursor
void parse_where_clause(Parser &p) {
  if (!p.at_word(0, "WHERE")) {
    return;
  }
  p.start_node(NodeKind::WhereClause);
  p.bump();
  if (p.at_word(0, "CURRENT") && p.at_word(1, "OF")) {
    p.bump();
    p.bump();
    p.expect_name(MSG_EXPECTED_CURSOR);
  } else {
    ConditionGuard condition(p, true);
    parser::parse_expr(p, 0);
  }
  p.finish_node();
}

}  // namespace veltrane::sql
