// The argument list shared by every call, with its open-ended argument tail
// (CAST's AS type, EXTRACT's FROM, TRIM's LEADING ... FROM, the JSON and XML
// functions' clauses, LISTAGG's ON OVERFLOW, DEFAULT ... ON CONVERSION ERROR),
// and the window frame of an OVER clause.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "parser/expect.hpp"
#include "parser/expressions.hpp"
#include "parser/iterator_choice.hpp"
#include "parser/parser.hpp"
#include "parser/subqueries.hpp"
#include "parser/token_set.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"

namespace veltrane::parser {

namespace {

constexpr std::array<std::string_view, 3> SET_QUANTIFIER_WORDS = {"DISTINCT", "ALL", "UNIQUE"};

// Tail words after which one expression follows (PASSING x, DEFAULT 0, FROM d ...).
constexpr std::array<std::string_view, 5> VALUE_LEADING_WORDS = {"DEFAULT", "PASSING", "VALUE",
                                                                 "KEY", "FROM"};

constexpr std::array<std::string_view, 2> FRAME_DIRECTION_WORDS = {"PRECEDING", "FOLLOWING"};

// ")" or "," end an argument, and so does the bracket that closes the list; a ";" ends it
// too, so that one typo inside a PL/SQL unit cannot swallow the statements after it.
constexpr TokenSet ARGUMENT_END_TOKENS = {TokenKind::RParen, TokenKind::Comma,
                                          TokenKind::Semicolon};

constexpr std::string_view MSG_EXPECTED_JSON_OBJECT_CLOSE = "expected } to close the JSON object";
constexpr std::string_view MSG_EXPECTED_JSON_ARRAY_CLOSE = "expected ] to close the JSON array";

// The brackets of an argument list: ( ... ), or the { ... } and [ ... ] of JSON.
struct ListBrackets {
  TokenKind open;
  TokenKind close;
  std::string_view close_message;
};

constexpr ListBrackets PARENTHESES = {TokenKind::LParen, TokenKind::RParen,
                                      MSG_EXPECTED_ARG_LIST_CLOSE};
constexpr ListBrackets JSON_OBJECT_BRACES = {TokenKind::LBrace, TokenKind::RBrace,
                                             MSG_EXPECTED_JSON_OBJECT_CLOSE};
constexpr ListBrackets JSON_ARRAY_BRACKETS = {TokenKind::LBracket, TokenKind::RBracket,
                                              MSG_EXPECTED_JSON_ARRAY_CLOSE};

[[nodiscard]] bool at_argument_end(const Parser& p, TokenKind close) {
  return p.at_end() || ARGUMENT_END_TOKENS.contains(p.kind_at(0)) || p.at(close);
}

// One pass of the argument tail at the current token.
void parse_tail_piece(Parser& p) {
  if (p.at_word(0, "AS") || p.at_word(0, "RETURNING")) {
    p.bump();
    parse_datatype(p);
    return;
  }
  if (p.at_any_word(0, VALUE_LEADING_WORDS)) {
    p.bump();
    if (p.at_word(0, "BY") && p.at_word(1, "VALUE")) {
      p.bump();
      p.bump();
    }
    parse_expr(p, 0);
    return;
  }
  if (p.at_word(0, "ORDER") && p.at_word(1, "BY")) {
    parse_order_by(p);
    return;
  }
  const std::optional<TokenKind> kind = p.kind_at(0);
  if (EXPR_START_TOKENS.contains(kind)) {
    parse_expr(p, 0);
    return;
  }
  if (kind == TokenKind::Colon || kind == TokenKind::Eq) {
    p.bump();
    parse_expr(p, 0);
    return;
  }
  if (kind != TokenKind::Ident) {
    p.error_bump(MSG_UNEXPECTED_IN_ARGUMENT);
    return;
  }
  if (p.at_word(0, "COLUMNS")) {
    parse_columns_clause(p);
  } else if (p.at_any_word(0, ARG_TAIL_WORDS)) {
    if (p.at_word(0, "OVERFLOW")) {
      check_gate(p, Gate::ListaggOverflow);
    } else if (p.at_word(0, "CONVERSION")) {
      check_gate(p, Gate::ConversionError);
    }
    p.bump();
  } else {
    parse_expr(p, 0);
  }
}

// The number of tokens of a JSON key at lookahead n: a literal, a bind or a name with
// its dotted and glued parts; 0 when no such key starts there.
[[nodiscard]] uint32_t key_length(const Parser& p, uint32_t n) {
  constexpr TokenSet KEY_START_TOKENS = {TokenKind::String, TokenKind::Number,
                                         TokenKind::Bind,   TokenKind::Substitution,
                                         TokenKind::Ident,  TokenKind::QuotedIdent};
  if (!KEY_START_TOKENS.contains(p.kind_at(n))) return 0;
  uint32_t end = n + 1;
  while (const uint32_t more = p.name_continuation(end)) end += more;
  return end - n;
}

// KEY k IS v: the IS form of a JSON key-value pair, with a literal ('k'), a bind or a
// column (e.k) as the key. IS followed by an IS test (KEY 'k' IS NULL) stays that
// test.
[[nodiscard]] bool at_key_is_value(const Parser& p) {
  if (!p.at_word(0, "KEY")) return false;
  const uint32_t key = key_length(p, 1);
  return key > 0 && p.at_word(1 + key, "IS") && !at_is_test(p, 2 + key);
}

// The words and pieces after an argument's expression, up to "," or ")". After KEY of
// the IS form, the tail starts with 'k' IS v: the key is read above the comparisons so
// that it stops before IS, and IS stays a plain token before the value.
void parse_arg_tail(Parser& p, bool key_is_value, TokenKind close) {
  p.start_node(NodeKind::ArgTail);
  if (key_is_value) {
    parse_expr(p, BINDING_POWERS.comparison.right);
    if (p.eat_word("IS")) parse_expr(p, 0);
  }
  while (!at_argument_end(p, close)) {
    const uint32_t pass_start = p.pos;
    parse_tail_piece(p);
    if (p.pos == pass_start) {
      p.error_bump(MSG_UNEXPECTED_IN_ARGUMENT);
    }
  }
  p.finish_node();
}

// name => value
void parse_named_arg(Parser& p) {
  p.start_node(NodeKind::NamedArg);
  p.bump();  // the parameter name, whatever its kind
  p.bump();  // =>
  parse_expr(p, 0);
  p.finish_node();
}

// query | expr [tail] | DEFAULT value [tail] | FOR iterator ...
void parse_positional_arg(Parser& p, TokenKind close) {
  p.start_node(NodeKind::Arg);
  const bool key_is_value = at_key_is_value(p);
  if (p.at_word(0, "FOR") && is_name_kind(p.kind_at(1))) {
    // A qualified expression's iterator: t(FOR i IN 1..3 SEQUENCE => i).
    plsql::parse_iterator_choice(p);
  } else if (p.at_word(0, "SELECT") || p.at_word(0, "WITH")) {
    sql::parse_query(p);
  } else if (!p.at_word(0, "DEFAULT")) {
    // An argument that begins with DEFAULT is all tail: XMLNAMESPACES(DEFAULT 'uri').
    parse_expr(p, 0);
  }
  if (!at_argument_end(p, close)) {
    parse_arg_tail(p, key_is_value, close);
  }
  p.finish_node();
}

// After a broken argument: the tokens up to the list's closing bracket in one Error
// node. A ";" stops the skip like that bracket, at any level.
void skip_to_arg_list_close(Parser& p, ListBrackets brackets) {
  if (p.at(TokenKind::Semicolon)) {
    return;
  }
  p.start_node(NodeKind::Error);
  uint32_t open_brackets = 0;
  while (!p.at_end() && !p.at(TokenKind::Semicolon)) {
    if (p.at(brackets.open)) {
      ++open_brackets;
    } else if (p.at(brackets.close)) {
      if (open_brackets == 0) {
        break;
      }
      --open_brackets;
    }
    p.bump();
  }
  p.finish_node();
}

// ( [DISTINCT|ALL|UNIQUE] arg, ... )   or the same between the other brackets
void parse_bracketed_args(Parser& p, ListBrackets brackets) {
  p.start_node(NodeKind::ArgList);
  p.bump();  // the opening bracket
  if (p.at_any_word(0, SET_QUANTIFIER_WORDS) && !p.at(TokenKind::Arrow, 1) &&
      !p.at(TokenKind::RParen, 1) && !p.at(TokenKind::Comma, 1)) {
    p.bump();
  }
  if (!p.at(brackets.close)) {
    for (;;) {
      if (p.at(TokenKind::Arrow, 1) && !p.at(TokenKind::RParen) && !p.at(TokenKind::Comma)) {
        parse_named_arg(p);
      } else {
        parse_positional_arg(p, brackets.close);
      }
      if (!p.at(TokenKind::Comma)) {
        break;
      }
      p.bump();
    }
    if (!p.at_end() && !p.at(brackets.close)) {
      p.error(MSG_EXPECTED_ARG_SEPARATOR);
      skip_to_arg_list_close(p, brackets);
    }
  }
  p.expect(brackets.close, brackets.close_message);
  p.finish_node();
}

}  // namespace

void parse_arg_list(Parser& p) { parse_bracketed_args(p, PARENTHESES); }

// JSON {member, ...} | JSON [element, ...]   as a Call of the name JSON, whose ArgList holds
// the members of JSON_OBJECT or the elements of JSON_ARRAY between the brackets
void parse_json_constructor(Parser& p) {
  p.start_node(NodeKind::Call);
  p.start_node(NodeKind::NameRef);
  p.bump();  // JSON
  p.finish_node();
  {
    ConditionGuard no_condition(p, false);
    parse_bracketed_args(p, p.at(TokenKind::LBrace) ? JSON_OBJECT_BRACES : JSON_ARRAY_BRACKETS);
  }
  p.finish_node();
}

// {ROWS|RANGE|GROUPS} {bound | BETWEEN bound AND bound}
//   [EXCLUDE {CURRENT ROW | NO OTHERS | GROUP | TIES}]
void parse_window_frame(Parser& p) {
  p.start_node(NodeKind::WindowFrame);
  p.bump();  // ROWS, RANGE or GROUPS
  if (p.eat_word("BETWEEN")) {
    parse_frame_bound(p);
    expect_word(p, "AND", MSG_EXPECTED_FRAME_AND);
    parse_frame_bound(p);
  } else {
    parse_frame_bound(p);
  }
  if (p.eat_word("EXCLUDE")) {
    if (p.at_word(0, "CURRENT") || p.at_word(0, "NO")) {
      p.bump();
      p.bump();  // ROW or OTHERS, untested
    } else if (p.at_word(0, "GROUP") || p.at_word(0, "TIES")) {
      p.bump();
    }
  }
  p.finish_node();
}

// UNBOUNDED [PRECEDING|FOLLOWING] | CURRENT ROW | offset {PRECEDING|FOLLOWING}
void parse_frame_bound(Parser& p) {
  if (p.eat_word("UNBOUNDED")) {
    if (p.at_any_word(0, FRAME_DIRECTION_WORDS)) {
      p.bump();
    }
    return;
  }
  if (p.eat_word("CURRENT")) {
    expect_word(p, "ROW", MSG_EXPECTED_CURRENT_ROW);
    return;
  }
  parse_expr(p, BINDING_POWERS.bound_operand);
  if (p.at_any_word(0, FRAME_DIRECTION_WORDS)) {
    p.bump();
  } else {
    p.error(MSG_EXPECTED_FRAME_DIRECTION);
  }
}

}  // namespace veltrane::parser
