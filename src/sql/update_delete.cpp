// UPDATE and DELETE, and the SET clause that MERGE shares.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_EXPECTED_SET_TARGET = "expected a column to set";
constexpr std::string_view MSG_EXPECTED_SET_EQ = "expected = in SET";

// [FROM item, ...]   after UPDATE's SET clause or DELETE's target (the newer
// form); false (nothing consumed) without FROM
bool try_parse_dml_from(Parser &p) {
  if (!p.at_word(0, "FROM")) {
    return false;
  }
  parser::check_gate(p, parser::Gate::DmlFromOrJoins);
  p.start_node(NodeKind::FromClause);
  p.bump();
  parse_from_list(p);
  p.finish_node();
  return true;
}

// [WHERE ...] [RETURNING ...] [LOG ERRORS ...]
void parse_dml_tail(Parser &p) {
  parse_where_clause(p);
  parse_returning_clause(p);
  parse_error_logging(p);
}

// VALUE ( alias ) | name | ( name, ... ), then = expr | = DEFAULT (the column's
// default, a plain token)
void parse_set_item(Parser &p) {
  p.start_node(NodeKind::SetItem);
  if (p.at_word(0, "VALUE") && p.at(TokenKind::LParen, 1)) {
    parser::parse_name_expr(p);
  } else if (parser::is_name_kind(p.kind_at(0))) {
    parser::parse_name_ref(p);
  } else if (p.at(TokenKind::LParen)) {
    parse_insert_columns(p);
  } else {
    p.error(MSG_EXPECTED_SET_TARGET);
  }
  p.expect(TokenKind::Eq, MSG_EXPECTED_SET_EQ);
  if (!p.eat_word("DEFAULT")) parser::parse_expr(p, 0);
  p.finish_node();
}

}  // namespace

// UPDATE target SET ... [FROM ...] [WHERE ...] [RETURNING ...] [LOG ERRORS ...]
void parse_update(Parser &p) {
  p.bump();
  parse_dml_target(p);
  parse_set_clause(p);
  try_parse_dml_from(p);
  parse_dml_tail(p);
}

// DELETE [FROM] target [FROM ...] [WHERE ...] [RETURNING ...] [LOG ERRORS ...]
void parse_delete(Parser &p) {
  p.bump();
  p.eat_word("FROM");
  parse_dml_target(p);
  try_parse_dml_from(p);
  parse_dml_tail(p);
}

// SET item {, item}
void parse_set_clause(Parser &p) {
  p.start_node(NodeKind::SetClause);
  expect_word(p, "SET", parser::MSG_EXPECTED_SET);
  parse_set_item(p);
  while (p.at(TokenKind::Comma)) {
    p.bump();
    parse_set_item(p);
  }
  p.finish_node();
}

}  // namespace veltrane::sql
