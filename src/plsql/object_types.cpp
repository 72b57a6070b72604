// Object types: CREATE TYPE name [FORCE] [OID '...'] [options] (UNDER super |
// IS|AS OBJECT | IS|AS TABLE / VARRAY) [modifiers] [;]

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"
#include "sql/word_tables.hpp"

namespace veltrane::plsql {
namespace {

constexpr std::array<std::string_view, 4> TYPE_MODIFIER_WORDS = {"NOT", "FINAL", "INSTANTIABLE",
                                                                 "PERSISTABLE"};

// [modifiers] PROCEDURE|FUNCTION name [(params)] [RETURN ...] [option words]
void parse_method_decl(Parser& p) {
  open(p, NodeKind::MethodDecl);
  while (at_any_word(p, sql::METHOD_MODIFIER_WORDS)) p.bump();
  const bool is_function = at_word(p, "FUNCTION");
  if (!eat_word(p, "PROCEDURE") && !eat_word(p, "FUNCTION")) {
    p.error("expected PROCEDURE or FUNCTION");
  }
  p.expect_name("expected a method name");
  if (at_kind(p, TokenKind::LParen)) parse_param_list(p);
  if (is_function || at_word(p, "RETURN")) parse_return_clause(p);
  while (at_kind(p, TokenKind::Ident) && !at_word(p, "PRAGMA")) p.bump();
  close(p);
}

// PRAGMA name [(args)]   (no ";" among the elements)
void parse_element_pragma(Parser& p) {
  parse_pragma_head(p);
  close(p);
}

// method | PRAGMA ... | attribute type
void parse_object_element(Parser& p) {
  if (at_any_word(p, sql::METHOD_MODIFIER_WORDS) && !at_kind(p, TokenKind::Comma, 1)) {
    parse_method_decl(p);
  } else if (at_word(p, "PRAGMA")) {
    parse_element_pragma(p);
  } else {
    open(p, NodeKind::AttributeDef);
    p.expect_name("expected an attribute name");
    parse_type_ref(p);
    close(p);
  }
}

// [OBJECT] ( element, ... )
void parse_object_body(Parser& p) {
  open(p, NodeKind::ObjectTypeDef);
  eat_word(p, "OBJECT");
  if (!at_kind(p, TokenKind::LParen)) {
    p.error("expected ( after OBJECT");
    close(p);
    return;
  }
  p.bump();  // (
  parser::parse_items_to_rparen(p, parse_object_element, "expected ) after the attributes");
  close(p);
}

}  // namespace

void parse_type_spec(Parser& p) {
  p.bump();  // TYPE
  parse_unit_name(p);
  eat_word(p, "FORCE");
  if (eat_word(p, "OID")) eat_kind(p, TokenKind::String);
  if (at_end(p)) return;
  if (eat_kind(p, TokenKind::Semicolon)) return;
  parse_unit_options(p);
  if (eat_word(p, "UNDER")) {
    parse_unit_name(p);
    parse_object_body(p);
  } else {
    if (!eat_word(p, "IS") && !eat_word(p, "AS")) p.error("expected IS or AS");
    if (at_word(p, "OBJECT")) {
      parse_object_body(p);
    } else if (at_word(p, "TABLE") || at_word(p, "VARRAY") ||
               (at_word(p, "VARYING") && at_word(p, "ARRAY", 1))) {
      parse_collection_def(p);
    } else {
      p.error("expected OBJECT, UNDER, TABLE OF or VARRAY");
    }
  }
  if (at_any_word(p, TYPE_MODIFIER_WORDS)) {
    open(p, NodeKind::TypeModifiers);
    while (at_any_word(p, TYPE_MODIFIER_WORDS)) p.bump();
    close(p);
  }
  p.eat_semicolon();
}

}  // namespace veltrane::plsql
