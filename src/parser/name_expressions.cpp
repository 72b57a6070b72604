// Operands that start with a name: columns, variables, qualified names and
// calls, with the aggregate and analytic suffixes (WITHIN GROUP, KEEP, FROM
// FIRST/LAST, IGNORE/RESPECT NULLS, OVER) and method chains. Every suffix is
// opened at the one checkpoint before the name, so a chain of any length is
// built by the loop without recursion.

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"

namespace veltrane::parser {

namespace {

// Words after OVER ( that are no window name.
constexpr std::array<std::string_view, 5> WINDOW_SPEC_WORDS = {"PARTITION", "ORDER", "ROWS",
                                                               "RANGE", "GROUPS"};

constexpr std::array<std::string_view, 3> FRAME_UNIT_WORDS = {"ROWS", "RANGE", "GROUPS"};

constexpr std::array<std::string_view, 3> FROM_FIRST_FOLLOWERS = {"OVER", "IGNORE", "RESPECT"};

// ... ) closing a WITHIN GROUP or KEEP group
void expect_group_close(Parser& p) { p.expect(TokenKind::RParen, MSG_EXPECTED_RPAREN); }

// WITHIN GROUP ( [ORDER BY ...] )
void parse_within_group(Parser& p, Checkpoint start) {
  p.start_node_at(start, NodeKind::WithinGroup);
  p.bump();
  p.bump();
  if (!p.at(TokenKind::LParen)) {
    p.error(MSG_EXPECTED_WITHIN_GROUP_LPAREN);
    p.finish_node();
    return;
  }
  p.bump();
  if (p.at_word(0, "ORDER")) {
    parse_order_by(p);
  }
  expect_group_close(p);
  p.finish_node();
}

// KEEP ( [DENSE_RANK] [FIRST|LAST] [ORDER BY ...] )
void parse_keep(Parser& p, Checkpoint start) {
  p.start_node_at(start, NodeKind::KeepClause);
  p.bump();
  p.bump();
  p.eat_word("DENSE_RANK");
  if (p.at_word(0, "FIRST") || p.at_word(0, "LAST")) {
    p.bump();
  }
  if (p.at_word(0, "ORDER")) {
    parse_order_by(p);
  }
  expect_group_close(p);
  p.finish_node();
}

// FROM FIRST | FROM LAST | IGNORE NULLS | RESPECT NULLS: two words
void parse_call_modifier(Parser& p, Checkpoint start) {
  p.start_node_at(start, NodeKind::CallModifier);
  p.bump();
  p.bump();
  p.finish_node();
}

// OVER window | OVER ( [window] [PARTITION BY ...] [ORDER BY ...] [frame] )
void parse_over(Parser& p, Checkpoint start) {
  p.start_node_at(start, NodeKind::Over);
  p.bump();  // OVER
  if (!p.at(TokenKind::LParen)) {
    p.bump();  // the window name
    p.finish_node();
    return;
  }
  p.bump();
  if (p.at(TokenKind::Ident) && !p.at_any_word(0, WINDOW_SPEC_WORDS)) {
    p.bump();
  }
  if (p.at_word(0, "PARTITION") && p.at_word(1, "BY")) {
    p.start_node(NodeKind::PartitionBy);
    p.bump();
    p.bump();
    parse_expr_list(p);
    p.finish_node();
  }
  if (p.at_word(0, "ORDER")) {
    parse_order_by(p);
  }
  if (p.at_any_word(0, FRAME_UNIT_WORDS)) {
    parse_window_frame(p);
  }
  p.expect(TokenKind::RParen, MSG_EXPECTED_OVER_CLOSE);
  p.finish_node();
}

// The suffixes after a call, in any number, each wrapping everything before it.
void parse_call_suffixes(Parser& p, Checkpoint start) {
  for (;;) {
    if (p.at_word(0, "WITHIN") && p.at_word(1, "GROUP")) {
      parse_within_group(p, start);
    } else if (p.at_word(0, "KEEP") && p.at(TokenKind::LParen, 1)) {
      parse_keep(p, start);
    } else if (p.at_word(0, "FROM") && (p.at_word(1, "FIRST") || p.at_word(1, "LAST")) &&
               p.at_any_word(2, FROM_FIRST_FOLLOWERS)) {
      parse_call_modifier(p, start);
    } else if ((p.at_word(0, "IGNORE") || p.at_word(0, "RESPECT")) && p.at_word(1, "NULLS")) {
      parse_call_modifier(p, start);
    } else if (p.at_word(0, "OVER") && (p.at(TokenKind::Ident, 1) || p.at(TokenKind::LParen, 1))) {
      parse_over(p, start);
    } else {
      return;
    }
  }
}

}  // namespace

// name [(args) {suffix}] {.field | (args) {suffix}}
void parse_name_expr(Parser& p) {
  if (p.at_word(0, "VALIDATE_CONVERSION") && p.at(TokenKind::LParen, 1)) {
    check_gate(p, Gate::ValidateConversion);
  }
  const Checkpoint start = p.checkpoint();
  parse_name_ref(p);
  bool first_pass = true;
  while (!p.at_end()) {
    if (p.at(TokenKind::LParen)) {
      if (p.at(TokenKind::Plus, 1) && p.at(TokenKind::RParen, 2)) {
        return;  // the outer-join mark belongs to the expression
      }
      p.start_node_at(start, NodeKind::Call);
      {
        ConditionGuard no_condition(p, false);
        parse_arg_list(p);
      }
      p.finish_node();
      parse_call_suffixes(p, start);
    } else if (!first_pass && p.at(TokenKind::Dot) &&
               (is_name_kind(p.kind_at(1)) || p.at(TokenKind::Star, 1))) {
      p.start_node_at(start, NodeKind::FieldAccess);
      p.bump();
      p.bump();
      p.finish_node();
    } else {
      return;
    }
    first_pass = false;
  }
}

}  // namespace veltrane::parser
