// Triggers: timing, events, ON, the optional clauses and the body (block, CALL
// or compound).

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/word_tables.hpp"
#include "plsql/plsql.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::array<std::string_view, 4> TIMING_WORDS = {"BEFORE", "AFTER", "INSTEAD", "FOR"};
constexpr std::array<std::string_view, 3> SECTION_WORDS = {"BEFORE", "AFTER", "INSTEAD"};
constexpr std::array<std::string_view, 3> CORRELATION_WORDS = {"OLD", "NEW", "PARENT"};
constexpr std::array<std::string_view, 2> TRIGGER_ORDER_WORDS = {"FOLLOWS", "PRECEDES"};

// BEFORE | AFTER | FOR | INSTEAD OF
void parse_trigger_timing(Parser& p) {
  p.start_node(NodeKind::TriggerTiming);
  if (p.eat_word("INSTEAD")) {
    if (!p.eat_word("OF")) p.error("expected OF");
  } else if (p.eat_word("BEFORE") || p.eat_word("AFTER") || p.eat_word("FOR")) {
  } else {
    p.error("expected BEFORE, AFTER, INSTEAD OF or FOR");
  }
  p.finish_node();
}

// event {OR event}, an event being a word or UPDATE OF col, ...
void parse_trigger_events(Parser& p) {
  while (true) {
    p.start_node(NodeKind::TriggerEvent);
    if (p.at_word(0, "UPDATE") && p.at_word(1, "OF")) {
      p.bump();
      p.bump();
      while (true) {
        p.expect_name(parser::MSG_EXPECTED_COLUMN);
        if (!p.eat(TokenKind::Comma)) break;
      }
    } else if (p.at(TokenKind::Ident)) {
      p.bump();
    } else {
      p.error("expected a trigger event");
    }
    p.finish_node();
    if (!p.eat_word("OR")) break;
  }
}

// ON [NESTED TABLE col OF] object
void parse_trigger_on(Parser& p) {
  p.start_node(NodeKind::TriggerOn);
  if (p.eat_word("ON")) {
    if (p.at_word(0, "NESTED") && p.at_word(1, "TABLE")) {
      p.bump();
      p.bump();
      p.expect_name(parser::MSG_EXPECTED_COLUMN);
      if (!p.eat_word("OF")) p.error("expected OF");
    }
    if (parser::at_object_name(p)) parser::parse_name_ref(p);
  } else {
    p.error(parser::MSG_EXPECTED_ON);
  }
  p.finish_node();
}

// REFERENCING {OLD|NEW|PARENT [AS] name}...
void parse_referencing(Parser& p) {
  p.start_node(NodeKind::Referencing);
  p.bump();  // REFERENCING
  while (p.at_any_word(0, CORRELATION_WORDS)) {
    p.bump();
    p.eat_word("AS");
    p.expect_name("expected a correlation name");
  }
  p.finish_node();
}

// The optional clauses after ON, in any order and number.
void parse_trigger_clauses(Parser& p) {
  while (true) {
    if (p.at_word(0, "REFERENCING")) {
      parse_referencing(p);
    } else if (p.at_word(0, "FOR") && p.at_word(1, "EACH")) {
      p.start_node(NodeKind::ForEachRow);
      p.bump();
      p.bump();
      if (!p.eat_word("ROW")) p.error("expected ROW");
      p.finish_node();
    } else if ((p.at_word(0, "FORWARD") || p.at_word(0, "REVERSE")) &&
               p.at_word(1, "CROSSEDITION")) {
      p.bump();
      p.bump();
    } else if (p.at_any_word(0, TRIGGER_ORDER_WORDS)) {
      p.bump();
      while (parser::at_object_name(p)) {
        parser::parse_name_ref(p);
        if (!p.eat(TokenKind::Comma)) break;
      }
    } else if (p.at_word(0, "ENABLE") || p.at_word(0, "DISABLE")) {
      p.bump();
    } else if (p.at_word(0, "WHEN")) {
      p.start_node(NodeKind::TriggerWhen);
      p.bump();
      parser::parse_expr(p, 0);
      p.finish_node();
    } else {
      return;
    }
  }
}

// BEFORE STATEMENT IS BEGIN ... END BEFORE STATEMENT;
void parse_compound_section(Parser& p) {
  p.start_node(NodeKind::CompoundSection);
  // The timing point's words; a ";" ends the walk so that a broken heading
  // cannot take the rest of the trigger with it.
  while (!p.at_end() && !p.at_word(0, "IS") && !p.at(TokenKind::Semicolon)) p.bump();
  if (!p.eat_word("IS")) p.error("expected IS");
  parse_block_body(p);
  while (!p.at_end()) {
    const bool semicolon = p.at(TokenKind::Semicolon);
    p.bump();
    if (semicolon) break;
  }
  p.finish_node();
}

void parse_trigger_body(Parser& p) {
  if (p.at_word(0, "COMPOUND") && p.at_word(1, "TRIGGER")) {
    p.bump();
    p.bump();
    parse_declare_section(p, parser::TIMING_POINT_STOP_WORDS);
    while (p.at_any_word(0, SECTION_WORDS)) parse_compound_section(p);
    parse_unit_end(p);
    return;
  }
  if (p.eat_word("CALL")) {
    if (parser::at_object_name(p)) parser::parse_name_expr(p);
    p.eat_semicolon();
    return;
  }
  parse_label(p);
  parse_block(p);
  p.eat_semicolon();
}

}  // namespace

// TRIGGER name [options] timing events ON object [clauses] body
void parse_trigger(Parser& p) {
  p.bump();  // TRIGGER
  parse_created_unit_name(p);
  if (p.at_word(0, "SHARING") || (p.at_word(0, "DEFAULT") && p.at_word(1, "COLLATION"))) {
    while (!p.at_end() && !p.at_any_word(0, TIMING_WORDS)) p.bump();
  }
  parse_trigger_timing(p);
  parse_trigger_events(p);
  parse_trigger_on(p);
  parse_trigger_clauses(p);
  parse_trigger_body(p);
}

}  // namespace veltrane::plsql
