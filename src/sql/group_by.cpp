// GROUP BY: plain grouping expressions, the empty grouping set and the ROLLUP,
// CUBE and GROUPING SETS constructs, which nest inside one another.

#include <cstdint>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;

constexpr std::string_view EXPECTED_GROUPING_SETS_OPEN = "expected ( after GROUPING SETS";

// ( element, ... ) of ROLLUP, CUBE and GROUPING SETS, into the open node; the
// current token is "(".
void parse_grouping_element_list(Parser& p) {
  p.bump();  // "("
  parser::parse_items_to_rparen(p, parse_group_by_element, parser::MSG_EXPECTED_RPAREN);
}

// One GROUP BY item, in the shape the list loop calls.
void parse_group_by_item(Parser& p, uint8_t /*min_bp*/) { parse_group_by_element(p); }

}  // namespace

void parse_group_by(Parser& p) {
  p.start_node(NodeKind::GroupBy);
  p.bump();  // GROUP
  p.bump();  // BY
  parser::parse_list_items(p, parse_group_by_item, 0);
  p.finish_node();
}

void parse_group_by_element(Parser& p) {
  const bool rollup = p.at_word(0, "ROLLUP");
  if ((rollup || p.at_word(0, "CUBE")) && p.at(TokenKind::LParen, 1)) {
    const parser::StructureGuard level(p);
    if (!level.entered()) {
      parser::recover_too_deep(p);
      return;
    }
    p.start_node(rollup ? NodeKind::Rollup : NodeKind::Cube);
    p.bump();  // ROLLUP or CUBE
    parse_grouping_element_list(p);
    p.finish_node();
    return;
  }
  if (p.at_word(0, "GROUPING") && p.at_word(1, "SETS")) {
    const parser::StructureGuard level(p);
    if (!level.entered()) {
      parser::recover_too_deep(p);
      return;
    }
    p.start_node(NodeKind::GroupingSets);
    p.bump();  // GROUPING
    p.bump();  // SETS
    if (p.at(TokenKind::LParen)) {
      parse_grouping_element_list(p);
    } else {
      p.error(EXPECTED_GROUPING_SETS_OPEN);
    }
    p.finish_node();
    return;
  }
  if (p.at(TokenKind::LParen) && p.at(TokenKind::RParen, 1)) {
    p.start_node(NodeKind::ExprList);
    p.bump();
    p.bump();
    p.finish_node();
    return;
  }
  parser::parse_expr(p, 0);
}

}  // namespace veltrane::sql
