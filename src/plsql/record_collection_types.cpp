// Collection types: TABLE OF (nested tables, associative arrays) and VARRAY /
// VARYING ARRAY.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"

namespace veltrane::plsql {

// TABLE OF type [NOT NULL] [INDEX BY type]
// [VARYING] VARRAY|ARRAY (limit) OF type [NOT NULL]
void parse_collection_def(Parser& p) {
  open(p, NodeKind::CollectionDef);
  if (eat_word(p, "TABLE")) {
    if (!eat_word(p, "OF")) p.error("expected OF");
    parse_type_ref(p);
    parse_not_null(p);
    if (eat_word(p, "INDEX")) {
      if (!eat_word(p, "BY")) p.error("expected BY");
      parse_type_ref(p);
    }
    close(p);
    return;
  }
  eat_word(p, "VARYING");
  p.bump();  // VARRAY or ARRAY
  if (eat_kind(p, TokenKind::LParen)) {
    parser::parse_expr(p, 0);
    if (!eat_kind(p, TokenKind::RParen)) p.error(parser::MSG_EXPECTED_RPAREN);
  } else {
    p.error(parser::MSG_EXPECTED_LPAREN);
  }
  if (!eat_word(p, "OF")) p.error("expected OF");
  parse_type_ref(p);
  parse_not_null(p);
  close(p);
}

}  // namespace veltrane::plsql
