// FOR UPDATE: the row-locking clause after a whole query statement.

#include <string_view>

#include "parser/expect.hpp"
#include "parser/expressions.hpp"
#include "parser/parser.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;

constexpr std::string_view EXPECTED_LOCKED = "expected LOCKED";

}  // namespace

// FOR UPDATE [OF column, ...] [NOWAIT | WAIT n | SKIP LOCKED] [ORDER BY ...]
// (Oracle takes the query's ORDER BY after the clause too.)
void parse_for_update(Parser& p) {
  p.start_node(NodeKind::ForUpdate);
  p.bump();  // FOR
  p.bump();  // UPDATE
  if (p.eat_word("OF")) {
    parser::parse_expr_list(p);
  }
  if (p.eat_word("WAIT")) {
    parser::parse_expr(p, 0);
  } else if (p.eat_word("SKIP")) {
    parser::expect_word(p, "LOCKED", EXPECTED_LOCKED);
  } else if (p.at_word(0, "NOWAIT")) {
    p.bump();
  }
  if (p.at_word(0, "ORDER") && p.at_word(1, "BY")) {
    parser::parse_order_by(p);
  }
  p.finish_node();
}

}  // namespace veltrane::sql
