// PL/SQL unit dispatch: which kind of unit an item is, the unit's rule, the
// leftovers and the root node around everything.

#include <array>
#include <string_view>

#include "parser/names.hpp"
#include "parser/parse_entries.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"
#include "sql/word_tables.hpp"

namespace veltrane::plsql {
namespace {

// Words that may follow CREATE [OR REPLACE] before a PL/SQL unit word.
constexpr std::array<std::string_view, 8> UNIT_CREATE_MODIFIERS = {
    "EDITIONABLE", "NONEDITIONABLE", "EDITIONING", "AND", "RESOLVE", "COMPILE", "FORCE", "NOFORCE"};

// Warning at the current token, then every remaining token flat.
NodeKind parse_not_modelled(Parser& p) {
  p.push_unchecked("unit kind not modelled: kept as tokens", p.current_span(),
                   syntax::Severity::Warning);
  while (!at_end(p)) p.bump();
  return NodeKind::OtherStmt;
}

// [<<label>>...] [DECLARE ...] BEGIN ... END [name] [;]
NodeKind parse_anonymous_block(Parser& p) {
  parse_label(p);
  parse_block(p);
  eat_kind(p, TokenKind::Semicolon);
  return NodeKind::AnonymousBlock;
}

void expect_is_or_as(Parser& p) {
  if (!eat_word(p, "IS") && !eat_word(p, "AS")) p.error("expected IS or AS");
}

// PACKAGE name [options] IS|AS declarations END [name] [;]
NodeKind parse_package(Parser& p) {
  p.bump();  // PACKAGE
  parse_unit_name(p);
  parse_unit_options(p);
  expect_is_or_as(p);
  parse_declare_section(p, sql::END_STOP_WORDS);
  parse_unit_end(p);
  return NodeKind::CreatePackage;
}

// PACKAGE BODY name [options] IS|AS declarations (BEGIN ... END [name] [;] |
// END [name] [;])
NodeKind parse_package_body(Parser& p) {
  p.bump();  // PACKAGE
  p.bump();  // BODY
  parse_unit_name(p);
  parse_unit_options(p);
  expect_is_or_as(p);
  parse_declare_section(p, sql::BEGIN_END_STOP_WORDS);
  if (at_word(p, "BEGIN")) {
    parse_unit_body(p);
    p.eat_semicolon();
  } else {
    parse_unit_end(p);
  }
  return NodeKind::CreatePackageBody;
}

// [modifiers] PROCEDURE|FUNCTION name subprogram, inside a type body
void parse_type_body_method(Parser& p) {
  open(p, NodeKind::SubprogramDecl);
  while (at_any_word(p, sql::METHOD_MODIFIER_WORDS)) p.bump();
  bool is_function = false;
  if (eat_word(p, "PROCEDURE")) {
  } else if (eat_word(p, "FUNCTION")) {
    is_function = true;
  } else {
    p.error("expected PROCEDURE or FUNCTION");
  }
  p.expect_name("expected a method name");
  parse_subprogram(p, is_function);
  close(p);
}

// TYPE BODY name IS|AS members END [name] [;]
NodeKind parse_type_body(Parser& p) {
  p.bump();  // TYPE
  p.bump();  // BODY
  parse_unit_name(p);
  expect_is_or_as(p);
  while (!at_end(p) && !at_word(p, "END")) {
    const auto before = p.pos;
    if (at_any_word(p, sql::METHOD_MODIFIER_WORDS) || at_word(p, "PROCEDURE") ||
        at_word(p, "FUNCTION")) {
      parse_type_body_method(p);
    } else if (at_name(p)) {
      parse_declaration(p);
    }
    if (p.pos == before) p.error_bump("expected a method");
  }
  parse_unit_end(p);
  return NodeKind::CreateTypeBody;
}

// The unit word at the current token, after an optional CREATE prefix.
NodeKind parse_unit_word(Parser& p) {
  if (!at_kind(p, TokenKind::Ident)) return parse_not_modelled(p);
  if (at_word(p, "PACKAGE")) {
    if (at_word(p, "BODY", 1)) return parse_package_body(p);
    return parse_package(p);
  }
  if (at_word(p, "PROCEDURE") || at_word(p, "FUNCTION")) {
    const bool is_function = at_word(p, "FUNCTION");
    p.bump();
    parse_unit_name(p);
    parse_subprogram(p, is_function);
    return is_function ? NodeKind::CreateFunction : NodeKind::CreateProcedure;
  }
  if (at_word(p, "TRIGGER")) {
    parse_trigger(p);
    return NodeKind::CreateTrigger;
  }
  if (at_word(p, "TYPE")) {
    if (at_word(p, "BODY", 1)) return parse_type_body(p);
    parse_type_spec(p);
    return NodeKind::CreateType;
  }
  return parse_not_modelled(p);
}

NodeKind parse_unit_kind(Parser& p) {
  if (at_end(p)) return parse_not_modelled(p);
  if (at_kind(p, TokenKind::LabelOpen)) return parse_anonymous_block(p);
  if (!at_kind(p, TokenKind::Ident)) return parse_not_modelled(p);
  if (at_word(p, "WITH")) {
    sql::parse_query(p);
    if (at_word(p, "FOR") && at_word(p, "UPDATE", 1)) sql::parse_for_update(p);
    return NodeKind::SelectStmt;
  }
  if (at_word(p, "DECLARE") || at_word(p, "BEGIN")) return parse_anonymous_block(p);
  if (at_word(p, "CREATE")) {
    p.bump();
    if (at_word(p, "OR") && at_word(p, "REPLACE", 1)) {
      p.bump();
      p.bump();
    }
    while (at_any_word(p, UNIT_CREATE_MODIFIERS)) p.bump();
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
void parse_unit_name(Parser& p) {
  open(p, NodeKind::ObjectName);
  if (at_name(p)) {
    parser::parse_name_ref(p);
  } else {
    p.error(parser::MSG_EXPECTED_NAME);
  }
  close(p);
}

// END [name] [;]
void parse_unit_end(Parser& p) {
  if (!eat_word(p, "END")) p.error("expected END");
  if (at_name(p)) p.bump();
  p.eat_semicolon();
}

// Block[BEGIN ... END [name]]
void parse_unit_body(Parser& p) {
  open(p, NodeKind::Block);
  parse_block_body(p);
  close(p);
}

}  // namespace veltrane::plsql
