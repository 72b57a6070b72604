// INSERT below the statement dispatch: the INTO clause of a single-table INSERT
// and of every multi-table branch, INSERT ALL / FIRST, the column list and the
// VALUES clause (the last two also serve MERGE, the column list also UPDATE's
// SET).

#include <cstdint>

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

using parser::is_name_kind;
using syntax::NodeKind;
using syntax::TokenKind;

namespace {

// name   a NameRef, dotted names allowed
void parse_insert_column(Parser &p) {
  if (is_name_kind(p.kind_at(0))) {
    parser::parse_name_ref(p);
  } else {
    p.error(parser::MSG_EXPECTED_COLUMN_NAME);
  }
}

// Whether the parenthesised row at the current token holds the word DEFAULT as one of its
// values (right after its "(" or after a "," of its own level).
bool at_row_with_default(const Parser &p) {
  if (!p.at(TokenKind::LParen) || at_paren_query(p, 0)) return false;
  std::uint32_t depth = 0;
  for (std::uint32_t n = 0; p.has(n); ++n) {
    if (p.at(TokenKind::LParen, n)) {
      ++depth;
    } else if (p.at(TokenKind::RParen, n)) {
      if (--depth == 0) return false;
    } else if (p.at(TokenKind::Semicolon, n)) {
      return false;
    }
    if (depth == 1 && (p.at(TokenKind::LParen, n) || p.at(TokenKind::Comma, n)) &&
        p.at_word(n + 1, "DEFAULT")) {
      return true;
    }
  }
  return false;
}

// ( value, ... )   a value is an expression or the word DEFAULT, kept as a plain token;
// one value makes a ParenExpr, more an ExprList, as for any parenthesised list.
void parse_row_with_default(Parser &p) {
  const syntax::Checkpoint start = p.checkpoint();
  p.bump();  // (
  bool is_list = false;
  for (;;) {
    if (!p.eat_word("DEFAULT")) parser::parse_expr(p, 0);
    if (p.at_end()) {
      p.error(parser::MSG_EXPECTED_RPAREN);
      break;
    }
    if (p.eat(TokenKind::Comma)) {
      is_list = true;
      continue;
    }
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
    break;
  }
  p.start_node_at(start, is_list ? NodeKind::ExprList : NodeKind::ParenExpr);
  p.finish_node();
}

// One row of a VALUES clause: a parenthesised row, which may hold DEFAULT, or one
// expression (a record).
void parse_values_row(Parser &p) {
  if (at_row_with_default(p)) {
    parse_row_with_default(p);
  } else {
    parser::parse_expr(p, 0);
  }
}

// { INTO ... }   each branch with its own LOG ERRORS
void parse_insert_branches(Parser &p) {
  while (p.at_word(0, "INTO")) {
    parse_insert_into(p, false);
  }
}

}  // namespace

// INTO target [( col, ... )] [VALUES row, ...] [LOG ERRORS ...]
bool parse_insert_into(Parser &p, bool error_logging_left_to_caller) {
  p.start_node(NodeKind::InsertInto);
  expect_word(p, "INTO", parser::MSG_EXPECTED_INTO);
  parse_dml_target(p);
  if (p.at(TokenKind::LParen) && !at_paren_query(p, 0)) {
    parse_insert_columns(p);
  }
  bool has_values = false;
  if (p.at_word(0, "VALUES")) {
    parse_values_clause(p);
    has_values = true;
  }
  if (!error_logging_left_to_caller) {
    parse_error_logging(p);
  }
  p.finish_node();
  return has_values;
}

// ALL|FIRST { INTO ... }
// ALL|FIRST { WHEN cond THEN { INTO ... } } [ELSE { INTO ... }]
void parse_multi_insert(Parser &p) {
  p.start_node(NodeKind::MultiInsert);
  p.bump();
  if (p.at_word(0, "WHEN")) {
    while (p.at_word(0, "WHEN")) {
      p.start_node(NodeKind::InsertWhen);
      p.bump();
      parser::parse_expr(p, 0);
      expect_word(p, "THEN", parser::MSG_EXPECTED_THEN);
      parse_insert_branches(p);
      p.finish_node();
    }
    if (p.at_word(0, "ELSE")) {
      p.start_node(NodeKind::InsertElse);
      p.bump();
      parse_insert_branches(p);
      p.finish_node();
    }
  } else {
    parse_insert_branches(p);
  }
  p.finish_node();
}

// ( name, ... )   each name a NameRef, dotted names allowed
void parse_insert_columns(Parser &p) {
  p.start_node(NodeKind::ColumnList);
  p.bump();
  parser::parse_items_to_rparen(p, parse_insert_column, parser::MSG_EXPECTED_RPAREN);
  p.finish_node();
}

// VALUES row [, row ...]
void parse_values_clause(Parser &p) {
  p.start_node(NodeKind::ValuesClause);
  p.bump();
  parse_values_row(p);
  uint32_t rows = 1;
  while (p.at(TokenKind::Comma)) {
    p.bump();
    parse_values_row(p);
    ++rows;
  }
  if (rows >= 2) {
    parser::check_gate(p, parser::Gate::ValuesRowConstructors);
  }
  p.finish_node();
}

}  // namespace veltrane::sql
