// Declarations: variables, constants, exceptions, types, subtypes, cursors,
// pragmas and subprograms, and the declare section that holds them.

#include "parser/expressions.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"

namespace veltrane::plsql {
namespace {

void expect_is_or_as(Parser& p) {
  if (!eat_word(p, "IS") && !eat_word(p, "AS")) p.error("expected IS or AS");
}

// [DEFAULT | :=] expr
void parse_default_value(Parser& p) {
  if (eat_word(p, "DEFAULT") || eat_kind(p, TokenKind::Assign)) parser::parse_expr(p, 0);
}

// PRAGMA name [(args)] ;
void parse_pragma_decl(Parser& p) {
  parse_pragma_head(p);
  if (!eat_kind(p, TokenKind::Semicolon)) p.error("expected ; after the pragma");
  close(p);
}

// field type [NOT NULL] [DEFAULT|:= expr]
void parse_field_def(Parser& p) {
  open(p, NodeKind::FieldDef);
  p.expect_name("expected a field name");
  parse_type_ref(p);
  parse_not_null(p);
  parse_default_value(p);
  close(p);
}

// RECORD ( field type [NOT NULL] [DEFAULT|:= expr], ... )
void parse_record_def(Parser& p) {
  open(p, NodeKind::RecordDef);
  p.bump();  // RECORD
  if (!at_kind(p, TokenKind::LParen)) {
    p.error("expected ( after RECORD");
    close(p);
    return;
  }
  p.bump();  // (
  parser::parse_items_to_rparen(p, parse_field_def, "expected ) after the fields");
  close(p);
}

// TYPE name IS|AS (RECORD ... | TABLE ... | VARRAY ... | REF CURSOR [RETURN
// type]) ;
void parse_type_decl(Parser& p) {
  open(p, NodeKind::TypeDecl);
  p.bump();  // TYPE
  p.expect_name("expected a type name");
  expect_is_or_as(p);
  if (at_word(p, "RECORD")) {
    parse_record_def(p);
  } else if (at_word(p, "TABLE") || at_word(p, "VARRAY") ||
             (at_word(p, "VARYING") && at_word(p, "ARRAY", 1))) {
    parse_collection_def(p);
  } else if (at_word(p, "REF") && at_word(p, "CURSOR", 1)) {
    open(p, NodeKind::RefCursorDef);
    p.bump();
    p.bump();
    if (at_word(p, "RETURN")) parse_return_clause(p);
    close(p);
  } else {
    p.error("expected RECORD, TABLE OF, VARRAY or REF CURSOR");
  }
  if (!eat_kind(p, TokenKind::Semicolon)) {
    p.error("expected ; after the type");
    recover_to_semicolon(p);
  }
  close(p);
}

// SUBTYPE name IS|AS type [RANGE lo .. hi] [NOT NULL] ;
void parse_subtype_decl(Parser& p) {
  open(p, NodeKind::SubtypeDecl);
  p.bump();  // SUBTYPE
  p.expect_name("expected a subtype name");
  expect_is_or_as(p);
  parse_type_ref(p);
  if (eat_word(p, "RANGE")) {
    parser::parse_expr(p, parser::BINDING_POWERS.bound_operand);
    if (!eat_kind(p, TokenKind::DotDot)) p.error("expected .. in RANGE");
    parser::parse_expr(p, parser::BINDING_POWERS.bound_operand);
  }
  parse_not_null(p);
  if (!eat_kind(p, TokenKind::Semicolon)) p.error("expected ;");
  close(p);
}

// CURSOR name [(params)] [RETURN type] [IS query [FOR UPDATE ...]] ;
void parse_cursor_decl(Parser& p) {
  open(p, NodeKind::CursorDecl);
  p.bump();  // CURSOR
  p.expect_name("expected a cursor name");
  if (at_kind(p, TokenKind::LParen)) parse_param_list(p);
  if (at_word(p, "RETURN")) parse_return_clause(p);
  if (eat_word(p, "IS")) {
    sql::parse_query(p);
    // The cursor that WHERE CURRENT OF names is declared FOR UPDATE.
    if (at_word(p, "FOR") && at_word(p, "UPDATE", 1)) sql::parse_for_update(p);
  }
  if (!eat_kind(p, TokenKind::Semicolon)) p.error("expected ; after the cursor");
  close(p);
}

// PROCEDURE|FUNCTION name subprogram
void parse_subprogram_decl(Parser& p) {
  open(p, NodeKind::SubprogramDecl);
  const bool is_function = at_word(p, "FUNCTION");
  p.bump();
  p.expect_name("expected a subprogram name");
  parse_subprogram(p, is_function);
  close(p);
}

// name [CONSTANT] type [NOT NULL] [DEFAULT|:= expr] ;   or   name EXCEPTION ;
void parse_variable_decl(Parser& p) {
  if (at_word(p, "EXCEPTION", 1) && at_kind(p, TokenKind::Semicolon, 2)) {
    open(p, NodeKind::ExceptionDecl);
    p.bump();
    p.bump();
    p.bump();
    close(p);
    return;
  }
  open(p, NodeKind::VarDecl);
  p.bump();  // the name
  eat_word(p, "CONSTANT");
  parse_type_ref(p);
  parse_not_null(p);
  parse_default_value(p);
  if (!eat_kind(p, TokenKind::Semicolon)) {
    p.error("expected ; after the declaration");
    recover_to_semicolon(p);
  }
  close(p);
}

}  // namespace

void parse_pragma_head(Parser& p) {
  open(p, NodeKind::PragmaDecl);
  p.bump();  // PRAGMA
  p.expect_name("expected a pragma name");
  if (at_kind(p, TokenKind::LParen)) {
    const parser::ConditionGuard no_condition(p, false);
    parser::parse_arg_list(p);
  }
}

void parse_declare_section(Parser& p, StopWords stop_words) {
  if (at_end(p) || at_any_word(p, stop_words)) return;
  open(p, NodeKind::DeclareSection);
  while (!at_end(p) && !at_any_word(p, stop_words)) {
    const auto before = p.pos;
    parse_declaration(p);
    if (p.pos == before) p.error_bump("expected a declaration");
  }
  close(p);
}

void parse_declaration(Parser& p) {
  if (at_kind(p, TokenKind::QuotedIdent)) {
    parse_variable_decl(p);
    return;
  }
  if (!at_kind(p, TokenKind::Ident)) return;
  if (at_word(p, "PRAGMA")) {
    parse_pragma_decl(p);
  } else if (at_word(p, "TYPE")) {
    parse_type_decl(p);
  } else if (at_word(p, "SUBTYPE")) {
    parse_subtype_decl(p);
  } else if (at_word(p, "CURSOR")) {
    parse_cursor_decl(p);
  } else if (at_word(p, "PROCEDURE") || at_word(p, "FUNCTION")) {
    parse_subprogram_decl(p);
  } else {
    parse_variable_decl(p);
  }
}

void parse_not_null(Parser& p) {
  if (at_word(p, "NOT") && at_word(p, "NULL", 1)) {
    p.bump();
    p.bump();
  }
}

}  // namespace veltrane::plsql
