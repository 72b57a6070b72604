// Object types: CREATE TYPE name [FORCE] [OID '...'] [options] (UNDER super |
// IS|AS OBJECT | IS|AS TABLE / VARRAY) [modifiers] [;] {ALTER TYPE name clauses [;]}, or
// CREATE TYPE name WRAPPED text

#include <array>
#include <cstdint>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/parser.hpp"
#include "parser/word_tables.hpp"
#include "plsql/plsql.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::array<std::string_view, 4> TYPE_MODIFIER_WORDS = {"NOT", "FINAL", "INSTANTIABLE",
                                                                 "PERSISTABLE"};

// A method's call target, from IS|AS LANGUAGE ... or EXTERNAL NAME '...', as plain tokens in a
// CallSpec node up to the "," or ")" that ends the element.
void parse_method_call_spec(Parser& p) {
  p.start_node(NodeKind::CallSpec);
  uint32_t depth = 0;
  while (!p.at_end() && !p.at(TokenKind::Semicolon)) {
    if (p.at(TokenKind::LParen)) {
      ++depth;
    } else if (p.at(TokenKind::RParen) || p.at(TokenKind::Comma)) {
      if (depth == 0) break;
      if (p.at(TokenKind::RParen)) --depth;
    }
    p.bump();
  }
  p.finish_node();
}

// [modifiers] PROCEDURE|FUNCTION name [(params)] [RETURN ...] [option words] [call target];
// an option word may carry a parenthesised group, as in PARALLEL_ENABLE (PARTITION p BY ANY)
void parse_method_decl(Parser& p) {
  p.start_node(NodeKind::MethodDecl);
  while (p.at_any_word(0, parser::METHOD_MODIFIER_WORDS)) p.bump();
  const bool is_function = p.at_word(0, "FUNCTION");
  if (!p.eat_word("PROCEDURE") && !p.eat_word("FUNCTION")) {
    p.error("expected PROCEDURE or FUNCTION");
  }
  p.expect_name("expected a method name");
  if (p.at(TokenKind::LParen)) parse_param_list(p);
  if (is_function || p.at_word(0, "RETURN")) parse_return_clause(p);
  bool after_word = false;
  while (true) {
    if ((p.at_word(0, "IS") || p.at_word(0, "AS")) && at_call_target(p, 1)) {
      p.bump();
      parse_method_call_spec(p);
      break;
    }
    if (p.at_word(0, "EXTERNAL")) {  // a Java method of a SQLJ type: EXTERNAL NAME '...'
      parse_method_call_spec(p);
      break;
    }
    if (p.at(TokenKind::Ident) && !p.at_word(0, "PRAGMA")) {
      p.bump();
      after_word = true;
    } else if (after_word && p.at(TokenKind::LParen)) {
      p.skip_clause();
      after_word = false;
    } else {
      break;
    }
  }
  p.finish_node();
}

// PRAGMA name [(args)]   (no ";" among the elements)
void parse_element_pragma(Parser& p) {
  parse_pragma_head(p);
  p.finish_node();
}

// method | PRAGMA ... | attribute type
void parse_object_element(Parser& p) {
  if (p.at_any_word(0, parser::METHOD_MODIFIER_WORDS) && !p.at(TokenKind::Comma, 1)) {
    parse_method_decl(p);
  } else if (p.at_word(0, "PRAGMA")) {
    parse_element_pragma(p);
  } else {
    p.start_node(NodeKind::AttributeDef);
    p.expect_name("expected an attribute name");
    parse_type_ref(p);
    p.finish_node();
  }
}

// [OBJECT] ( element, ... )
void parse_object_body(Parser& p) {
  p.start_node(NodeKind::ObjectTypeDef);
  p.eat_word("OBJECT");
  if (!p.at(TokenKind::LParen)) {
    p.error("expected ( after OBJECT");
    p.finish_node();
    return;
  }
  p.bump();  // (
  parser::parse_items_to_rparen(p, parse_object_element, "expected ) after the attributes");
  p.finish_node();
}

// ALTER TYPE name clauses   one SkippedClause: ALTER, TYPE and the ObjectName, then the
// clauses (ADD | DROP | MODIFY ATTRIBUTE ..., ADD | DROP MEMBER ..., MODIFY LIMIT n,
// MODIFY ELEMENT TYPE ..., [NOT] FINAL, CASCADE ... | INVALIDATE) as plain tokens up to
// the next ALTER TYPE outside parentheses, a ";" or the end of the unit.
void parse_appended_alter_type(Parser& p) {
  p.start_node(NodeKind::SkippedClause);
  p.bump();  // ALTER
  p.bump();  // TYPE
  parse_unit_name(p);
  uint32_t depth = 0;
  while (!p.at_end() && !p.at(TokenKind::Semicolon)) {
    if (depth == 0 && p.at_word(0, "ALTER") && p.at_word(1, "TYPE")) break;
    if (p.at(TokenKind::LParen)) {
      ++depth;
    } else if (p.at(TokenKind::RParen) && depth > 0) {
      --depth;
    }
    p.bump();
  }
  p.finish_node();
}

}  // namespace

void parse_type_spec(Parser& p) {
  p.bump();  // TYPE
  parse_created_unit_name(p);
  if (try_parse_wrapped(p)) return;
  p.eat_word("FORCE");
  if (p.eat_word("OID")) p.eat(TokenKind::String);
  if (p.at_end()) return;
  if (p.eat(TokenKind::Semicolon)) return;
  parse_unit_options(p);
  if (p.eat_word("UNDER")) {
    parse_unit_name(p);
    parse_object_body(p);
  } else {
    if (!p.eat_word("IS") && !p.eat_word("AS")) p.error("expected IS or AS");
    if (p.at_word(0, "OBJECT")) {
      parse_object_body(p);
    } else if (p.at_word(0, "TABLE") || p.at_word(0, "VARRAY") ||
               (p.at_word(0, "VARYING") && p.at_word(1, "ARRAY"))) {
      parse_collection_def(p);
    } else {
      p.error("expected OBJECT, UNDER, TABLE OF or VARRAY");
    }
  }
  if (p.at_any_word(0, TYPE_MODIFIER_WORDS)) {
    p.start_node(NodeKind::TypeModifiers);
    while (p.at_any_word(0, TYPE_MODIFIER_WORDS)) p.bump();
    p.finish_node();
  }
  p.eat_semicolon();
  // The type's evolution as the metadata export appends it to the source.
  while (p.at_word(0, "ALTER") && p.at_word(1, "TYPE")) {
    parse_appended_alter_type(p);
    p.eat_semicolon();
  }
}

}  // namespace veltrane::plsql
