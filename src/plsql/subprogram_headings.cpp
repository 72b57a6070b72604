// Subprogram headings: parameters, RETURN, unit options, and what follows the heading
// (";", a LANGUAGE, EXTERNAL or MLE call target, or a body).

#include <cstdint>

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"
#include "plsql/plsql.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

bool at_call_target(const Parser& p, uint32_t n) {
  if (p.at_word(n, "LANGUAGE") || p.at_word(n, "EXTERNAL")) return true;
  return p.at_word(n, "MLE") && (p.at_word(n + 1, "MODULE") || p.at_word(n + 1, "LANGUAGE"));
}

namespace {

// call target ... up to its ";", which ends no group: JavaScript given inline
// (MLE LANGUAGE JAVASCRIPT {{ ... }}) keeps the ";" of its code between its braces.
void skip_call_target(Parser& p) {
  int64_t depth = 0;
  while (!p.at_end() && (depth > 0 || !p.at(TokenKind::Semicolon))) {
    if (p.at(TokenKind::LParen) || p.at(TokenKind::LBrace)) {
      ++depth;
    } else if (p.at(TokenKind::RParen) || p.at(TokenKind::RBrace)) {
      --depth;
    }
    p.bump();
  }
}

}  // namespace

// [(params)] [RETURN type] [options] ( ; | IS|AS call target ... ; | IS|AS decls
// BEGIN ... END [name] ; )
void parse_subprogram(Parser& p, bool is_function) {
  const parser::StructureGuard level(p);
  if (!level.entered()) {
    skip_too_deep(p, true);
    return;
  }
  if (p.at(TokenKind::LParen)) parse_param_list(p);
  if (is_function || p.at_word(0, "RETURN")) parse_return_clause(p);
  parse_unit_options(p);
  if (p.eat(TokenKind::Semicolon)) {
    return;
  }
  if (!p.eat_word("IS") && !p.eat_word("AS")) {
    p.error("expected IS, AS or ;");
    recover_to_semicolon(p);
    return;
  }
  if (at_call_target(p, 0)) {
    p.start_node(NodeKind::CallSpec);
    skip_call_target(p);
    p.finish_node();
    if (!p.eat(TokenKind::Semicolon)) p.error("expected ;");
    return;
  }
  parse_declare_section(p, parser::BEGIN_STOP_WORDS);
  p.start_node(NodeKind::Block);
  parse_block_body(p);
  p.finish_node();
  if (parser::is_name_kind(p.kind_at(0)) && p.at(TokenKind::Semicolon, 1)) p.bump();
  p.eat_semicolon();
}

namespace {

// name [IN] [OUT] [NOCOPY] type [DEFAULT | := expr]
void parse_param(Parser& p) {
  p.start_node(NodeKind::Param);
  p.expect_name("expected a parameter name");
  p.eat_word("IN");
  p.eat_word("OUT");
  p.eat_word("NOCOPY");
  parse_type_ref(p);
  if (p.eat_word("DEFAULT") || p.eat(TokenKind::Assign)) parser::parse_expr(p, 0);
  p.finish_node();
}

}  // namespace

// ( name [IN] [OUT] [NOCOPY] type [DEFAULT | := expr], ... )
void parse_param_list(Parser& p) {
  p.start_node(NodeKind::ParamList);
  p.bump();  // (
  if (!p.eat(TokenKind::RParen)) {
    parser::parse_items_to_rparen(p, parse_param, "expected ) after the parameters");
  }
  p.finish_node();
}

// RETURN type | RETURN SELF AS RESULT
void parse_return_clause(Parser& p) {
  p.start_node(NodeKind::ReturnClause);
  if (!p.at_word(0, "RETURN")) {
    p.error("expected RETURN");
    p.finish_node();
    return;
  }
  p.bump();
  if (p.at_word(0, "SELF") && p.at_word(1, "AS") && p.at_word(2, "RESULT")) {
    p.bump();
    p.bump();
    p.bump();
  } else {
    parse_type_ref(p);
  }
  p.finish_node();
}

namespace {
[[nodiscard]] bool at_options_end(const Parser& p) {
  return p.at_end() || p.at(TokenKind::Semicolon) || p.at_word(0, "IS") || p.at_word(0, "AS") ||
         p.at_word(0, "UNDER");
}
}  // namespace

// AUTHID CURRENT_USER, DETERMINISTIC, ACCESSIBLE BY (...), PARALLEL_ENABLE
// (...), ...
void parse_unit_options(Parser& p) {
  if (at_options_end(p)) return;
  p.start_node(NodeKind::UnitOptions);
  while (!at_options_end(p)) {
    if (p.at_word(0, "ACCESSIBLE")) parser::check_gate(p, parser::Gate::AccessibleBy);
    if (p.at_word(0, "SQL_MACRO")) parser::check_gate(p, parser::Gate::SqlMacros);
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
  p.finish_node();
}

// REF object_type | datatype
void parse_type_ref(Parser& p) {
  if (p.at_word(0, "REF") && p.at(TokenKind::Ident, 1) && !p.at_word(1, "CURSOR")) {
    p.start_node(NodeKind::TypeName);
    p.bump();
    parser::parse_name_ref(p);
    p.finish_node();
    return;
  }
  parser::parse_datatype(p);
}

}  // namespace veltrane::plsql
