// Dynamic SQL and bulk binding: EXECUTE IMMEDIATE and FORALL.

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"

namespace veltrane::plsql {
namespace {

constexpr std::array<std::string_view, 5> FORALL_STATEMENT_WORDS = {"INSERT", "UPDATE", "DELETE",
                                                                    "MERGE", "EXECUTE"};
constexpr std::array<std::string_view, 7> FORALL_BOUND_WORDS = {
    "INDICES", "VALUES", "OF", "BETWEEN", "AND", "SAVE", "EXCEPTIONS"};

[[nodiscard]] bool at_into_clause(const Parser& p) {
  return at_word(p, "INTO") || (at_word(p, "BULK") && at_word(p, "COLLECT", 1));
}

}  // namespace

// EXECUTE IMMEDIATE text {INTO ... | USING ... | RETURNING INTO ...} ;
void parse_execute_immediate(Parser& p) {
  open(p, NodeKind::ExecuteImmediate);
  p.bump();  // EXECUTE
  p.bump();  // IMMEDIATE
  parser::parse_expr(p, 0);
  while (true) {
    while (!at_end(p) && at_into_clause(p)) parse_into_clause(p);
    if (at_kind(p, TokenKind::Semicolon)) {
      p.bump();
      break;
    }
    if (at_word(p, "USING")) {
      parse_using_clause(p);
      continue;
    }
    if (at_word(p, "RETURNING") || at_word(p, "RETURN")) {
      open(p, NodeKind::ReturningClause);
      p.bump();
      parse_into_clause(p);
      close(p);
      continue;
    }
    p.error("expected ;");
    recover_to_semicolon(p);
    break;
  }
  close(p);
}

// FORALL i IN bounds [SAVE EXCEPTIONS] statement
void parse_forall(Parser& p) {
  open(p, NodeKind::ForallStmt);
  p.bump();  // FORALL
  p.expect_name("expected an index");
  if (!eat_word(p, "IN")) p.error("expected IN");
  // The bounds; a ";" ends them, so that a missing statement cannot take the
  // rest of the unit with it.
  while (!at_end(p) && !at_kind(p, TokenKind::Semicolon)) {
    if (at_any_word(p, FORALL_STATEMENT_WORDS)) break;
    const auto before = p.pos;
    if (at_any_word(p, FORALL_BOUND_WORDS) || at_kind(p, TokenKind::DotDot)) {
      p.bump();
    } else {
      parser::parse_expr(p, parser::BINDING_POWERS.bound_operand);
    }
    if (p.pos == before) p.error_bump("unexpected token in FORALL");
  }
  parse_plsql_statement(p);
  close(p);
}

}  // namespace veltrane::plsql
