// Datatypes: one TypeName node holding every token of the type. No list of type
// names exists: any name is a type, and only the multi-word forms are known so
// that all their words land in the node.

#include <array>
#include <cstdint>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/token_set.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"

namespace veltrane::parser {

namespace {

// Words that form a two-word type with a following VARYING.
constexpr std::array<std::string_view, 4> VARYING_LEADERS = {"NATIONAL", "CHARACTER", "CHAR",
                                                             "NCHAR"};

// The words of a size besides numbers, "," and "*".
constexpr std::array<std::string_view, 2> SIZE_WORDS = {"BYTE", "CHAR"};
// The element formats and storage forms of a VECTOR's size: VECTOR(768, INT8),
// VECTOR(*, FLOAT32, SPARSE).
constexpr std::array<std::string_view, 6> VECTOR_SIZE_WORDS = {"INT8",   "FLOAT32", "FLOAT64",
                                                               "BINARY", "DENSE",   "SPARSE"};

// A size that PL/SQL computes from a static expression: a constant, pkg.constant,
// c * 2 or (c + 1), also after a number (2 * c); never in SQL.
[[nodiscard]] bool at_size_expression(const Parser& p) {
  constexpr TokenSet OPERATOR_TOKENS = {TokenKind::Plus,  TokenKind::Minus,  TokenKind::Star,
                                        TokenKind::Slash, TokenKind::Concat, TokenKind::Power};
  if (!p.in_plsql) return false;
  if (p.at(TokenKind::Number)) return OPERATOR_TOKENS.contains(p.kind_at(1));
  if (p.at(TokenKind::Minus) && p.at(TokenKind::Number, 1)) return false;  // NUMBER(7, -2)
  if (p.at(TokenKind::Ident)) return !is_reserved_word(p.text_at(0), true);
  return EXPR_START_TOKENS.contains(p.kind_at(0));
}

// ( {number | -number | , | * | word | static expression} ... )   with the words of
// `words`; nothing unless the current token is "(".
void parse_size(Parser& p, WordList words) {
  if (!p.at(TokenKind::LParen)) {
    return;
  }
  p.bump();
  for (;;) {
    // A ";" ends an unclosed size as the end of the item does.
    if (p.at_end() || p.at(TokenKind::Semicolon)) {
      p.error(MSG_EXPECTED_RPAREN);
      return;
    }
    if (p.eat(TokenKind::RParen)) {
      return;
    }
    if (at_size_expression(p) && !p.at_any_word(0, words)) {
      // Arithmetic only: a comparison is no size.
      const uint32_t before = p.pos;
      parse_expr(p, BINDING_POWERS.bound_operand);
      if (p.pos == before) p.error_bump(MSG_UNEXPECTED_IN_TYPE_SIZE);
    } else if (p.at(TokenKind::Number) || p.at(TokenKind::Comma) || p.at(TokenKind::Star) ||
               p.at_any_word(0, words)) {
      p.bump();
    } else if (p.at(TokenKind::Minus) && p.at(TokenKind::Number, 1)) {
      // A negative scale, as in NUMBER(7, -2).
      p.bump();
      p.bump();
    } else {
      p.error_bump(MSG_UNEXPECTED_IN_TYPE_SIZE);
    }
  }
}

// INTERVAL [YEAR|DAY] [(p)] [TO [MONTH|SECOND] [(s)]]   (INTERVAL already bumped)
void parse_interval_type_rest(Parser& p) {
  if (p.at_word(0, "YEAR") || p.at_word(0, "DAY")) {
    p.bump();
  }
  parse_type_size(p);
  if (p.eat_word("TO")) {
    if (p.at_word(0, "MONTH") || p.at_word(0, "SECOND")) {
      p.bump();
    }
    parse_type_size(p);
  }
}

// The type's name: DOUBLE PRECISION, LONG RAW, ... VARYING, NATIONAL CHAR[ACTER]
// [VARYING], or one name with its continuations.
void parse_type_name_words(Parser& p) {
  const bool two_words = (p.at_word(0, "DOUBLE") && p.at_word(1, "PRECISION")) ||
                         (p.at_word(0, "LONG") && p.at_word(1, "RAW")) ||
                         (p.at_any_word(0, VARYING_LEADERS) && p.at_word(1, "VARYING"));
  if (two_words) {
    p.bump();
    p.bump();
    return;
  }
  if (p.eat_word("NATIONAL")) {
    if (p.at_word(0, "CHARACTER") || p.at_word(0, "CHAR")) {
      p.bump();
    }
    p.eat_word("VARYING");
    return;
  }
  p.bump();
  name_tail(p);
}

}  // namespace

// name [size] [WITH [LOCAL] TIME ZONE] [CHARACTER SET cs [%CHARSET]] [%TYPE|%ROWTYPE]
void parse_datatype(Parser& p) {
  p.start_node(NodeKind::TypeName);
  if (!at_object_name(p)) {
    p.error(MSG_EXPECTED_TYPE);
    p.finish_node();
    return;
  }
  if (p.eat_word("INTERVAL")) {
    parse_interval_type_rest(p);
    p.finish_node();
    return;
  }
  if (p.at_word(0, "VECTOR") && p.at(TokenKind::LParen, 1)) {
    check_gate(p, Gate::VectorType);
    p.bump();
    parse_size(p, VECTOR_SIZE_WORDS);
    p.finish_node();
    return;
  }
  parse_type_name_words(p);
  parse_type_size(p);
  if (p.at_word(0, "WITH") &&
      (p.at_word(1, "TIME") || (p.at_word(1, "LOCAL") && p.at_word(2, "TIME")))) {
    p.bump();  // WITH
    p.eat_word("LOCAL");
    p.bump();  // TIME
    p.eat_word("ZONE");
  }
  if (p.at_word(0, "CHARACTER") && p.at_word(1, "SET")) {
    p.bump();
    p.bump();
    p.bump();  // the character set name, whatever it is
    p.eat(TokenKind::Percent);
    p.eat_word("CHARSET");
  }
  if (p.at(TokenKind::Percent) && (p.at_word(1, "TYPE") || p.at_word(1, "ROWTYPE"))) {
    p.bump();
    p.bump();
  }
  p.finish_node();
}

// ( {number | -number | , | * | BYTE | CHAR} ... )
void parse_type_size(Parser& p) { parse_size(p, SIZE_WORDS); }

}  // namespace veltrane::parser
