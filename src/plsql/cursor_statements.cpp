// Cursor statements: OPEN [FOR query | FOR text USING binds] and FETCH ...
// INTO.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

// USING [IN] [OUT] expr, ...   (shared with EXECUTE IMMEDIATE)
void parse_using_clause(Parser& p) {
  p.start_node(NodeKind::UsingClause);
  do {
    p.bump();  // USING or ,
    p.eat_word("IN");
    p.eat_word("OUT");
    parser::parse_expr(p, 0);
  } while (p.at(TokenKind::Comma));
  p.finish_node();
}

// [BULK [COLLECT]] INTO target, ...   (shared with EXECUTE IMMEDIATE)
void parse_into_clause(Parser& p) {
  p.start_node(NodeKind::IntoClause);
  if (p.eat_word("BULK")) p.eat_word("COLLECT");
  if (!p.eat_word("INTO")) p.error(parser::MSG_EXPECTED_INTO);
  parser::parse_expr_list(p);
  p.finish_node();
}

// OPEN cursor [FOR (query [FOR UPDATE ...] | text) [USING binds]] ;
void parse_open_stmt(Parser& p) {
  p.start_node(NodeKind::OpenStmt);
  p.bump();  // OPEN
  parser::parse_expr(p, parser::BINDING_POWERS.postfix_operand);
  if (p.eat_word("FOR")) {
    if (sql::at_query_start(p)) {
      sql::parse_query(p);
      if (p.at_word(0, "FOR") && p.at_word(1, "UPDATE")) sql::parse_for_update(p);
    } else {
      parser::parse_expr(p, 0);
    }
    if (p.at_word(0, "USING")) parse_using_clause(p);
  }
  finish_statement(p);
}

// FETCH cursor [BULK COLLECT] INTO targets [LIMIT n] ;
void parse_fetch_stmt(Parser& p) {
  p.start_node(NodeKind::FetchStmt);
  p.bump();  // FETCH
  parser::parse_expr(p, parser::BINDING_POWERS.postfix_operand);
  parse_into_clause(p);
  if (p.eat_word("LIMIT")) parser::parse_expr(p, 0);
  finish_statement(p);
}

}  // namespace veltrane::plsql
