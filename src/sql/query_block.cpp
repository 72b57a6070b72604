// Query blocks: SELECT with its select list, INTO, FROM and the clauses that
// may follow in any order; VALUES row constructors; a parenthesised query; a
// substitution variable standing for a whole block.

#include <cstdint>
#include <string_view>

#include "parser/expect.hpp"
#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using parser::parse_expr;
using syntax::NodeKind;
using syntax::TokenKind;

constexpr std::string_view EXPECTED_SELECT = "expected SELECT";

// Sets in_condition around one condition and restores it.
void parse_condition(Parser& p) {
  const parser::ConditionGuard condition(p, true);
  parse_expr(p, 0);
}

// Whether a select item can start here: can_start_expr with the column-alias
// test.
bool at_select_item_start(const Parser& p) {
  if (p.at_end()) return false;
  switch (*p.kind_at(0)) {
    case TokenKind::QuotedIdent:
    case TokenKind::Number:
    case TokenKind::String:
    case TokenKind::Bind:
    case TokenKind::Inquiry:
    case TokenKind::Substitution:
    case TokenKind::LParen:
    case TokenKind::Plus:
    case TokenKind::Minus:
      return true;
    case TokenKind::Ident:
      return !parser::is_reserved_or_clause_word(p.text_at(0)) ||
             p.at_any_word(0, parser::EXPR_START_WORDS);
    default:
      return false;
  }
}

// OFFSET right after a select item names the column when what follows it cannot be
// the offset of a row-limiting clause: FROM, ",", INTO, ";" or the end.
bool at_offset_alias(const Parser& p) {
  return p.at_word(0, "OFFSET") &&
         (!p.has(1) || p.at(TokenKind::Comma, 1) || p.at(TokenKind::Semicolon, 1) ||
          p.at_word(1, "FROM") || p.at_word(1, "INTO"));
}

// expr [alias]
void parse_select_item(Parser& p, std::uint8_t min_bp) {
  p.start_node(NodeKind::SelectItem);
  parse_expr(p, min_bp);
  if (at_offset_alias(p)) {
    p.start_node(NodeKind::Alias);
    p.bump();
    p.finish_node();
  } else {
    parse_alias(p, true);
  }
  p.finish_node();
}

// item [alias] {, item [alias]}, with substitution pieces between items
void parse_select_list(Parser& p) {
  p.start_node(NodeKind::SelectList);
  parser::parse_list_items(p,
                           parser::ListItemStart{parser::MODE_COLUMN_ALIAS, at_select_item_start},
                           parse_select_item, 0);
  p.finish_node();
}

// [BULK COLLECT] INTO target, ...
void parse_into_clause(Parser& p) {
  p.start_node(NodeKind::IntoClause);
  if (p.eat_word("BULK")) {
    p.bump();  // COLLECT
  }
  parser::expect_word(p, "INTO", parser::MSG_EXPECTED_INTO);
  parser::parse_expr_list(p);
  p.finish_node();
}

// {START WITH cond | CONNECT BY [NOCYCLE] cond} ...
void parse_hierarchical(Parser& p) {
  p.start_node(NodeKind::Hierarchical);
  for (;;) {
    if (p.at_word(0, "START") && p.at_word(1, "WITH")) {
      p.bump();
      p.bump();
    } else if (p.at_word(0, "CONNECT") && p.at_word(1, "BY")) {
      p.bump();
      p.bump();
      p.eat_word("NOCYCLE");
    } else {
      break;
    }
    parse_condition(p);
  }
  p.finish_node();
}

// WINDOW name AS (...), ... kept as plain tokens up to the next clause of the query
void skip_window_clause(Parser& p) {
  p.start_node(NodeKind::SkippedClause);
  p.bump();  // WINDOW
  std::uint32_t open = 0;
  while (!p.at_end() && !p.at(TokenKind::Semicolon)) {
    if (open == 0 && (p.at(TokenKind::RParen) || p.at_word(0, "ORDER") || p.at_word(0, "UNION") ||
                      p.at_word(0, "INTERSECT") || p.at_word(0, "MINUS") ||
                      p.at_word(0, "EXCEPT") || p.at_word(0, "FETCH") || p.at_word(0, "OFFSET"))) {
      break;
    }
    if (p.at(TokenKind::LParen)) {
      ++open;
    } else if (p.at(TokenKind::RParen)) {
      --open;
    }
    p.bump();
  }
  p.finish_node();
}

// SELECT [DISTINCT|UNIQUE|ALL] list [INTO ...] [FROM ...]
//   {WHERE | START WITH | CONNECT BY | GROUP BY | HAVING | MODEL | WINDOW ...}
void parse_select_block(Parser& p) {
  p.start_node(NodeKind::QueryBlock);
  p.bump();  // SELECT
  if (p.at_word(0, "DISTINCT") || p.at_word(0, "UNIQUE") || p.at_word(0, "ALL")) p.bump();
  parse_select_list(p);
  if (p.at_word(0, "INTO") || (p.at_word(0, "BULK") && p.at_word(1, "COLLECT"))) {
    parse_into_clause(p);
  }
  if (p.at_word(0, "FROM")) {
    p.start_node(NodeKind::FromClause);
    p.bump();
    parse_from_list(p);
    p.finish_node();
  } else {
    parser::check_gate(p, parser::Gate::SelectWithoutFrom);
  }
  for (;;) {
    if (p.at_word(0, "WHERE")) {
      p.start_node(NodeKind::WhereClause);
      p.bump();
      parse_condition(p);
      p.finish_node();
    } else if ((p.at_word(0, "START") && p.at_word(1, "WITH")) ||
               (p.at_word(0, "CONNECT") && p.at_word(1, "BY"))) {
      parse_hierarchical(p);
    } else if (p.at_word(0, "GROUP") && p.at_word(1, "BY")) {
      parse_group_by(p);
    } else if (p.at_word(0, "HAVING")) {
      p.start_node(NodeKind::Having);
      p.bump();
      parse_condition(p);
      p.finish_node();
    } else if (p.at_word(0, "MODEL")) {
      parse_model_clause(p);
    } else if (p.at_word(0, "WINDOW")) {
      skip_window_clause(p);
    } else if (p.at(TokenKind::Substitution)) {
      parser::parse_lexical(p);
    } else {
      break;
    }
  }
  p.finish_node();
}

// VALUES row, row, ...
void parse_values_block(Parser& p) {
  parser::check_gate(p, parser::Gate::ValuesRowConstructors);
  p.start_node(NodeKind::ValuesClause);
  do {
    p.bump();  // VALUES, then ","
    parse_expr(p, 0);
  } while (p.at(TokenKind::Comma));
  p.finish_node();
}

}  // namespace

void parse_query_block(Parser& p) {
  if (p.at_word(0, "SELECT")) {
    parse_select_block(p);
  } else if (p.at_word(0, "VALUES")) {
    parse_values_block(p);
  } else if (p.at(TokenKind::Substitution)) {
    parser::parse_lexical(p);
  } else if (p.at(TokenKind::LParen)) {
    p.start_node(NodeKind::SubqueryExpr);
    p.bump();
    parse_query(p);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN_AFTER_THE_SUBQUERY);
    p.finish_node();
  } else {
    // Not a query block: the tokens up to an unmatched ")" or a ";" go into one
    // Error.
    p.error(EXPECTED_SELECT);
    if (p.at_end() || p.at(TokenKind::RParen) || p.at(TokenKind::Semicolon)) return;
    p.start_node(NodeKind::Error);
    std::uint32_t open = 0;
    while (!p.at_end() && !p.at(TokenKind::Semicolon)) {
      if (p.at(TokenKind::RParen)) {
        if (open == 0) break;
        --open;
      } else if (p.at(TokenKind::LParen)) {
        ++open;
      }
      p.bump();
    }
    p.finish_node();
  }
}

}  // namespace veltrane::sql
