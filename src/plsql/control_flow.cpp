// Control flow: IF, the CASE statement, loops (LOOP, WHILE, FOR), EXIT /
// CONTINUE, labels and NULL.

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "parser/word_tables.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

void parse_condition(Parser& p) { parser::parse_expr(p, 0); }

// ELSIF|WHEN cond THEN stmts   one `kind` node (current word taken untested); a simple
// CASE's WHEN reads its choices with `parse_operand`.
void parse_condition_branch(Parser& p, NodeKind kind, StopWords stop_words,
                            void (*parse_operand)(Parser&) = parse_condition) {
  p.start_node(kind);
  p.bump();
  parse_operand(p);
  if (!p.eat_word("THEN")) p.error(parser::MSG_EXPECTED_THEN);
  parse_statement_list(p, stop_words);
  p.finish_node();
}

// [ELSE stmts]   up to END
void parse_else_branch(Parser& p) {
  if (p.at_word(0, "ELSE")) {
    p.start_node(NodeKind::ElseClause);
    p.bump();
    parse_statement_list(p, parser::END_STOP_WORDS);
    p.finish_node();
  }
}

}  // namespace

// IF cond THEN stmts {ELSIF cond THEN stmts} [ELSE stmts] END IF ;
void parse_if_stmt(Parser& p) {
  p.start_node(NodeKind::IfStmt);
  p.bump();  // IF
  parser::parse_expr(p, 0);
  if (!p.eat_word("THEN")) p.error(parser::MSG_EXPECTED_THEN);
  parse_statement_list(p, parser::ELSIF_ELSE_END_STOP_WORDS);
  while (p.at_word(0, "ELSIF")) {
    parse_condition_branch(p, NodeKind::ElsifClause, parser::ELSIF_ELSE_END_STOP_WORDS);
  }
  parse_else_branch(p);
  if (!p.eat_word("END")) p.error("expected END IF");
  if (!p.eat_word("IF")) p.error("expected IF after END");
  finish_statement(p);
}

// CASE [selector] WHEN x THEN stmts ... [ELSE stmts] END CASE [label] ;
// With a selector, WHEN takes a list of values and dangling predicates (WHEN 1, 2 THEN,
// WHEN < 0 THEN).
void parse_case_stmt(Parser& p) {
  p.start_node(NodeKind::CaseStmt);
  p.bump();  // CASE
  const bool searched = p.at_word(0, "WHEN");
  if (!searched) parser::parse_expr(p, 0);
  while (p.at_word(0, "WHEN")) {
    parse_condition_branch(p, NodeKind::WhenClause, parser::WHEN_ELSE_END_STOP_WORDS,
                           searched ? parse_condition : parser::parse_simple_case_choices);
  }
  parse_else_branch(p);
  if (!p.eat_word("END")) p.error("expected END CASE");
  if (!p.eat_word("CASE")) p.error("expected CASE after END");
  if (at_name_in_statement(p)) p.bump();
  finish_statement(p);
}

// LOOP stmts END LOOP [label]   (the ";" is the caller's)
void parse_loop(Parser& p) {
  if (!p.eat_word("LOOP")) p.error("expected LOOP");
  parse_statement_list(p, parser::END_STOP_WORDS);
  if (!p.eat_word("END")) p.error("expected END LOOP");
  if (!p.eat_word("LOOP")) p.error("expected LOOP after END");
  if (at_name_in_statement(p)) p.bump();
}

namespace {

// The iterands after FOR, up to IN: the index, a second index after "," (PAIRS OF) and
// each iterand's type as plain tokens, with its dotted parts, a %TYPE or %ROWTYPE and the
// sizes of a constrained type (NUMBER(5), VARCHAR2(10 CHAR), INTERVAL DAY(2) TO SECOND).
void parse_iterands(Parser& p) {
  p.expect_name("expected a loop index");
  p.eat(TokenKind::Comma);  // FOR k, v IN PAIRS OF m
  bool after_word = false;
  for (;;) {
    if (parser::is_name_kind(p.kind_at(0)) && !p.at_word(0, "IN")) {
      p.bump();
      after_word = !p.eat(TokenKind::Comma);
      continue;
    }
    if (after_word && p.at(TokenKind::LParen)) {
      parser::parse_type_size(p);
    } else if ((p.at(TokenKind::Dot) && parser::is_name_kind(p.kind_at(1))) ||
               (p.at(TokenKind::Percent) && (p.at_word(1, "TYPE") || p.at_word(1, "ROWTYPE")))) {
      p.bump();  // FOR r c%ROWTYPE IN c, FOR r pkg.rec_t IN ...
      p.bump();
    } else {
      return;
    }
    after_word = false;
    // FOR k VARCHAR2(10), v NUMBER IN ..., FOR k t.c%TYPE, v NUMBER IN ...
    p.eat(TokenKind::Comma);
  }
}

// Where the iteration controls of a qualified expression's iterator end: at "=>" or ")",
// and at SEQUENCE or INDEX after a control's operand.
[[nodiscard]] bool at_iterator_choice(const Parser& p, bool after_operand) {
  return p.at(TokenKind::Arrow) || p.at(TokenKind::RParen) ||
         (after_operand && (p.at_word(0, "SEQUENCE") || p.at_word(0, "INDEX")));
}

// The iteration controls after IN: control words, "," and ".." as plain tokens, cursor
// queries and dynamic SQL cursors in parentheses, and operands. A ";" ends them, so that
// a broken head cannot run past the statement into the enclosing END; LOOP ends those
// of a FOR loop, at_iterator_choice those of a qualified expression.
void parse_iteration_controls(Parser& p, bool in_constructor) {
  bool after_operand = false;
  while (!p.at_end() && !p.at(TokenKind::Semicolon)) {
    if (in_constructor ? at_iterator_choice(p, after_operand) : p.at_word(0, "LOOP")) return;
    const auto before = p.pos;
    bool operand = true;
    if (p.at_any_word(0, parser::FOR_LOOP_CONTROL_WORDS) && !p.at(TokenKind::DotDot, 1)) {
      // WHEN and WHILE take a whole condition, up to LOOP or ",".
      const bool condition = p.at_word(0, "WHEN") || p.at_word(0, "WHILE");
      p.bump();
      if (condition) {
        parser::parse_expr(p, 0);
      } else {
        operand = false;
      }
    } else if (p.at(TokenKind::Comma) || p.at(TokenKind::DotDot)) {
      p.bump();
      operand = false;
    } else if (sql::at_paren_query(p, 0)) {
      p.start_node(NodeKind::SubqueryExpr);
      p.bump();
      sql::parse_query(p);
      // FOR r IN (SELECT ... FOR UPDATE) LOOP
      if (p.at_word(0, "FOR") && p.at_word(1, "UPDATE")) sql::parse_for_update(p);
      if (!p.eat(TokenKind::RParen)) p.error(parser::MSG_EXPECTED_RPAREN);
      p.finish_node();
    } else if (p.at(TokenKind::LParen) && p.at_word(1, "EXECUTE") && p.at_word(2, "IMMEDIATE")) {
      parse_dynamic_cursor(p);
    } else {
      parser::parse_expr(p, parser::BINDING_POWERS.bound_operand);
    }
    if (p.pos == before) p.error_bump("unexpected token in the FOR loop");
    after_operand = operand;
  }
}

// FOR i [, j] [type] IN controls: opens the ForLoop node, which the caller finishes.
void parse_for_head(Parser& p, bool in_constructor) {
  p.start_node(NodeKind::ForLoop);
  p.bump();  // FOR
  parse_iterands(p);
  if (!p.eat_word("IN")) p.error("expected IN");
  parse_iteration_controls(p, in_constructor);
}

}  // namespace

// FOR i [, j] [type] IN controls LOOP ... END LOOP [label] ;
void parse_for_loop(Parser& p) {
  parse_for_head(p, false);
  parse_loop(p);
  finish_statement(p);
}

// FOR i [type] IN controls {SEQUENCE => value | INDEX key => value | => value}
void parse_iterator_choice(Parser& p) {
  parse_for_head(p, true);
  if (p.eat_word("INDEX")) {
    parser::parse_expr(p, 0);
  } else {
    p.eat_word("SEQUENCE");
  }
  if (!p.eat(TokenKind::Arrow)) p.error("expected =>");
  parser::parse_expr(p, 0);
  p.finish_node();
}

// EXIT|CONTINUE [label] [WHEN cond] ;
void parse_exit_stmt(Parser& p, bool is_exit) {
  p.start_node(is_exit ? NodeKind::ExitStmt : NodeKind::ContinueStmt);
  p.bump();
  if (at_name_in_statement(p) && !p.at_word(0, "WHEN")) p.bump();
  if (p.eat_word("WHEN")) parser::parse_expr(p, 0);
  finish_statement(p);
}

// <<name>> ...
void parse_label(Parser& p) {
  while (p.at(TokenKind::LabelOpen)) {
    p.start_node(NodeKind::Label);
    p.bump();
    p.expect_name("expected a label name");
    if (!p.eat(TokenKind::LabelClose)) p.error("expected >>");
    p.finish_node();
  }
}

// NULL ;
void parse_null_stmt(Parser& p) {
  p.start_node(NodeKind::NullStmt);
  p.bump();
  finish_statement(p);
}

}  // namespace veltrane::plsql
