// Sort specifications: the ORDER BY clause of queries, OVER, WITHIN GROUP, KEEP
// and argument lists, and the bare item list that MODEL rules and
// MATCH_RECOGNIZE read.

#include <cstdint>

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"

namespace veltrane::parser {

// ORDER [SIBLINGS] BY item, ...
void parse_order_by(Parser& p) {
  p.start_node(NodeKind::OrderBy);
  p.bump();  // ORDER
  if (p.at_word(0, "SIBLINGS")) {
    p.bump();
  }
  if (p.at_word(0, "BY")) {
    p.bump();
  } else {
    p.error(MSG_EXPECTED_ORDER_BY);
  }
  parse_order_by_items(p, 0);
  p.finish_node();
}

// expr [ASC|DESC] [NULLS [FIRST|LAST]] {, ...}   with substitution pieces between
void parse_order_by_items(Parser& p, uint8_t min_bp) {
  for (;;) {
    bool leading = false;
    while (at_lexical(p, MODE_LIST)) {
      parse_lexical(p);
      leading = true;
    }
    if (leading && (p.at_end() || !can_start_expr(p))) {
      return;
    }
    const uint32_t item_start = p.pos;
    p.start_node(NodeKind::OrderItem);
    parse_expr(p, min_bp);
    if (p.at_word(0, "ASC") || p.at_word(0, "DESC")) {
      p.bump();
    }
    if (p.at_word(0, "NULLS")) {
      p.bump();
      if (p.at_word(0, "FIRST") || p.at_word(0, "LAST")) {
        p.bump();
      }
    }
    p.finish_node();
    bool trailing = false;
    while (p.at(TokenKind::Substitution)) {
      parse_lexical(p);
      trailing = true;
    }
    if (p.at_end()) {
      return;
    }
    if (p.at(TokenKind::Comma)) {
      p.bump();
      continue;
    }
    if (trailing && can_start_expr(p) && p.pos > item_start) {
      continue;
    }
    return;
  }
}

}  // namespace veltrane::parser
