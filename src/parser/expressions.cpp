// The expression parser: one primary, then a loop of postfix forms and infix
// operators. Every extension opens its node at the one checkpoint taken before
// the primary, so left-nested chains (a || b || c, calls, field accesses) are
// built by the loop without a recursion per element; only a right operand
// recurses, and every recursion counts on the shared nesting depth.

#include "parser/expressions.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "parser/expect.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/token_set.hpp"
#include "parser/word_tables.hpp"

namespace veltrane::parser {

namespace {

constexpr std::array<std::string_view, 9> IS_STATE_WORDS = {
    "NULL", "NAN", "INFINITE", "EMPTY", "PRESENT", "DANGLING", "TRUE", "FALSE", "UNKNOWN",
};

constexpr std::array<std::string_view, 4> LIKE_WORDS = {"LIKE", "LIKEC", "LIKE2", "LIKE4"};

// The words NOT may lead as part of an operator.
constexpr std::array<std::string_view, 8> NEGATABLE_OPERATOR_WORDS = {
    "IN", "BETWEEN", "LIKE", "LIKEC", "LIKE2", "LIKE4", "MEMBER", "SUBMULTISET",
};

// The words of the comparison family that need no NOT.
constexpr std::array<std::string_view, 9> COMPARISON_WORDS = {
    "IS", "IN", "BETWEEN", "LIKE", "LIKEC", "LIKE2", "LIKE4", "MEMBER", "SUBMULTISET",
};

constexpr std::array<std::string_view, 3> MULTISET_SET_WORDS = {"EXCEPT", "INTERSECT", "UNION"};

constexpr std::array<std::string_view, 5> CELL_FOR_BOUND_WORDS = {"LIKE", "FROM", "TO", "INCREMENT",
                                                                  "DECREMENT"};

constexpr std::array<std::string_view, 3> QUANTIFIER_WORDS = {"ANY", "SOME", "ALL"};

constexpr TokenSet COMPARISON_TOKENS = {TokenKind::Eq, TokenKind::Ne, TokenKind::Lt,
                                        TokenKind::Gt, TokenKind::Le, TokenKind::Ge};

// Tokens after a substitution piece that make the piece stand for text.
constexpr TokenSet PIECE_FOLLOWER_TOKENS = {TokenKind::Number, TokenKind::String, TokenKind::Bind,
                                            TokenKind::Substitution};

// ( + )  at lookahead n
[[nodiscard]] bool at_outer_join_mark(const Parser& p, uint32_t n) {
  return p.at(TokenKind::LParen, n) && p.at(TokenKind::Plus, n + 1) &&
         p.at(TokenKind::RParen, n + 2);
}

// In a condition, substitution pieces that stand for text before the operand:
// &extra x = 1, &cond 5, &p (...)
void take_condition_pieces(Parser& p) {
  while (p.at(TokenKind::Substitution)) {
    uint32_t after = 1;
    while (uint32_t step = p.name_continuation(after)) {
      after += step;
    }
    const std::optional<TokenKind> next = p.kind_at(after);
    bool take = false;
    if (PIECE_FOLLOWER_TOKENS.contains(next)) {
      take = true;
    } else if (next == TokenKind::Ident || next == TokenKind::QuotedIdent) {
      const std::optional<TokenKind> following = p.kind_at(after + 1);
      take = COMPARISON_TOKENS.contains(following) || following == TokenKind::Dot;
    } else if (next == TokenKind::LParen) {
      take = !at_outer_join_mark(p, after) && !p.is_glued(after);
    }
    if (!take) {
      return;
    }
    parse_lexical(p);
  }
}

// A node holding exactly the current token.
void single_token_node(Parser& p, NodeKind kind) {
  p.start_node(kind);
  p.bump();
  p.finish_node();
}

// :name {. field}
void parse_bind_ref(Parser& p) {
  p.start_node(NodeKind::BindRef);
  p.bump();
  while (p.at(TokenKind::Dot) && is_name_kind(p.kind_at(1))) {
    p.bump();
    p.bump();
  }
  p.finish_node();
}

// The operand at the current token, by its kind.
void parse_primary(Parser& p) {
  const std::optional<TokenKind> kind = p.kind_at(0);
  if (!kind) {
    p.error(MSG_EXPECTED_EXPRESSION);
    return;
  }
  switch (*kind) {
    case TokenKind::Ident:
      parse_primary_word(p);
      return;
    case TokenKind::QuotedIdent:
      parse_name_expr(p);
      return;
    case TokenKind::Number:
    case TokenKind::String:
    case TokenKind::Inquiry:
      single_token_node(p, NodeKind::Literal);
      return;
    case TokenKind::Bind:
      parse_bind_ref(p);
      return;
    case TokenKind::Substitution:
      // A name, or the head of a call or constructor: &&t.(), &&s..pkg.f(1).
      parse_name_expr(p);
      return;
    case TokenKind::LParen:
      parse_paren_expr(p);
      return;
    case TokenKind::Plus:
    case TokenKind::Minus:
      p.start_node(NodeKind::UnaryExpr);
      p.bump();
      parse_expr(p, BINDING_POWERS.unary_operand);
      p.finish_node();
      return;
    case TokenKind::Star:
      single_token_node(p, NodeKind::Star);
      return;
    case TokenKind::RParen:
    case TokenKind::RBracket:
    case TokenKind::Comma:
    case TokenKind::Semicolon:
      p.error(MSG_EXPECTED_EXPRESSION);
      return;
    default:
      p.error_bump(MSG_EXPECTED_EXPRESSION);
      return;
  }
}

// Call at the checkpoint over what was built so far: name(args) after a field access
// or an attribute.
void parse_call_at(Parser& p, Checkpoint start) {
  p.start_node_at(start, NodeKind::Call);
  {
    ConditionGuard no_condition(p, false);
    parse_arg_list(p);
  }
  p.finish_node();
}

// FOR dim {IN (...) | IN expr | LIKE e | FROM e | TO e | INCREMENT e | DECREMENT e}
void parse_cell_for(Parser& p) {
  p.start_node(NodeKind::CellFor);
  p.bump();  // FOR
  p.expect_name(MSG_EXPECTED_DIMENSION);
  // A ";" ends the loop like "]", so one typo cannot swallow later statements.
  while (!p.at_end() && !p.at(TokenKind::RBracket) && !p.at(TokenKind::Comma) &&
         !p.at(TokenKind::Semicolon)) {
    if (p.eat_word("IN")) {
      if (p.at(TokenKind::LParen)) {
        parse_paren_query_or_list(p);
      } else {
        parse_expr(p, 0);
      }
    } else if (p.at_any_word(0, CELL_FOR_BOUND_WORDS)) {
      p.bump();
      parse_expr(p, BINDING_POWERS.bound_operand);
    } else {
      p.error_bump(MSG_UNEXPECTED_IN_FOR_LOOP);
    }
  }
  p.finish_node();
}

// s[ANY, FOR d IN (...), d2 + 1]   (current token "[")
void parse_cell_ref(Parser& p, Checkpoint start) {
  p.start_node_at(start, NodeKind::CellRef);
  for (;;) {
    p.bump();  // "[" or ","
    if (p.at_end() || !p.at(TokenKind::Ident)) {
      parse_expr(p, 0);
    } else if (p.at_word(0, "ANY")) {
      p.bump();
    } else if (p.at_word(0, "FOR")) {
      parse_cell_for(p);
    } else {
      parse_expr(p, 0);
    }
    if (p.at_end()) {
      p.error(MSG_EXPECTED_CELL_CLOSE);
      break;
    }
    if (p.at(TokenKind::Comma)) {
      continue;
    }
    p.expect(TokenKind::RBracket, MSG_EXPECTED_CELL_CLOSE);
    break;
  }
  p.finish_node();
}

// [ONLY] type   in IS OF ( ... )
void parse_is_of_type(Parser& p) {
  p.eat_word("ONLY");
  parse_datatype(p);
}

}  // namespace

bool at_is_test(const Parser& p, uint32_t n) {
  if (p.at_word(n, "NOT")) ++n;
  return p.at_any_word(n, IS_STATE_WORDS) || p.at_word(n, "ANY") ||
         (p.at_word(n, "A") && p.at_word(n + 1, "SET")) || p.at_word(n, "JSON") ||
         p.at_word(n, "OF");
}

namespace {

// IS [NOT] {NULL | NAN | ... | ANY | A SET | JSON [options] | OF [TYPE] (...)}
void parse_is_rest(Parser& p) {
  p.bump();  // IS
  p.eat_word("NOT");
  if (p.at_any_word(0, IS_STATE_WORDS) || p.at_word(0, "ANY")) {
    p.bump();
  } else if (p.at_word(0, "A") && p.at_word(1, "SET")) {
    p.bump();
    p.bump();
  } else if (p.eat_word("JSON")) {
    while (p.at_any_word(0, IS_JSON_WORDS)) {
      p.bump();
    }
  } else if (p.eat_word("OF")) {
    p.eat_word("TYPE");
    if (p.eat(TokenKind::LParen)) {
      parse_items_to_rparen(p, parse_is_of_type, MSG_EXPECTED_RPAREN);
    } else {
      p.error(MSG_EXPECTED_IS_OF_LPAREN);
    }
  } else {
    p.error(MSG_EXPECTED_AFTER_IS);
  }
}

// The comparison family at the current token (a comparison token, or a word of the
// family, possibly after NOT). Returns false when the minimum stops it before
// anything is consumed.
bool try_parse_comparison(Parser& p, Checkpoint start, uint8_t min_bp) {
  if (min_bp > BINDING_POWERS.comparison.left) {
    return false;
  }
  const uint8_t right = BINDING_POWERS.comparison.right;
  if (COMPARISON_TOKENS.contains(p.kind_at(0))) {
    p.start_node_at(start, NodeKind::BinaryExpr);
    p.bump();
    if (p.at_any_word(0, QUANTIFIER_WORDS) && p.at(TokenKind::LParen, 1)) {
      p.start_node(NodeKind::QuantifiedExpr);
      p.bump();
      parse_paren_query_or_list(p);
      p.finish_node();
    } else {
      parse_expr(p, right);
    }
    p.finish_node();
    return true;
  }
  const bool negated = p.at_word(0, "NOT");
  const uint32_t word = negated ? 1 : 0;
  if (p.at_word(word, "IS")) {
    p.start_node_at(start, NodeKind::IsExpr);
    parse_is_rest(p);
  } else if (p.at_word(word, "IN")) {
    p.start_node_at(start, NodeKind::InExpr);
    if (negated) {
      p.bump();
    }
    p.bump();
    if (p.at(TokenKind::LParen)) {
      parse_paren_query_or_list(p);
    } else {
      parse_expr(p, right);
    }
  } else if (p.at_word(word, "BETWEEN")) {
    p.start_node_at(start, NodeKind::BetweenExpr);
    if (negated) {
      p.bump();
    }
    p.bump();
    parse_expr(p, BINDING_POWERS.bound_operand);
    expect_word(p, "AND", MSG_EXPECTED_BETWEEN_AND);
    parse_expr(p, BINDING_POWERS.bound_operand);
  } else if (p.at_any_word(word, LIKE_WORDS)) {
    p.start_node_at(start, NodeKind::LikeExpr);
    if (negated) {
      p.bump();
    }
    p.bump();
    parse_expr(p, BINDING_POWERS.bound_operand);
    if (p.eat_word("ESCAPE")) {
      parse_expr(p, BINDING_POWERS.bound_operand);
    }
  } else {
    // MEMBER or SUBMULTISET
    p.start_node_at(start, NodeKind::MemberExpr);
    if (negated) {
      p.bump();
    }
    p.bump();
    p.eat_word("OF");
    parse_expr(p, right);
  }
  p.finish_node();
  return true;
}

// left op right, with the operator's powers; false when the minimum stops it.
bool try_parse_binary(Parser& p, Checkpoint start, uint8_t min_bp, BindingPower power) {
  if (min_bp > power.left) {
    return false;
  }
  p.start_node_at(start, NodeKind::BinaryExpr);
  p.bump();
  parse_expr(p, power.right);
  p.finish_node();
  return true;
}

// The infix words at an Ident. Returns false when the expression ends here.
bool try_parse_operator_word(Parser& p, Checkpoint start, uint8_t min_bp) {
  if (p.at_word(0, "NOT")) {
    if (!p.at_any_word(1, NEGATABLE_OPERATOR_WORDS)) {
      return false;
    }
    return try_parse_comparison(p, start, min_bp);
  }
  if (p.at_word(0, "OR")) {
    return try_parse_binary(p, start, min_bp, BINDING_POWERS.logical_or);
  }
  if (p.at_word(0, "AND")) {
    return try_parse_binary(p, start, min_bp, BINDING_POWERS.logical_and);
  }
  if (p.at_any_word(0, COMPARISON_WORDS)) {
    return try_parse_comparison(p, start, min_bp);
  }
  // n MOD 2: PL/SQL's modulus operator, with the powers of "*" and "/". SQL has only the
  // MOD function, which is a primary.
  if (p.in_plsql && p.at_word(0, "MOD")) {
    return try_parse_binary(p, start, min_bp, BINDING_POWERS.multiplicative);
  }
  if (p.at_word(0, "MULTISET") && p.at_any_word(1, MULTISET_SET_WORDS)) {
    if (min_bp > BINDING_POWERS.multiset.left) {
      return false;
    }
    p.start_node_at(start, NodeKind::MultisetExpr);
    p.bump();
    p.bump();
    if (p.at_word(0, "ALL") || p.at_word(0, "DISTINCT")) {
      p.bump();
    }
    parse_expr(p, BINDING_POWERS.multiset.right);
    p.finish_node();
    return true;
  }
  return false;
}

// One pass of the postfix forms. Returns true when one was taken; sets `done` when
// the expression ends here (AT not followed by TIME ZONE or LOCAL, or the end).
bool try_parse_postfix(Parser& p, Checkpoint start, bool& done) {
  if (p.at_word(0, "AT")) {
    if (p.at_word(1, "TIME") && p.at_word(2, "ZONE")) {
      p.start_node_at(start, NodeKind::AtTimeZone);
      p.bump();
      p.bump();
      p.bump();
      parse_expr(p, BINDING_POWERS.postfix_operand);
      p.finish_node();
      return true;
    }
    if (p.at_word(1, "LOCAL")) {
      p.start_node_at(start, NodeKind::AtTimeZone);
      p.bump();
      p.bump();
      p.finish_node();
      return true;
    }
    done = true;
    return false;
  }
  if (at_outer_join_mark(p, 0)) {
    p.start_node_at(start, NodeKind::OuterJoinMark);
    p.bump();
    p.bump();
    p.bump();
    p.finish_node();
    return true;
  }
  if (p.at_end()) {
    done = true;
    return false;
  }
  if (p.at_word(0, "COLLATE")) {
    p.start_node_at(start, NodeKind::CollateExpr);
    p.bump();
    p.expect_name(MSG_EXPECTED_COLLATION);
    p.finish_node();
    return true;
  }
  if (p.at(TokenKind::LBracket)) {
    parse_cell_ref(p, start);
    return true;
  }
  NodeKind suffix{};
  if (p.at(TokenKind::Dot) && (is_name_kind(p.kind_at(1)) || p.at(TokenKind::Star, 1))) {
    suffix = NodeKind::FieldAccess;
  } else if (p.at(TokenKind::Percent) && p.at(TokenKind::Ident, 1) && !p.at_word(1, "TYPE") &&
             !p.at_word(1, "ROWTYPE")) {
    suffix = NodeKind::AttributeRef;
  } else {
    return false;
  }
  p.start_node_at(start, suffix);
  p.bump();
  p.bump();
  p.finish_node();
  if (p.at(TokenKind::LParen) && !at_outer_join_mark(p, 0)) {
    parse_call_at(p, start);
  }
  return true;
}

}  // namespace

bool at_dangling_predicate(const Parser& p) {
  if (COMPARISON_TOKENS.contains(p.kind_at(0)) || p.at_word(0, "IS")) {
    return true;
  }
  const uint32_t word = p.at_word(0, "NOT") ? 1 : 0;
  return p.at_word(word, "IN") || p.at_word(word, "BETWEEN") || p.at_any_word(word, LIKE_WORDS);
}

void parse_dangling_predicate(Parser& p) {
  DepthGuard depth(p);
  if (!depth.entered()) {
    recover_operand_too_deep(p);
    return;
  }
  const Checkpoint start = p.checkpoint();
  try_parse_comparison(p, start, 0);
}

void parse_expr(Parser& p, uint8_t min_bp) {
  DepthGuard depth(p);
  if (!depth.entered()) {
    recover_operand_too_deep(p);
    return;
  }
  if (p.in_condition) {
    take_condition_pieces(p);
  }
  const Checkpoint start = p.checkpoint();
  const bool parenthesised = p.at(TokenKind::LParen);
  parse_primary(p);
  if (parenthesised && at_interval_expr_qualifier(p)) {
    parse_interval_expr(p, start);
  }

  for (;;) {
    bool done = false;
    if (try_parse_postfix(p, start, done)) {
      continue;
    }
    if (done) {
      return;
    }
    const std::optional<TokenKind> kind = p.kind_at(0);
    if (kind == TokenKind::Substitution && p.in_condition && min_bp == 0) {
      parse_lexical(p);
      continue;
    }
    bool taken = false;
    switch (*kind) {
      case TokenKind::Concat:
      case TokenKind::Plus:
      case TokenKind::Minus:
        taken = try_parse_binary(p, start, min_bp, BINDING_POWERS.additive);
        break;
      case TokenKind::Star:
      case TokenKind::Slash:
        taken = try_parse_binary(p, start, min_bp, BINDING_POWERS.multiplicative);
        break;
      case TokenKind::Power:
        taken = try_parse_binary(p, start, min_bp, BINDING_POWERS.power);
        break;
      case TokenKind::Eq:
      case TokenKind::Ne:
      case TokenKind::Lt:
      case TokenKind::Gt:
      case TokenKind::Le:
      case TokenKind::Ge:
        taken = try_parse_comparison(p, start, min_bp);
        break;
      case TokenKind::Ident:
        taken = try_parse_operator_word(p, start, min_bp);
        break;
      default:
        break;
    }
    if (!taken) {
      return;
    }
  }
}

}  // namespace veltrane::parser
