// PL/SQL unit dispatch: which kind of unit an item is, the unit's rule, the
// leftovers and the root node around everything.

#include <array>
#include <string_view>

#include "parser/names.hpp"
#include "parser/parse_entries.hpp"
#include "parser/parser.hpp"
#include "parser/word_tables.hpp"
#include "plsql/plsql.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

// Words that may follow CREATE [OR REPLACE] before a PL/SQL unit word.
constexpr std::array<std::string_view, 8> UNIT_CREATE_MODIFIERS = {
    "EDITIONABLE", "NONEDITIONABLE", "EDITIONING", "AND", "RESOLVE", "COMPILE", "FORCE", "NOFORCE"};

constexpr std::string_view MSG_WRAPPED_UNIT = "wrapped unit: its body is not analysed";

// Warning at the current token, then every remaining token flat.
NodeKind parse_not_modelled(Parser& p) {
  p.push_unchecked("unit kind not modelled: kept as tokens", p.current_span(),
                   syntax::Severity::Warning);
  while (!p.at_end()) p.bump();
  return NodeKind::OtherStmt;
}

// [<<label>>...] [DECLARE ...] BEGIN ... END [name] [;]
NodeKind parse_anonymous_block(Parser& p) {
  parse_label(p);
  parse_block(p);
  p.eat(TokenKind::Semicolon);
  return NodeKind::AnonymousBlock;
}

void expect_is_or_as(Parser& p) {
  if (!p.eat_word("IS") && !p.eat_word("AS")) p.error("expected IS or AS");
}

// PACKAGE name [options] IS|AS declarations END [name] [;]   |   PACKAGE name WRAPPED text
NodeKind parse_package(Parser& p) {
  p.bump();  // PACKAGE
  parse_created_unit_name(p);
  if (try_parse_wrapped(p)) return NodeKind::CreatePackage;
  parse_unit_options(p);
  expect_is_or_as(p);
  parse_declare_section(p, parser::END_STOP_WORDS);
  parse_unit_end(p);
  return NodeKind::CreatePackage;
}

// PACKAGE BODY name [options] IS|AS declarations (BEGIN ... END [name] [;] |
// END [name] [;])   |   PACKAGE BODY name WRAPPED text
NodeKind parse_package_body(Parser& p) {
  p.bump();  // PACKAGE
  p.bump();  // BODY
  parse_created_unit_name(p);
  if (try_parse_wrapped(p)) return NodeKind::CreatePackageBody;
  parse_unit_options(p);
  expect_is_or_as(p);
  parse_declare_section(p, parser::BEGIN_END_STOP_WORDS);
  if (p.at_word(0, "BEGIN")) {
    parse_unit_body(p);
    p.eat_semicolon();
  } else {
    parse_unit_end(p);
  }
  return NodeKind::CreatePackageBody;
}

// [modifiers] PROCEDURE|FUNCTION name subprogram, inside a type body
void parse_type_body_method(Parser& p) {
  p.start_node(NodeKind::SubprogramDecl);
  while (p.at_any_word(0, parser::METHOD_MODIFIER_WORDS)) p.bump();
  bool is_function = false;
  if (p.eat_word("PROCEDURE")) {
  } else if (p.eat_word("FUNCTION")) {
    is_function = true;
  } else {
    p.error("expected PROCEDURE or FUNCTION");
  }
  p.expect_name("expected a method name");
  parse_subprogram(p, is_function);
  p.finish_node();
}

// TYPE BODY name IS|AS members END [name] [;]   |   TYPE BODY name WRAPPED text
NodeKind parse_type_body(Parser& p) {
  p.bump();  // TYPE
  p.bump();  // BODY
  parse_created_unit_name(p);
  if (try_parse_wrapped(p)) return NodeKind::CreateTypeBody;
  expect_is_or_as(p);
  while (!p.at_end() && !p.at_word(0, "END")) {
    const auto before = p.pos;
    if (p.at_any_word(0, parser::METHOD_MODIFIER_WORDS) || p.at_word(0, "PROCEDURE") ||
        p.at_word(0, "FUNCTION")) {
      parse_type_body_method(p);
    } else if (parser::is_name_kind(p.kind_at(0))) {
      try_parse_declaration(p);
    }
    if (p.pos == before) p.error_bump("expected a method");
  }
  parse_unit_end(p);
  return NodeKind::CreateTypeBody;
}

// The unit word at the current token, after an optional CREATE prefix.
NodeKind parse_unit_word(Parser& p) {
  if (!p.at(TokenKind::Ident)) return parse_not_modelled(p);
  if (p.at_word(0, "PACKAGE")) {
    if (p.at_word(1, "BODY")) return parse_package_body(p);
    return parse_package(p);
  }
  if (p.at_word(0, "PROCEDURE") || p.at_word(0, "FUNCTION")) {
    const bool is_function = p.at_word(0, "FUNCTION");
    p.bump();
    parse_created_unit_name(p);
    if (!try_parse_wrapped(p)) parse_subprogram(p, is_function);
    return is_function ? NodeKind::CreateFunction : NodeKind::CreateProcedure;
  }
  if (p.at_word(0, "TRIGGER")) {
    parse_trigger(p);
    return NodeKind::CreateTrigger;
  }
  if (p.at_word(0, "TYPE")) {
    if (p.at_word(1, "BODY")) return parse_type_body(p);
    parse_type_spec(p);
    return NodeKind::CreateType;
  }
  return parse_not_modelled(p);
}

NodeKind parse_unit_kind(Parser& p) {
  if (p.at_end()) return parse_not_modelled(p);
  if (p.at(TokenKind::LabelOpen)) return parse_anonymous_block(p);
  if (!p.at(TokenKind::Ident)) return parse_not_modelled(p);
  if (p.at_word(0, "WITH")) {
    sql::parse_query(p);
    if (p.at_word(0, "FOR") && p.at_word(1, "UPDATE")) sql::parse_for_update(p);
    // A query with functions written out and then ended by ";" before its "/" line.
    if (p.at(TokenKind::Semicolon) && !p.has(1)) p.bump();
    return NodeKind::SelectStmt;
  }
  if (p.at_word(0, "DECLARE") || p.at_word(0, "BEGIN")) return parse_anonymous_block(p);
  if (p.eat_word("CREATE")) {
    if (p.at_word(0, "OR") && p.at_word(1, "REPLACE")) {
      p.bump();
      p.bump();
    }
    while (p.at_any_word(0, UNIT_CREATE_MODIFIERS)) p.bump();
  }
  return parse_unit_word(p);
}

}  // namespace

void parse_unit(Parser& p) {
  p.in_plsql = true;
  const syntax::Checkpoint root = p.builder.checkpoint();
  const NodeKind kind = parse_unit_kind(p);
  parser::finish_item(p, root, kind, "unexpected tokens after the unit");
}

// ObjectName[NameRef]; a leading substitution variable is no unit name.
void parse_unit_name(Parser& p) { parser::parse_object_name(p); }

void parse_created_unit_name(Parser& p) {
  sql::parse_if_exists(p);
  parse_unit_name(p);
}

// WRAPPED text: the wrap utility's output up to the unit's "/" line, kept as tokens.
bool try_parse_wrapped(Parser& p) {
  if (!p.at_word(0, "WRAPPED")) return false;
  p.push_unchecked(MSG_WRAPPED_UNIT, p.current_span(), syntax::Severity::Warning);
  p.bump();
  if (p.at_end()) return true;
  p.start_node(NodeKind::SkippedClause);
  while (!p.at_end()) p.bump();
  p.finish_node();
  return true;
}

// END [name] [;]
void parse_unit_end(Parser& p) {
  if (!p.eat_word("END")) p.error("expected END");
  const uint32_t name_length = end_name_length(p);
  for (uint32_t i = 0; i < name_length; ++i) p.bump();
  p.eat_semicolon();
}

// Block[BEGIN ... END [name]]
void parse_unit_body(Parser& p) {
  p.start_node(NodeKind::Block);
  parse_block_body(p);
  p.finish_node();
}

}  // namespace veltrane::plsql
