// CALL routine [INTO target] and LOCK TABLE t, ... IN mode MODE [NOWAIT | WAIT
// n].

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "sql/dml_ddl.hpp"

namespace veltrane::sql {

using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_EXPECTED_ROUTINE = "expected a routine to call";

}  // namespace

// CALL name[(args)] [INTO target]
void parse_call_stmt(Parser &p) {
  p.bump();
  if (parser::at_object_name(p)) {
    parser::parse_name_expr(p);
  } else {
    p.error(MSG_EXPECTED_ROUTINE);
  }
  if (p.eat_word("INTO")) {
    parser::parse_expr(p, 0);
  }
}

// LOCK TABLE target {, target} rest...
void parse_lock_table(Parser &p) {
  p.bump();
  do {
    p.bump();
    parse_dml_target(p);
  } while (p.at(TokenKind::Comma));
  p.skip_to_statement_end();
}

}  // namespace veltrane::sql
