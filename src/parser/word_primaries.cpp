// Operands that start with a word: prefix operators, EXISTS, CASE, NEW, typed
// literals, CURSOR and MULTISET constructors, the JSON constructor, and names. A
// reserved word that is none of these ends the expression where it stands.

#include <array>
#include <string_view>

#include "parser/expect.hpp"
#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"

namespace veltrane::parser {

namespace {

// Reserved words that are still names in an expression.
constexpr std::array<std::string_view, 6> PSEUDO_COLUMN_WORDS = {
    "LEVEL", "ROWNUM", "ROWID", "SYSDATE", "USER", "UID",
};

// word operand   as UnaryExpr, the operand parsed at `operand_bp`
void parse_prefix_operator(Parser& p, uint8_t operand_bp) {
  p.start_node(NodeKind::UnaryExpr);
  p.bump();
  parse_expr(p, operand_bp);
  p.finish_node();
}

// word ( query | list )   as `kind` (EXISTS, CURSOR, MULTISET)
void parse_word_then_paren(Parser& p, NodeKind kind) {
  p.start_node(kind);
  p.bump();
  parse_paren_query_or_list(p);
  p.finish_node();
}

// A CASE result: an expression, or JSON_TRANSFORM's ( operation, ... ) in the CASE of
// its operations.
void parse_case_result(Parser& p) {
  if (at_transform_operations(p)) {
    parse_transform_operations(p);
  } else {
    parse_expr(p, 0);
  }
}

// WHEN operand THEN result
void parse_when_clause(Parser& p, bool searched) {
  p.start_node(NodeKind::WhenClause);
  p.bump();  // WHEN
  if (searched) {
    // A searched CASE's WHEN operand is a condition; a simple CASE's is a value.
    ConditionGuard condition(p, true);
    parse_expr(p, 0);
  } else {
    parse_simple_case_choices(p);
  }
  expect_word(p, "THEN", MSG_EXPECTED_THEN);
  parse_case_result(p);
  p.finish_node();
}

// CASE [selector] {WHEN ... THEN ...} [ELSE ...] END
void parse_case(Parser& p) {
  p.start_node(NodeKind::CaseExpr);
  p.bump();  // CASE
  {
    ConditionGuard no_condition(p, false);
    const bool searched = p.at_word(0, "WHEN");
    if (!searched) {
      parse_expr(p, 0);
    }
    for (;;) {
      if (p.at_word(0, "WHEN")) {
        parse_when_clause(p, searched);
      } else if (p.at(TokenKind::Substitution) && (p.at_word(1, "WHEN") || p.at_word(1, "ELSE"))) {
        parse_lexical(p);
      } else {
        break;
      }
    }
    if (p.at_word(0, "ELSE")) {
      p.start_node(NodeKind::ElseClause);
      p.bump();
      parse_case_result(p);
      p.finish_node();
    }
  }
  expect_word(p, "END", MSG_EXPECTED_CASE_END);
  p.finish_node();
}

// Whether the word at the current token may still stand as a name although it is
// reserved: pseudo-columns, SET(collection), SQL%attribute, and TYPE, which PL/SQL
// reserves for type declarations but accepts as a parameter, variable or column.
bool is_reserved_name(const Parser& p) {
  return p.at_any_word(0, PSEUDO_COLUMN_WORDS) || p.at_word(0, "TYPE") ||
         (p.at_word(0, "SET") && p.at(TokenKind::LParen, 1)) ||
         (p.at_word(0, "SQL") && p.at(TokenKind::Percent, 1));
}

}  // namespace

void parse_simple_case_choices(Parser& p) {
  if (!p.in_plsql) {
    parse_expr(p, 0);
    return;
  }
  // The first choice list or dangling predicate of this WHEN warns below 23ai.
  bool gate_checked = false;
  const auto check_once = [&p, &gate_checked] {
    if (!gate_checked) check_gate(p, Gate::CaseChoices);
    gate_checked = true;
  };
  for (;;) {
    if (at_dangling_predicate(p)) {
      check_once();
      parse_dangling_predicate(p);
    } else {
      parse_expr(p, 0);
    }
    if (!p.at(TokenKind::Comma)) return;
    check_once();
    p.bump();
  }
}

void parse_primary_word(Parser& p) {
  if (p.at_end()) {
    parse_name_expr(p);
    return;
  }
  if (p.at_word(0, "NOT")) {
    parse_prefix_operator(p, BINDING_POWERS.not_operand);
    return;
  }
  if ((p.at_word(0, "PRIOR") || p.at_word(0, "CONNECT_BY_ROOT")) && !p.at(TokenKind::Comma, 1) &&
      !p.at(TokenKind::Dot, 1)) {
    parse_prefix_operator(p, BINDING_POWERS.unary_operand);
    return;
  }
  if (p.at_word(0, "EXISTS") && p.at(TokenKind::LParen, 1)) {
    parse_word_then_paren(p, NodeKind::ExistsExpr);
    return;
  }
  if (p.at_word(0, "CASE")) {
    parse_case(p);
    return;
  }
  if (p.at_word(0, "NEW") && is_name_kind(p.kind_at(1))) {
    p.start_node(NodeKind::NewExpr);
    p.bump();
    parse_name_expr(p);
    p.finish_node();
    return;
  }
  if ((p.at_word(0, "FINAL") || p.at_word(0, "RUNNING")) && p.at(TokenKind::Ident, 1) &&
      p.at(TokenKind::LParen, 2)) {
    p.start_node(NodeKind::UnaryExpr);
    p.bump();
    parse_name_expr(p);
    p.finish_node();
    return;
  }
  if (p.at_word(0, "NULL")) {
    p.start_node(NodeKind::Literal);
    p.bump();
    p.finish_node();
    return;
  }
  if ((p.at_word(0, "DATE") || p.at_word(0, "TIMESTAMP")) && p.at(TokenKind::String, 1)) {
    p.start_node(NodeKind::Literal);
    p.bump();
    p.bump();
    p.finish_node();
    return;
  }
  if (p.at_word(0, "INTERVAL") && p.at(TokenKind::String, 1)) {
    parse_interval_literal(p);
    return;
  }
  if (p.at_word(0, "CURSOR") && p.at(TokenKind::LParen, 1)) {
    parse_word_then_paren(p, NodeKind::CursorExpr);
    return;
  }
  if (p.at_word(0, "MULTISET") && p.at(TokenKind::LParen, 1)) {
    parse_word_then_paren(p, NodeKind::MultisetExpr);
    return;
  }
  if (p.at_word(0, "JSON") && (p.at(TokenKind::LBrace, 1) || p.at(TokenKind::LBracket, 1))) {
    parse_json_constructor(p);
    return;
  }
  if (!is_reserved_word(p.text_at(0), p.in_plsql) || is_reserved_name(p)) {
    parse_name_expr(p);
    return;
  }
  p.error(MSG_EXPECTED_EXPRESSION);
}

}  // namespace veltrane::parser
