// Control flow: IF, the CASE statement, loops (LOOP, WHILE, FOR), EXIT /
// CONTINUE, labels and NULL.

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"
#include "sql/word_tables.hpp"

namespace veltrane::plsql {

namespace {

// ELSIF|WHEN cond THEN stmts   one `kind` node (current word taken untested)
void parse_condition_branch(Parser& p, NodeKind kind, StopWords stop_words) {
  open(p, kind);
  p.bump();
  parser::parse_expr(p, 0);
  if (!eat_word(p, "THEN")) p.error(parser::MSG_EXPECTED_THEN);
  parse_statement_list(p, stop_words);
  close(p);
}

// [ELSE stmts]   up to END
void parse_else_branch(Parser& p) {
  if (at_word(p, "ELSE")) {
    open(p, NodeKind::ElseClause);
    p.bump();
    parse_statement_list(p, sql::END_STOP_WORDS);
    close(p);
  }
}

}  // namespace

// IF cond THEN stmts {ELSIF cond THEN stmts} [ELSE stmts] END IF ;
void parse_if_stmt(Parser& p) {
  open(p, NodeKind::IfStmt);
  p.bump();  // IF
  parser::parse_expr(p, 0);
  if (!eat_word(p, "THEN")) p.error(parser::MSG_EXPECTED_THEN);
  parse_statement_list(p, sql::ELSIF_ELSE_END_STOP_WORDS);
  while (at_word(p, "ELSIF")) {
    parse_condition_branch(p, NodeKind::ElsifClause, sql::ELSIF_ELSE_END_STOP_WORDS);
  }
  parse_else_branch(p);
  if (!eat_word(p, "END")) p.error("expected END IF");
  if (!eat_word(p, "IF")) p.error("expected IF after END");
  finish_statement(p);
}

// CASE [selector] WHEN x THEN stmts ... [ELSE stmts] END CASE [label] ;
void parse_case_stmt(Parser& p) {
  open(p, NodeKind::CaseStmt);
  p.bump();  // CASE
  if (!at_word(p, "WHEN")) parser::parse_expr(p, 0);
  while (at_word(p, "WHEN")) {
    parse_condition_branch(p, NodeKind::WhenClause, sql::WHEN_ELSE_END_STOP_WORDS);
  }
  parse_else_branch(p);
  if (!eat_word(p, "END")) p.error("expected END CASE");
  if (!eat_word(p, "CASE")) p.error("expected CASE after END");
  if (at_name(p)) p.bump();
  finish_statement(p);
}

// LOOP stmts END LOOP [label]   (the ";" is the caller's)
void parse_loop(Parser& p) {
  if (!eat_word(p, "LOOP")) p.error("expected LOOP");
  parse_statement_list(p, sql::END_STOP_WORDS);
  if (!eat_word(p, "END")) p.error("expected END LOOP");
  if (!eat_word(p, "LOOP")) p.error("expected LOOP after END");
  if (at_name(p)) p.bump();
}

// FOR i [, j] IN controls LOOP ... END LOOP [label] ;
void parse_for_loop(Parser& p) {
  open(p, NodeKind::ForLoop);
  p.bump();  // FOR
  p.expect_name("expected a loop index");
  eat_kind(p, TokenKind::Comma);  // FOR k, v IN PAIRS OF m
  while (at_name(p) && !at_word(p, "IN")) {
    p.bump();
    eat_kind(p, TokenKind::Comma);
  }
  if (!eat_word(p, "IN")) p.error("expected IN");
  // Iteration controls. A ";" ends them, so that a broken head cannot run past
  // the statement into the enclosing END.
  while (!at_end(p) && !at_word(p, "LOOP") && !at_kind(p, TokenKind::Semicolon)) {
    const auto before = p.pos;
    if (at_any_word(p, sql::FOR_LOOP_CONTROL_WORDS) && !at_kind(p, TokenKind::DotDot, 1)) {
      // WHEN and WHILE take a whole condition, up to LOOP or ",".
      const bool condition = at_word(p, "WHEN") || at_word(p, "WHILE");
      p.bump();
      if (condition) parser::parse_expr(p, 0);
    } else if (at_kind(p, TokenKind::Comma) || at_kind(p, TokenKind::DotDot)) {
      p.bump();
    } else if (sql::at_paren_query(p, 0)) {
      open(p, NodeKind::SubqueryExpr);
      p.bump();
      sql::parse_query(p);
      // FOR r IN (SELECT ... FOR UPDATE) LOOP
      if (at_word(p, "FOR") && at_word(p, "UPDATE", 1)) sql::parse_for_update(p);
      if (!eat_kind(p, TokenKind::RParen)) p.error(parser::MSG_EXPECTED_RPAREN);
      close(p);
    } else {
      parser::parse_expr(p, parser::BINDING_POWERS.bound_operand);
    }
    if (p.pos == before) p.error_bump("unexpected token in the FOR loop");
  }
  parse_loop(p);
  finish_statement(p);
}

// EXIT|CONTINUE [label] [WHEN cond] ;
void parse_exit_stmt(Parser& p, bool is_exit) {
  open(p, is_exit ? NodeKind::ExitStmt : NodeKind::ContinueStmt);
  p.bump();
  if (at_name(p) && !at_word(p, "WHEN")) p.bump();
  if (eat_word(p, "WHEN")) parser::parse_expr(p, 0);
  finish_statement(p);
}

// <<name>> ...
void parse_label(Parser& p) {
  while (at_kind(p, TokenKind::LabelOpen)) {
    open(p, NodeKind::Label);
    p.bump();
    p.expect_name("expected a label name");
    if (!eat_kind(p, TokenKind::LabelClose)) p.error("expected >>");
    close(p);
  }
}

// NULL ;
void parse_null_stmt(Parser& p) {
  open(p, NodeKind::NullStmt);
  p.bump();
  finish_statement(p);
}

}  // namespace veltrane::plsql
