// Interval literals: INTERVAL, the string and its qualifier as one Literal node.
// The units are not checked against each other.

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/parser.hpp"

namespace veltrane::parser {

namespace {

constexpr std::array<std::string_view, 6> INTERVAL_UNIT_WORDS = {"YEAR", "MONTH",  "DAY",
                                                                 "HOUR", "MINUTE", "SECOND"};

}  // namespace

// INTERVAL 'text' [unit] [TO [unit]]
void parse_interval_literal(Parser& p) {
  p.start_node(NodeKind::Literal);
  p.bump();  // INTERVAL
  p.bump();  // the string
  parse_interval_qualifier(p);
  if (p.eat_word("TO")) {
    parse_interval_qualifier(p);
  }
  p.finish_node();
}

// unit [( [n] [, [n]] )]
void parse_interval_qualifier(Parser& p) {
  if (!p.at_any_word(0, INTERVAL_UNIT_WORDS)) {
    return;
  }
  p.bump();
  if (!p.at(TokenKind::LParen)) {
    return;
  }
  p.bump();
  p.eat(TokenKind::Number);
  if (p.eat(TokenKind::Comma)) {
    p.eat(TokenKind::Number);
  }
  p.expect(TokenKind::RParen, MSG_EXPECTED_RPAREN);
}

}  // namespace veltrane::parser
