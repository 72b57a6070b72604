// Interval literals: INTERVAL, the string and its qualifier as one Literal node.
// The units are not checked against each other. Interval expressions: a parenthesised
// datetime difference read as an interval by the qualifier after it.

#include <array>
#include <cstdint>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/parser.hpp"

namespace veltrane::parser {

namespace {

constexpr std::array<std::string_view, 6> INTERVAL_UNIT_WORDS = {"YEAR", "MONTH",  "DAY",
                                                                 "HOUR", "MINUTE", "SECOND"};

// The number of tokens of "(n)" at lookahead n: 3, or 0 when no such precision is there.
[[nodiscard]] uint32_t precision_length(const Parser& p, uint32_t n) {
  const bool precision = p.at(TokenKind::LParen, n) && p.at(TokenKind::Number, n + 1) &&
                         p.at(TokenKind::RParen, n + 2);
  return precision ? 3 : 0;
}

}  // namespace

bool at_interval_expr_qualifier(const Parser& p) {
  const bool day = p.at_word(0, "DAY");
  if (!day && !p.at_word(0, "YEAR")) return false;
  const uint32_t to = 1 + precision_length(p, 1);
  return p.at_word(to, "TO") && p.at_word(to + 1, day ? "SECOND" : "MONTH");
}

void parse_interval_expr(Parser& p, Checkpoint start) {
  p.start_node_at(start, NodeKind::IntervalExpr);
  parse_interval_qualifier(p);
  p.bump();  // TO
  parse_interval_qualifier(p);
  p.finish_node();
}

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
