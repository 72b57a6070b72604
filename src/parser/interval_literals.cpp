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
  if (p.at_word(0, "TO")) {
    p.bump();
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
  if (p.at(TokenKind::Number)) {
    p.bump();
  }
  if (p.at(TokenKind::Comma)) {
    p.bump();
    if (p.at(TokenKind::Number)) {
      p.bump();
    }
  }
  p.expect(TokenKind::RParen, MSG_EXPECTED_RPAREN);
}

}  // namespace veltrane::parser
