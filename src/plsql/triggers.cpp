// Triggers: timing, events, ON, the optional clauses and the body (block, CALL
// or compound).

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "plsql/grammar_support.hpp"
#include "plsql/plsql.hpp"
#include "sql/word_tables.hpp"

namespace veltrane::plsql {
namespace {

constexpr std::array<std::string_view, 4> TIMING_WORDS = {"BEFORE", "AFTER", "INSTEAD", "FOR"};
constexpr std::array<std::string_view, 3> SECTION_WORDS = {"BEFORE", "AFTER", "INSTEAD"};
constexpr std::array<std::string_view, 3> CORRELATION_WORDS = {"OLD", "NEW", "PARENT"};
constexpr std::array<std::string_view, 2> TRIGGER_ORDER_WORDS = {"FOLLOWS", "PRECEDES"};

// BEFORE | AFTER | FOR | INSTEAD OF
void parse_trigger_timing(Parser& p) {
  open(p, NodeKind::TriggerTiming);
  if (eat_word(p, "INSTEAD")) {
    if (!eat_word(p, "OF")) p.error("expected OF");
  } else if (eat_word(p, "BEFORE") || eat_word(p, "AFTER") || eat_word(p, "FOR")) {
  } else {
    p.error("expected BEFORE, AFTER, INSTEAD OF or FOR");
  }
  close(p);
}

// event {OR event}, an event being a word or UPDATE OF col, ...
void parse_trigger_events(Parser& p) {
  while (true) {
    open(p, NodeKind::TriggerEvent);
    if (at_word(p, "UPDATE") && at_word(p, "OF", 1)) {
      p.bump();
      p.bump();
      while (true) {
        p.expect_name(parser::MSG_EXPECTED_COLUMN);
        if (!eat_kind(p, TokenKind::Comma)) break;
      }
    } else if (at_kind(p, TokenKind::Ident)) {
      p.bump();
    } else {
      p.error("expected a trigger event");
    }
    close(p);
    if (!eat_word(p, "OR")) break;
  }
}

// ON [NESTED TABLE col OF] object
void parse_trigger_on(Parser& p) {
  open(p, NodeKind::TriggerOn);
  if (eat_word(p, "ON")) {
    if (at_word(p, "NESTED") && at_word(p, "TABLE", 1)) {
      p.bump();
      p.bump();
      p.expect_name(parser::MSG_EXPECTED_COLUMN);
      if (!eat_word(p, "OF")) p.error("expected OF");
    }
    if (at_name(p)) parser::parse_name_ref(p);
  } else {
    p.error(parser::MSG_EXPECTED_ON);
  }
  close(p);
}

// REFERENCING {OLD|NEW|PARENT [AS] name}...
void parse_referencing(Parser& p) {
  open(p, NodeKind::Referencing);
  p.bump();  // REFERENCING
  while (at_any_word(p, CORRELATION_WORDS)) {
    p.bump();
    eat_word(p, "AS");
    p.expect_name("expected a correlation name");
  }
  close(p);
}

// The optional clauses after ON, in any order and number.
void parse_trigger_clauses(Parser& p) {
  while (true) {
    if (at_word(p, "REFERENCING")) {
      parse_referencing(p);
    } else if (at_word(p, "FOR") && at_word(p, "EACH", 1)) {
      open(p, NodeKind::ForEachRow);
      p.bump();
      p.bump();
      if (!eat_word(p, "ROW")) p.error("expected ROW");
      close(p);
    } else if ((at_word(p, "FORWARD") || at_word(p, "REVERSE")) && at_word(p, "CROSSEDITION", 1)) {
      p.bump();
      p.bump();
    } else if (at_any_word(p, TRIGGER_ORDER_WORDS)) {
      p.bump();
      while (at_name(p)) {
        parser::parse_name_ref(p);
        if (!eat_kind(p, TokenKind::Comma)) break;
      }
    } else if (at_word(p, "ENABLE") || at_word(p, "DISABLE")) {
      p.bump();
    } else if (at_word(p, "WHEN")) {
      open(p, NodeKind::TriggerWhen);
      p.bump();
      parser::parse_expr(p, 0);
      close(p);
    } else {
      return;
    }
  }
}

// BEFORE STATEMENT IS BEGIN ... END BEFORE STATEMENT;
void parse_compound_section(Parser& p) {
  open(p, NodeKind::CompoundSection);
  // The timing point's words; a ";" ends the walk so that a broken heading
  // cannot take the rest of the trigger with it.
  while (!at_end(p) && !at_word(p, "IS") && !at_kind(p, TokenKind::Semicolon)) p.bump();
  if (!eat_word(p, "IS")) p.error("expected IS");
  parse_block_body(p);
  while (!at_end(p)) {
    const bool semicolon = at_kind(p, TokenKind::Semicolon);
    p.bump();
    if (semicolon) break;
  }
  close(p);
}

void parse_trigger_body(Parser& p) {
  if (at_word(p, "COMPOUND") && at_word(p, "TRIGGER", 1)) {
    p.bump();
    p.bump();
    parse_declare_section(p, sql::TIMING_POINT_STOP_WORDS);
    while (at_any_word(p, SECTION_WORDS)) parse_compound_section(p);
    parse_unit_end(p);
    return;
  }
  if (eat_word(p, "CALL")) {
    if (at_name(p)) parser::parse_name_expr(p);
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
  parse_unit_name(p);
  if (at_word(p, "SHARING") || (at_word(p, "DEFAULT") && at_word(p, "COLLATION", 1))) {
    while (!at_end(p) && !at_any_word(p, TIMING_WORDS)) p.bump();
  }
  parse_trigger_timing(p);
  parse_trigger_events(p);
  parse_trigger_on(p);
  parse_trigger_clauses(p);
  parse_trigger_body(p);
}

}  // namespace veltrane::plsql
