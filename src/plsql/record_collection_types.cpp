// Collection types: TABLE OF (nested tables, associative arrays) and VARRAY /
// VARYING ARRAY.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "plsql/plsql.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

// TABLE OF type [NOT NULL] [INDEX BY type]
// [VARYING] VARRAY|ARRAY (limit) OF type [NOT NULL]
void parse_collection_def(Parser& p) {
  p.start_node(NodeKind::CollectionDef);
  if (p.eat_word("TABLE")) {
    if (!p.eat_word("OF")) p.error("expected OF");
    parse_type_ref(p);
    try_parse_not_null(p);
    if (p.eat_word("INDEX")) {
      if (!p.eat_word("BY")) p.error("expected BY");
      parse_type_ref(p);
    }
    p.finish_node();
    return;
  }
  p.eat_word("VARYING");
  p.bump();  // VARRAY or ARRAY
  if (p.eat(TokenKind::LParen)) {
    parser::parse_expr(p, 0);
    if (!p.eat(TokenKind::RParen)) p.error(parser::MSG_EXPECTED_RPAREN);
  } else {
    p.error(parser::MSG_EXPECTED_LPAREN);
  }
  if (!p.eat_word("OF")) p.error("expected OF");
  parse_type_ref(p);
  try_parse_not_null(p);
  p.finish_node();
}

}  // namespace veltrane::plsql
