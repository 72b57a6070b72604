// Declarations: variables, constants, exceptions, types, subtypes, cursors,
// pragmas and subprograms, and the declare section that holds them.

#include "parser/expressions.hpp"
#include "parser/parser.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

void expect_is_or_as(Parser& p) {
  if (!p.eat_word("IS") && !p.eat_word("AS")) p.error("expected IS or AS");
}

// [DEFAULT | :=] expr
void parse_default_value(Parser& p) {
  if (p.eat_word("DEFAULT") || p.eat(TokenKind::Assign)) parser::parse_expr(p, 0);
}

// PRAGMA name [(args)] ;
void parse_pragma_decl(Parser& p) {
  parse_pragma_head(p);
  if (!p.eat(TokenKind::Semicolon)) p.error("expected ; after the pragma");
  p.finish_node();
}

// field type [NOT NULL] [DEFAULT|:= expr]
void parse_field_def(Parser& p) {
  p.start_node(NodeKind::FieldDef);
  p.expect_name("expected a field name");
  parse_type_ref(p);
  try_parse_not_null(p);
  parse_default_value(p);
  p.finish_node();
}

// RECORD ( field type [NOT NULL] [DEFAULT|:= expr], ... )
void parse_record_def(Parser& p) {
  p.start_node(NodeKind::RecordDef);
  p.bump();  // RECORD
  if (!p.at(TokenKind::LParen)) {
    p.error("expected ( after RECORD");
    p.finish_node();
    return;
  }
  p.bump();  // (
  parser::parse_items_to_rparen(p, parse_field_def, "expected ) after the fields");
  p.finish_node();
}

// TYPE name IS|AS (RECORD ... | TABLE ... | VARRAY ... | REF CURSOR [RETURN
// type]) ;
void parse_type_decl(Parser& p) {
  p.start_node(NodeKind::TypeDecl);
  p.bump();  // TYPE
  p.expect_name("expected a type name");
  expect_is_or_as(p);
  if (p.at_word(0, "RECORD")) {
    parse_record_def(p);
  } else if (p.at_word(0, "TABLE") || p.at_word(0, "VARRAY") ||
             (p.at_word(0, "VARYING") && p.at_word(1, "ARRAY"))) {
    parse_collection_def(p);
  } else if (p.at_word(0, "REF") && p.at_word(1, "CURSOR")) {
    p.start_node(NodeKind::RefCursorDef);
    p.bump();
    p.bump();
    if (p.at_word(0, "RETURN")) parse_return_clause(p);
    p.finish_node();
  } else {
    p.error("expected RECORD, TABLE OF, VARRAY or REF CURSOR");
  }
  if (!p.eat(TokenKind::Semicolon)) {
    p.error("expected ; after the type");
    recover_to_semicolon(p);
  }
  p.finish_node();
}

// SUBTYPE name IS|AS type [RANGE lo .. hi] [NOT NULL] ;
void parse_subtype_decl(Parser& p) {
  p.start_node(NodeKind::SubtypeDecl);
  p.bump();  // SUBTYPE
  p.expect_name("expected a subtype name");
  expect_is_or_as(p);
  parse_type_ref(p);
  if (p.eat_word("RANGE")) {
    parser::parse_expr(p, parser::BINDING_POWERS.bound_operand);
    if (!p.eat(TokenKind::DotDot)) p.error("expected .. in RANGE");
    parser::parse_expr(p, parser::BINDING_POWERS.bound_operand);
  }
  try_parse_not_null(p);
  if (!p.eat(TokenKind::Semicolon)) p.error("expected ;");
  p.finish_node();
}

// CURSOR name [(params)] [RETURN type] [IS query [FOR UPDATE ...]] ;
void parse_cursor_decl(Parser& p) {
  p.start_node(NodeKind::CursorDecl);
  p.bump();  // CURSOR
  p.expect_name("expected a cursor name");
  if (p.at(TokenKind::LParen)) parse_param_list(p);
  if (p.at_word(0, "RETURN")) parse_return_clause(p);
  if (p.eat_word("IS")) {
    sql::parse_query(p);
    // The cursor that WHERE CURRENT OF names is declared FOR UPDATE.
    if (p.at_word(0, "FOR") && p.at_word(1, "UPDATE")) sql::parse_for_update(p);
  }
  if (!p.eat(TokenKind::Semicolon)) p.error("expected ; after the cursor");
  p.finish_node();
}

// PROCEDURE|FUNCTION name subprogram
void parse_subprogram_decl(Parser& p) {
  p.start_node(NodeKind::SubprogramDecl);
  const bool is_function = p.at_word(0, "FUNCTION");
  p.bump();
  p.expect_name("expected a subprogram name");
  parse_subprogram(p, is_function);
  p.finish_node();
}

// name [CONSTANT] type [NOT NULL] [DEFAULT|:= expr] ;   or   name EXCEPTION ;
void parse_variable_decl(Parser& p) {
  if (p.at_word(1, "EXCEPTION") && p.at(TokenKind::Semicolon, 2)) {
    p.start_node(NodeKind::ExceptionDecl);
    p.bump();
    p.bump();
    p.bump();
    p.finish_node();
    return;
  }
  p.start_node(NodeKind::VarDecl);
  p.bump();  // the name
  p.eat_word("CONSTANT");
  parse_type_ref(p);
  try_parse_not_null(p);
  parse_default_value(p);
  if (!p.eat(TokenKind::Semicolon)) {
    p.error("expected ; after the declaration");
    recover_to_semicolon(p);
  }
  p.finish_node();
}

}  // namespace

void parse_pragma_head(Parser& p) {
  p.start_node(NodeKind::PragmaDecl);
  p.bump();  // PRAGMA
  p.expect_name("expected a pragma name");
  if (p.at(TokenKind::LParen)) {
    const parser::ConditionGuard no_condition(p, false);
    parser::parse_arg_list(p);
  }
}

void parse_declare_section(Parser& p, StopWords stop_words) {
  if (p.at_end() || p.at_any_word(0, stop_words)) return;
  const parser::StatementListGuard no_statement_list(p, {});
  p.start_node(NodeKind::DeclareSection);
  while (!p.at_end() && !p.at_any_word(0, stop_words)) {
    const auto before = p.pos;
    try_parse_declaration(p);
    if (p.pos == before) p.error_bump("expected a declaration");
  }
  p.finish_node();
}

bool try_parse_declaration(Parser& p) {
  if (p.at(TokenKind::QuotedIdent)) {
    parse_variable_decl(p);
    return true;
  }
  if (!p.at(TokenKind::Ident)) return false;
  if (p.at_word(0, "PRAGMA")) {
    parse_pragma_decl(p);
  } else if (p.at_word(0, "TYPE") &&
             (parser::is_name_kind(p.kind_at(1)) || p.at(TokenKind::Substitution, 1)) &&
             (p.at_word(2, "IS") || p.at_word(2, "AS"))) {
    // TYPE name IS ...; TYPE followed by anything else is a variable named TYPE.
    parse_type_decl(p);
  } else if (p.at_word(0, "SUBTYPE")) {
    parse_subtype_decl(p);
  } else if (p.at_word(0, "CURSOR")) {
    parse_cursor_decl(p);
  } else if (p.at_word(0, "PROCEDURE") || p.at_word(0, "FUNCTION")) {
    parse_subprogram_decl(p);
  } else {
    parse_variable_decl(p);
  }
  return true;
}

bool try_parse_not_null(Parser& p) {
  if (!p.at_word(0, "NOT") || !p.at_word(1, "NULL")) return false;
  p.bump();
  p.bump();
  return true;
}

}  // namespace veltrane::plsql
