// The trailing clauses of DML statements: RETURNING ... INTO and LOG ERRORS.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"
#include "sql/dml_ddl.hpp"

namespace veltrane::sql {

using parser::is_name_kind;
using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_EXPECTED_INTO = "expected INTO after RETURNING";
constexpr std::string_view MSG_EXPECTED_LIMIT = "expected LIMIT";

// Words that may follow a returned column named OLD or NEW and so never make it
// a marker.
constexpr std::array<std::string_view, 4> RETURNING_LIST_END_WORDS = {"INTO", "BULK", "COLLECT",
                                                                      "RETURNING"};

// OLD or NEW written as the marker of the returned value (RETURNING OLD a, NEW
// b), not as a column of that name: the word is followed by a name that starts
// the expression. `old, new`, `old.a` and `old INTO x` keep reading OLD as a
// name.
bool at_old_new_marker(const Parser &p) {
  if (!p.at_word(0, "OLD") && !p.at_word(0, "NEW")) {
    return false;
  }
  if (p.at(TokenKind::QuotedIdent, 1)) {
    return true;
  }
  if (!p.at(TokenKind::Ident, 1)) {
    return false;
  }
  return !p.at_any_word(1, RETURNING_LIST_END_WORDS) &&
         !p.at_any_word(1, parser::EXPR_OPERATOR_WORDS);
}

// A returned column named NEW right before INTO or BULK: a name, not the start of a
// NEW type(...) constructor that would swallow INTO.
bool at_column_named_new(const Parser &p) {
  return p.at_word(0, "NEW") && p.at_any_word(1, RETURNING_LIST_END_WORDS);
}

// The returned expressions: an expression list in which each item may carry an
// OLD or NEW marker, kept as a plain token just before the item's expression.
// The first marker carries the version warning.
void parse_returned_values(Parser &p) {
  bool warned = false;
  for (;;) {
    bool leading_pieces = false;
    while (parser::at_lexical(p, parser::MODE_LIST)) {
      parser::parse_lexical(p);
      leading_pieces = true;
    }
    if (leading_pieces && (p.at_end() || !parser::can_start_expr(p))) {
      return;
    }
    if (at_old_new_marker(p)) {
      if (!warned) {
        parser::check_gate(p, parser::Gate::ReturningOldNew);
        warned = true;
      }
      p.bump();
    }
    const uint32_t item_start = p.pos;
    if (at_column_named_new(p)) {
      parser::parse_name_ref(p);
    } else {
      parser::parse_expr(p, 0);
    }
    bool trailing_pieces = false;
    while (p.at(TokenKind::Substitution)) {
      parser::parse_lexical(p);
      trailing_pieces = true;
    }
    if (p.at_end()) {
      return;
    }
    if (p.eat(TokenKind::Comma)) {
      continue;
    }
    if (!(trailing_pieces && parser::can_start_expr(p) && p.pos > item_start)) {
      return;
    }
  }
}

}  // namespace

// RETURNING|RETURN [OLD|NEW] expr, ... [BULK [COLLECT]] INTO target, ...
void parse_returning_clause(Parser &p) {
  if (!p.at_word(0, "RETURNING") && !p.at_word(0, "RETURN")) {
    return;
  }
  p.start_node(NodeKind::ReturningClause);
  p.bump();
  parse_returned_values(p);
  if (p.eat_word("BULK")) {
    p.eat_word("COLLECT");
  }
  if (p.eat_word("INTO")) {
    parser::parse_expr_list(p);
  } else {
    p.error(MSG_EXPECTED_INTO);
  }
  p.finish_node();
}

// LOG ERRORS [INTO table] [( tag )] [REJECT LIMIT n | UNLIMITED]
void parse_error_logging(Parser &p) {
  if (!p.at_word(0, "LOG") || !p.at_word(1, "ERRORS")) {
    return;
  }
  p.start_node(NodeKind::ErrorLogging);
  p.bump();
  p.bump();
  if (p.eat_word("INTO")) {
    if (is_name_kind(p.kind_at(0))) {
      parser::parse_name_ref(p);
    }
  }
  if (p.eat(TokenKind::LParen)) {
    parser::parse_expr(p, 0);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  }
  if (p.eat_word("REJECT")) {
    expect_word(p, "LIMIT", MSG_EXPECTED_LIMIT);
    if (p.at_word(0, "UNLIMITED")) {
      p.bump();
    } else {
      parser::parse_expr(p, 0);
    }
  }
  p.finish_node();
}

}  // namespace veltrane::sql
