// The argument list shared by every call, with its open-ended argument tail
// (CAST's AS type, EXTRACT's FROM, TRIM's LEADING ... FROM, the JSON and XML
// functions' clauses, LISTAGG's ON OVERFLOW, DEFAULT ... ON CONVERSION ERROR, the
// mining functions' USING and COST clauses, JSON_TRANSFORM's operations), and the
// window frame of an OVER clause.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
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

// Tail words after which one expression follows (PASSING x, DEFAULT 0, FROM d,
// CLUSTER_ID(INTO 4 ...) ...).
constexpr std::array<std::string_view, 6> VALUE_LEADING_WORDS = {"DEFAULT", "PASSING", "VALUE",
                                                                 "KEY",     "FROM",    "INTO"};

// Reserved words that stand on their own in a tail: JSON_TRANSFORM's SORT ... DESC and
// CREATE (its handler CREATE ON ... is read whole below), the mining DETAILS functions'
// ASC and DESC.
constexpr std::array<std::string_view, 3> RESERVED_TAIL_WORDS = {"CREATE", "ASC", "DESC"};

// Reserved words that open an argument made of tail alone: XMLNAMESPACES(DEFAULT 'uri'),
// CLUSTER_ID(INTO 4 USING *), PREDICTION(OF ANOMALY USING *).
constexpr std::array<std::string_view, 3> TAIL_ARGUMENT_WORDS = {"DEFAULT", "INTO", "OF"};

// JSON_TRANSFORM's operations; each takes a path string next. No word here is one that
// makes a literal of the string after it (DATE, TIMESTAMP, INTERVAL; N'' and Q'' are
// single tokens), so an operation word and a string never read as an expression.
constexpr std::array<std::string_view, 14> TRANSFORM_OPERATION_WORDS = {
    "SET",  "INSERT", "APPEND", "PREPEND", "REMOVE",    "REPLACE", "RENAME",
    "KEEP", "SORT",   "COPY",   "MERGE",   "INTERSECT", "UNION",   "MINUS",
};

// The handlers of a JSON_TRANSFORM operation: {IGNORE | ERROR | CREATE | NULL | REPLACE}
// ON {MISSING | EXISTING | NULL | EMPTY | MISMATCH}.
constexpr std::array<std::string_view, 5> HANDLER_WORDS = {"IGNORE", "ERROR", "CREATE", "NULL",
                                                           "REPLACE"};
constexpr std::array<std::string_view, 5> HANDLER_CONDITION_WORDS = {"MISSING", "EXISTING", "NULL",
                                                                     "EMPTY", "MISMATCH"};

// The annotations of a duality view's member (MEMBER_ANNOTATION_WORDS) that are reserved.
constexpr std::array<std::string_view, 4> RESERVED_ANNOTATION_WORDS = {"INSERT", "UPDATE", "DELETE",
                                                                       "CHECK"};

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

void parse_bracketed_args(Parser& p, ListBrackets brackets);

// A list that an argument's tail opens (NESTED PATH's operations, a member's [ ... ]):
// one level of the shared nesting limit, as an operand or a query is, since the tail
// reaches it again without passing through either.
void parse_tail_list(Parser& p, ListBrackets brackets) {
  const DepthGuard level(p);
  if (!level.entered()) {
    recover_operand_too_deep(p);
    return;
  }
  parse_bracketed_args(p, brackets);
}

// The lookahead of the ")" that closes the "(" at lookahead n, or 0 when the item ends
// first (a ";" ends the search too).
[[nodiscard]] uint32_t matching_paren(const Parser& p, uint32_t n) {
  uint32_t open = 0;
  for (uint32_t at = n; p.has(at) && !p.at(TokenKind::Semicolon, at); ++at) {
    if (p.at(TokenKind::LParen, at)) {
      ++open;
    } else if (p.at(TokenKind::RParen, at) && --open == 0) {
      return at;
    }
  }
  return 0;
}

// COST ( class, ... ) VALUES ( ( cost, ... ), ... )   the cost matrix of a mining
// function, told from a call of a function named COST by the VALUES after it.
[[nodiscard]] bool at_cost_matrix(const Parser& p) {
  if (!p.at_word(0, "COST") || !p.at(TokenKind::LParen, 1)) return false;
  const uint32_t close = matching_paren(p, 1);
  return close > 0 && p.at_word(close + 1, "VALUES") && p.at(TokenKind::LParen, close + 2);
}

void parse_cost_matrix(Parser& p) {
  p.bump();  // COST
  parse_paren_query_or_list(p);
  p.bump();  // VALUES
  parse_paren_query_or_list(p);
}

// WITH {INSERT | UPDATE | DELETE | CHECK | NOINSERT | ...}: the annotations after a
// member's value in a duality view's JSON, taken when one of them is a reserved word (a
// run of NO... words alone reads as names, as it always has). Returns the number of
// annotation words, 0 when this is no such run.
[[nodiscard]] uint32_t annotation_run(const Parser& p) {
  if (!p.at_word(0, "WITH")) return 0;
  uint32_t count = 0;
  bool reserved = false;
  while (p.at_any_word(1 + count, MEMBER_ANNOTATION_WORDS)) {
    reserved = reserved || p.at_any_word(1 + count, RESERVED_ANNOTATION_WORDS);
    ++count;
  }
  return reserved ? count : 0;
}

// One pass of the argument tail at the current token.
void parse_tail_piece(Parser& p, TokenKind close) {
  if (p.at_word(0, "USING")) {
    // The mining attributes: USING * | USING t.* | USING expr [AS alias], ...
    p.bump();
    if (p.at(TokenKind::Star)) {
      parse_expr(p, 0);
    } else if (at_argument_end(p, close)) {
      p.error(MSG_EXPECTED_EXPRESSION);
    }
    return;
  }
  if (at_cost_matrix(p)) {
    parse_cost_matrix(p);
    return;
  }
  if (const uint32_t annotations = annotation_run(p)) {
    for (uint32_t word = 0; word <= annotations; ++word) p.bump();
    return;
  }
  if (p.at_any_word(0, HANDLER_WORDS) && p.at_word(1, "ON") &&
      p.at_any_word(2, HANDLER_CONDITION_WORDS)) {
    // REPLACE ON EXISTING, CREATE ON MISSING ...: plain words, whatever each is elsewhere
    p.bump();
    p.bump();
    p.bump();
    return;
  }
  if (p.at_any_word(0, RESERVED_TAIL_WORDS) || (p.at_word(0, "AND") && p.at_word(1, "USING"))) {
    // SORT ... DESC, FEATURE_COMPARE's USING ... AND USING ...
    p.bump();
    return;
  }
  if (at_transform_operations(p)) {
    // NESTED PATH 'p' ( operation, ... )
    parse_tail_list(p, PARENTHESES);
    return;
  }
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
  if (kind == TokenKind::Colon && p.at(TokenKind::LBracket, 1)) {
    // 'k' : [ query ]   an array of a subquery as a member's value
    p.bump();
    parse_tail_list(p, JSON_ARRAY_BRACKETS);
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

// What the tail of an argument starts with before its loop.
enum class TailLead : uint8_t {
  None,
  // After KEY of the IS form, the tail starts with 'k' IS v: the key is read above the
  // comparisons so that it stops before IS, and IS stays a plain token before the value.
  KeyIsValue,
  // A JSON_TRANSFORM operation: the word, then its path (and "= value", read with the
  // path as one comparison).
  Operation,
};

// The words and pieces after an argument's expression, up to "," or ")".
void parse_arg_tail(Parser& p, TailLead lead, TokenKind close) {
  p.start_node(NodeKind::ArgTail);
  if (lead == TailLead::KeyIsValue) {
    parse_expr(p, BINDING_POWERS.comparison.right);
    if (p.eat_word("IS")) parse_expr(p, 0);
  } else if (lead == TailLead::Operation) {
    p.bump();
    parse_expr(p, 0);
  }
  while (!at_argument_end(p, close)) {
    const uint32_t pass_start = p.pos;
    parse_tail_piece(p, close);
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

// FOR target [, class ...] USING ...: the analytic form of a mining function, told from a
// qualified expression's iterator (FOR i [, j] IN ...) by meeting USING before IN in the
// rest of the list.
[[nodiscard]] bool at_mining_target(const Parser& p) {
  if (!p.at_word(0, "FOR")) return false;
  uint32_t open = 0;
  for (uint32_t at = 1; p.has(at) && !p.at(TokenKind::Semicolon, at); ++at) {
    if (p.at(TokenKind::LParen, at)) {
      ++open;
    } else if (p.at(TokenKind::RParen, at)) {
      if (open == 0) return false;
      --open;
    } else if (open == 0) {
      if (p.at_word(at, "IN")) return false;
      if (p.at_word(at, "USING")) return true;
    }
  }
  return false;
}

// Whether the argument opens with a reserved word (not SET of a call SET(...)): asked once
// per argument, so that a plain name meets no word list below.
[[nodiscard]] bool at_reserved_lead(const Parser& p) {
  return p.at(TokenKind::Ident) && is_reserved_word(p.text_at(0), p.in_plsql) &&
         !(p.at_word(0, "SET") && p.at(TokenKind::LParen, 1));
}

// A JSON_TRANSFORM operation: its word and then its path string. A reserved operation
// word without the path is taken too, so that the missing path is what is reported.
[[nodiscard]] bool at_operation(const Parser& p, bool reserved_lead) {
  return (reserved_lead || p.at(TokenKind::String, 1)) &&
         p.at_any_word(0, TRANSFORM_OPERATION_WORDS);
}

// query | expr [tail] | expr => value | DEFAULT value [tail] | FOR iterator ...
//   | FOR target USING ... | JSON_TRANSFORM operation
void parse_positional_arg(Parser& p, TokenKind close) {
  const Checkpoint start = p.checkpoint();
  TailLead lead = at_key_is_value(p) ? TailLead::KeyIsValue : TailLead::None;
  const bool mining_target = at_mining_target(p);
  const bool reserved_lead = at_reserved_lead(p);
  if (at_operation(p, reserved_lead)) {
    lead = TailLead::Operation;
  } else if (p.at_word(0, "FOR") && is_name_kind(p.kind_at(1)) && !mining_target) {
    // A qualified expression's iterator: t(FOR i IN 1..3 SEQUENCE => i).
    plsql::parse_iterator_choice(p);
  } else if (p.at_word(0, "SELECT") || p.at_word(0, "WITH")) {
    sql::parse_query(p);
  } else if (!mining_target && !(reserved_lead && p.at_any_word(0, TAIL_ARGUMENT_WORDS))) {
    // An argument that begins with DEFAULT, INTO, OF or a mining target is all tail.
    parse_expr(p, 0);
    if (p.at(TokenKind::Arrow)) {
      // A qualified expression's choice whose key is an expression: t(-5 => 2).
      p.start_node_at(start, NodeKind::NamedArg);
      p.bump();
      parse_expr(p, 0);
      p.finish_node();
      return;
    }
  }
  p.start_node_at(start, NodeKind::Arg);
  if (lead == TailLead::Operation || !at_argument_end(p, close)) {
    parse_arg_tail(p, lead, close);
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

bool at_transform_operations(const Parser& p) {
  return p.at(TokenKind::LParen) &&
         ((p.at_any_word(1, TRANSFORM_OPERATION_WORDS) && p.at(TokenKind::String, 2)) ||
          (p.at_word(1, "NESTED") && p.at_word(2, "PATH")));
}

void parse_transform_operations(Parser& p) { parse_bracketed_args(p, PARENTHESES); }

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
