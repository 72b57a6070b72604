// Subprogram headings: parameters, RETURN, unit options, and what follows the heading
// (";", a LANGUAGE or EXTERNAL call target, or a body).

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"
#include "sql/version_gates.hpp"
#include "sql/word_tables.hpp"

namespace veltrane::plsql {

// [(params)] [RETURN type] [options] ( ; | IS|AS LANGUAGE ... ; | IS|AS decls
// BEGIN ... END [name] ; )
void parse_subprogram(Parser& p, bool is_function) {
  const parser::StructureGuard level(p);
  if (!level.entered()) {
    skip_too_deep(p, true);
    return;
  }
  if (at_kind(p, TokenKind::LParen)) parse_param_list(p);
  if (is_function || at_word(p, "RETURN")) parse_return_clause(p);
  parse_unit_options(p);
  if (at_kind(p, TokenKind::Semicolon)) {
    p.bump();
    return;
  }
  if (!eat_word(p, "IS") && !eat_word(p, "AS")) {
    p.error("expected IS, AS or ;");
    recover_to_semicolon(p);
    return;
  }
  if (at_word(p, "LANGUAGE") || at_word(p, "EXTERNAL")) {
    open(p, NodeKind::CallSpec);
    p.skip_to_statement_end();
    close(p);
    if (!eat_kind(p, TokenKind::Semicolon)) p.error("expected ;");
    return;
  }
  parse_declare_section(p, sql::BEGIN_STOP_WORDS);
  open(p, NodeKind::Block);
  parse_block_body(p);
  close(p);
  if (at_name(p) && at_kind(p, TokenKind::Semicolon, 1)) p.bump();
  p.eat_semicolon();
}

namespace {

// name [IN] [OUT] [NOCOPY] type [DEFAULT | := expr]
void parse_param(Parser& p) {
  open(p, NodeKind::Param);
  p.expect_name("expected a parameter name");
  eat_word(p, "IN");
  eat_word(p, "OUT");
  eat_word(p, "NOCOPY");
  parse_type_ref(p);
  if (eat_word(p, "DEFAULT") || eat_kind(p, TokenKind::Assign)) parser::parse_expr(p, 0);
  close(p);
}

}  // namespace

// ( name [IN] [OUT] [NOCOPY] type [DEFAULT | := expr], ... )
void parse_param_list(Parser& p) {
  open(p, NodeKind::ParamList);
  p.bump();  // (
  if (!eat_kind(p, TokenKind::RParen)) {
    parser::parse_items_to_rparen(p, parse_param, "expected ) after the parameters");
  }
  close(p);
}

// RETURN type | RETURN SELF AS RESULT
void parse_return_clause(Parser& p) {
  open(p, NodeKind::ReturnClause);
  if (!at_word(p, "RETURN")) {
    p.error("expected RETURN");
    close(p);
    return;
  }
  p.bump();
  if (at_word(p, "SELF") && at_word(p, "AS", 1) && at_word(p, "RESULT", 2)) {
    p.bump();
    p.bump();
    p.bump();
  } else {
    parse_type_ref(p);
  }
  close(p);
}

namespace {
[[nodiscard]] bool at_options_end(const Parser& p) {
  return at_end(p) || at_kind(p, TokenKind::Semicolon) || at_word(p, "IS") || at_word(p, "AS") ||
         at_word(p, "UNDER");
}
}  // namespace

// AUTHID CURRENT_USER, DETERMINISTIC, ACCESSIBLE BY (...), PARALLEL_ENABLE
// (...), ...
void parse_unit_options(Parser& p) {
  if (at_options_end(p)) return;
  open(p, NodeKind::UnitOptions);
  while (!at_options_end(p)) {
    if (at_word(p, "ACCESSIBLE")) sql::check_gate(p, sql::Gate::AccessibleBy);
    if (at_word(p, "SQL_MACRO")) sql::check_gate(p, sql::Gate::SqlMacros);
    switch (*p.kind_at(0)) {
      case TokenKind::Ident:
      case TokenKind::QuotedIdent:
      case TokenKind::String:
      case TokenKind::Dot:
      case TokenKind::Eq:
        p.bump();
        break;
      case TokenKind::LParen:
        p.skip_clause();
        break;
      default:
        p.error_bump("unexpected token in the unit options");
        break;
    }
  }
  close(p);
}

// REF object_type | datatype
void parse_type_ref(Parser& p) {
  if (at_word(p, "REF") && at_kind(p, TokenKind::Ident, 1) && !at_word(p, "CURSOR", 1)) {
    open(p, NodeKind::TypeName);
    p.bump();
    parser::parse_name_ref(p);
    close(p);
    return;
  }
  parser::parse_datatype(p);
}

}  // namespace veltrane::plsql
