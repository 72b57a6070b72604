// Joins: a FROM item followed by join operators, right items and join
// conditions, nested to the left at one checkpoint.

#include <cstdint>
#include <string_view>

#include "parser/expect.hpp"
#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;

constexpr std::string_view EXPECTED_JOIN = "expected JOIN";
constexpr std::string_view EXPECTED_USING_OPEN = "expected ( after USING";

// ON condition | USING (columns) | nothing
void parse_join_condition(Parser& p) {
  if (p.at_word(0, "ON")) {
    p.start_node(NodeKind::JoinOn);
    p.bump();
    {
      const parser::ConditionGuard condition(p, true);
      parser::parse_expr(p, 0);
    }
    p.finish_node();
  } else if (p.at_word(0, "USING")) {
    p.start_node(NodeKind::JoinUsing);
    p.bump();
    if (p.at(TokenKind::LParen)) {
      parse_column_list(p);
    } else {
      p.error(EXPECTED_USING_OPEN);
    }
    p.finish_node();
  }
}

// Substitution pieces written between an item and a join operator become
// Lexical nodes of the Join that follows.
void take_pieces_before_operator(Parser& p) {
  std::uint32_t k = 0;
  while (p.at(TokenKind::Substitution, k)) {
    ++k;
    while (const std::uint32_t more = p.name_continuation(k)) k += more;
  }
  if (k == 0 || !at_join_operator(p, k)) return;
  while (p.at(TokenKind::Substitution)) parser::parse_lexical(p);
}

}  // namespace

void parse_joined_table(Parser& p) {
  const auto first_item = p.checkpoint();
  parse_table_ref(p);
  for (;;) {
    take_pieces_before_operator(p);
    if (!at_join_operator(p, 0)) return;
    p.start_node_at(first_item, NodeKind::Join);
    p.eat_word("NATURAL");
    if ((p.at_word(0, "OUTER") || p.at_word(0, "CROSS")) && p.at_word(1, "APPLY")) {
      parser::check_gate(p, parser::Gate::Apply);
      p.bump();
      p.bump();
      parse_table_ref(p);
      p.finish_node();
      continue;
    }
    if (p.at_word(0, "LEFT") || p.at_word(0, "RIGHT") || p.at_word(0, "FULL")) {
      p.bump();
      p.eat_word("OUTER");
    } else if (p.at_word(0, "INNER") || p.at_word(0, "CROSS")) {
      p.bump();
    }
    parser::expect_word(p, "JOIN", EXPECTED_JOIN);
    parse_table_ref(p);
    parse_join_condition(p);
    p.finish_node();
  }
}

bool at_join_operator(const Parser& p, std::uint32_t n) {
  if (p.at_word(n, "JOIN") || p.at_word(n, "NATURAL") || p.at_word(n, "INNER")) return true;
  if (p.at_word(n, "LEFT") || p.at_word(n, "RIGHT") || p.at_word(n, "FULL")) {
    return p.at_word(n + 1, "JOIN") || p.at_word(n + 1, "OUTER");
  }
  if (p.at_word(n, "CROSS")) return p.at_word(n + 1, "JOIN") || p.at_word(n + 1, "APPLY");
  if (p.at_word(n, "OUTER")) return p.at_word(n + 1, "APPLY");
  return false;
}

}  // namespace veltrane::sql
