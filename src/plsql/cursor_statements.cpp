// Cursor statements: OPEN [FOR query | FOR text USING binds] and FETCH ...
// INTO.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"

namespace veltrane::plsql {

// USING [IN] [OUT] expr, ...   (shared with EXECUTE IMMEDIATE)
void parse_using_clause(Parser& p) {
  open(p, NodeKind::UsingClause);
  do {
    p.bump();  // USING or ,
    eat_word(p, "IN");
    eat_word(p, "OUT");
    parser::parse_expr(p, 0);
  } while (at_kind(p, TokenKind::Comma));
  close(p);
}

// [BULK [COLLECT]] INTO target, ...   (shared with EXECUTE IMMEDIATE)
void parse_into_clause(Parser& p) {
  open(p, NodeKind::IntoClause);
  if (eat_word(p, "BULK")) eat_word(p, "COLLECT");
  if (!eat_word(p, "INTO")) p.error(parser::MSG_EXPECTED_INTO);
  parser::parse_expr_list(p);
  close(p);
}

// OPEN cursor [FOR (query [FOR UPDATE ...] | text) [USING binds]] ;
void parse_open_stmt(Parser& p) {
  open(p, NodeKind::OpenStmt);
  p.bump();  // OPEN
  parser::parse_expr(p, parser::BINDING_POWERS.postfix_operand);
  if (eat_word(p, "FOR")) {
    if (sql::at_query_start(p)) {
      sql::parse_query(p);
      if (at_word(p, "FOR") && at_word(p, "UPDATE", 1)) sql::parse_for_update(p);
    } else {
      parser::parse_expr(p, 0);
    }
    if (at_word(p, "USING")) parse_using_clause(p);
  }
  finish_statement(p);
}

// FETCH cursor [BULK COLLECT] INTO targets [LIMIT n] ;
void parse_fetch_stmt(Parser& p) {
  open(p, NodeKind::FetchStmt);
  p.bump();  // FETCH
  parser::parse_expr(p, parser::BINDING_POWERS.postfix_operand);
  parse_into_clause(p);
  if (eat_word(p, "LIMIT")) parser::parse_expr(p, 0);
  finish_statement(p);
}

}  // namespace veltrane::plsql
