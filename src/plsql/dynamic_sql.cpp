// Dynamic SQL and bulk binding: EXECUTE IMMEDIATE and FORALL.

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "plsql/plsql.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::array<std::string_view, 5> FORALL_STATEMENT_WORDS = {"INSERT", "UPDATE", "DELETE",
                                                                    "MERGE", "EXECUTE"};
constexpr std::array<std::string_view, 7> FORALL_BOUND_WORDS = {
    "INDICES", "VALUES", "OF", "BETWEEN", "AND", "SAVE", "EXCEPTIONS"};

[[nodiscard]] bool at_into_clause(const Parser& p) {
  return p.at_word(0, "INTO") || (p.at_word(0, "BULK") && p.at_word(1, "COLLECT"));
}

}  // namespace

// EXECUTE IMMEDIATE text {INTO ... | USING ... | RETURNING INTO ...} ;
void parse_execute_immediate(Parser& p) {
  p.start_node(NodeKind::ExecuteImmediate);
  p.bump();  // EXECUTE
  p.bump();  // IMMEDIATE
  parser::parse_expr(p, 0);
  while (true) {
    while (!p.at_end() && at_into_clause(p)) parse_into_clause(p);
    if (p.eat(TokenKind::Semicolon)) {
      break;
    }
    if (p.at_word(0, "USING")) {
      parse_using_clause(p);
      continue;
    }
    if (p.at_word(0, "RETURNING") || p.at_word(0, "RETURN")) {
      p.start_node(NodeKind::ReturningClause);
      p.bump();
      parse_into_clause(p);
      p.finish_node();
      continue;
    }
    p.error("expected ;");
    recover_statement_end(p);
    break;
  }
  p.finish_node();
}

void parse_dynamic_cursor(Parser& p) {
  p.start_node(NodeKind::ParenExpr);
  p.bump();  // (
  p.start_node(NodeKind::ExecuteImmediate);
  p.bump();  // EXECUTE
  p.bump();  // IMMEDIATE
  parser::parse_expr(p, 0);
  if (p.at_word(0, "USING")) parse_using_clause(p);
  p.finish_node();
  if (!p.eat(TokenKind::RParen)) p.error(parser::MSG_EXPECTED_RPAREN);
  p.finish_node();
}

// FORALL i IN bounds [SAVE EXCEPTIONS] statement
void parse_forall(Parser& p) {
  p.start_node(NodeKind::ForallStmt);
  p.bump();  // FORALL
  p.expect_name("expected an index");
  if (!p.eat_word("IN")) p.error("expected IN");
  // The bounds; a ";" ends them, so that a missing statement cannot take the
  // rest of the unit with it.
  while (!p.at_end() && !p.at(TokenKind::Semicolon)) {
    if (p.at_any_word(0, FORALL_STATEMENT_WORDS)) break;
    const auto before = p.pos;
    if (p.at_any_word(0, FORALL_BOUND_WORDS) || p.at(TokenKind::DotDot)) {
      p.bump();
    } else {
      parser::parse_expr(p, parser::BINDING_POWERS.bound_operand);
    }
    if (p.pos == before) p.error_bump("unexpected token in FORALL");
  }
  parse_plsql_statement(p);
  p.finish_node();
}

}  // namespace veltrane::plsql
