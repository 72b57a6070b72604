// What stands between parentheses in operand position: a subquery, one
// parenthesised expression, or a list of expressions; and the bare expression
// list with the SQL*Plus substitution pieces that may stand between its items.

#include <cstdint>

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/subqueries.hpp"
#include "parser/word_tables.hpp"

namespace veltrane::parser {

namespace {

// ( query )   (current token "(")
void parse_subquery_expr(Parser& p) {
  p.start_node(NodeKind::SubqueryExpr);
  p.bump();
  sql::parse_query(p);
  p.expect(TokenKind::RParen, MSG_EXPECTED_SUBQUERY_CLOSE);
  p.finish_node();
}

}  // namespace

// ( query ) | ( expr [AS type] ) | ( expr, ... ) | ()
void parse_paren_expr(Parser& p) {
  if (sql::at_paren_query(p, 0)) {
    parse_subquery_expr(p);
    return;
  }
  const Checkpoint start = p.checkpoint();
  p.bump();  // "("
  bool is_list = false;
  if (p.eat(TokenKind::RParen)) {
    is_list = true;
  } else {
    bool first = true;
    for (;;) {
      parse_expr(p, 0);
      if (first && p.at_word(0, "AS")) {
        p.bump();
        parse_datatype(p);
      }
      first = false;
      if (p.at_end()) {
        p.error(MSG_EXPECTED_RPAREN);
        break;
      }
      if (p.eat(TokenKind::Comma)) {
        is_list = true;
        continue;
      }
      p.expect(TokenKind::RParen, MSG_EXPECTED_RPAREN);
      break;
    }
  }
  p.start_node_at(start, is_list ? NodeKind::ExprList : NodeKind::ParenExpr);
  p.finish_node();
}

// ( query ) | ( expr, ... )
void parse_paren_query_or_list(Parser& p) {
  if (sql::at_paren_query(p, 0)) {
    parse_subquery_expr(p);
    return;
  }
  p.start_node(NodeKind::ExprList);
  p.bump();  // "("
  if (!p.at(TokenKind::RParen)) {
    parse_expr_list(p);
  }
  p.expect(TokenKind::RParen, MSG_EXPECTED_RPAREN);
  p.finish_node();
}

// [&piece ...] expr [&piece ...] {, ...}
void parse_expr_list(Parser& p) { parse_list_items(p, parse_expr, 0); }

void parse_list_items(Parser& p, void (*parse_item)(Parser&, uint8_t), uint8_t min_bp) {
  parse_list_items(p, ListItemStart{MODE_LIST, can_start_expr}, parse_item, min_bp);
}

// [&piece ...] item [&piece ...] {, ...}
void parse_list_items(Parser& p, ListItemStart start, void (*parse_item)(Parser&, uint8_t),
                      uint8_t min_bp) {
  for (;;) {
    bool leading = false;
    while (at_lexical(p, start.lexical_mode)) {
      parse_lexical(p);
      leading = true;
    }
    if (leading && (p.at_end() || !start.can_start_item(p))) {
      return;
    }
    const uint32_t item_start = p.pos;
    parse_item(p, min_bp);
    bool trailing = false;
    while (p.at(TokenKind::Substitution)) {
      parse_lexical(p);
      trailing = true;
    }
    if (p.at_end()) {
      return;
    }
    // A "," before name => ends the list: a named argument follows (ptf(t ORDER BY a,
    // p => 1)).
    if (p.at(TokenKind::Comma) && p.at(TokenKind::Arrow, 2)) {
      return;
    }
    if (p.eat(TokenKind::Comma)) {
      continue;
    }
    if (trailing && start.can_start_item(p) && p.pos > item_start) {
      continue;
    }
    return;
  }
}

// item {, item} )
void parse_items_to_rparen(Parser& p, void (*parse_item)(Parser&), std::string_view close_message) {
  for (;;) {
    parse_item(p);
    if (p.eat(TokenKind::Comma)) {
      continue;
    }
    p.expect(TokenKind::RParen, close_message);
    return;
  }
}

void parse_flat_tokens_until(Parser& p, NodeKind kind, bool (*stop)(const Parser&)) {
  p.start_node(kind);
  uint32_t depth = 0;
  while (!p.at_end()) {
    if (p.at(TokenKind::RParen)) {
      if (depth == 0) {
        break;
      }
      --depth;
    } else if (p.at(TokenKind::LParen)) {
      ++depth;
    } else if (depth == 0 && stop(p)) {
      break;
    }
    p.bump();
  }
  p.finish_node();
}

bool can_start_expr(const Parser& p) { return can_start_expr_at(p, 0); }

bool can_start_expr_at(const Parser& p, uint32_t n) {
  if (EXPR_START_TOKENS.contains(p.kind_at(n))) {
    return true;
  }
  return p.at(TokenKind::Ident, n) &&
         (!is_reserved(p, n, MODE_LIST) || p.at_any_word(n, EXPR_START_WORDS));
}

}  // namespace veltrane::parser
