// Sort keys: the ORDER BY clause of queries, OVER, WITHIN GROUP, KEEP
// and argument lists, and the bare item list that MODEL rules and
// MATCH_RECOGNIZE read.

#include <cstdint>

#include "parser/expect.hpp"
#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"

namespace veltrane::parser {

// ORDER [SIBLINGS] BY item, ...
void parse_order_by(Parser& p) {
  p.start_node(NodeKind::OrderBy);
  p.bump();  // ORDER
  p.eat_word("SIBLINGS");
  expect_word(p, "BY", MSG_EXPECTED_ORDER_BY);
  parse_order_by_items(p, 0);
  p.finish_node();
}

// expr [ASC|DESC] [NULLS [FIRST|LAST]]
void parse_order_item(Parser& p, uint8_t min_bp) {
  p.start_node(NodeKind::OrderItem);
  parse_expr(p, min_bp);
  if (p.at_word(0, "ASC") || p.at_word(0, "DESC")) {
    p.bump();
  }
  if (p.eat_word("NULLS")) {
    if (p.at_word(0, "FIRST") || p.at_word(0, "LAST")) {
      p.bump();
    }
  }
  p.finish_node();
}

// expr [ASC|DESC] [NULLS [FIRST|LAST]] {, ...}   with substitution pieces between
void parse_order_by_items(Parser& p, uint8_t min_bp) {
  parse_list_items(p, parse_order_item, min_bp);
}

}  // namespace veltrane::parser
