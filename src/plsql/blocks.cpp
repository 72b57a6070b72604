// Blocks and exception handlers, statement-level recovery, and the flat skip
// taken at the structural nesting limit.

#include <array>
#include <cstdint>
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

constexpr std::array<std::string_view, 2> BODY_END_WORDS = {"EXCEPTION", "END"};
constexpr std::array<std::string_view, 3> CLOSED_BY_END_WORDS = {"IF", "LOOP", "CASE"};
constexpr std::array<std::string_view, 4> LEVEL_OPEN_WORDS = {"BEGIN", "IF", "LOOP", "CASE"};
// Words that end the statement list a skipped statement stands in.
constexpr std::array<std::string_view, 4> LIST_END_WORDS = {"END", "EXCEPTION", "ELSIF", "ELSE"};

bool at_semicolon(const Parser& p) { return p.at(TokenKind::Semicolon); }

// WHEN name [OR name]... THEN statements
void parse_exception_handler(Parser& p) {
  open(p, NodeKind::ExceptionHandler);
  do {
    p.bump();  // WHEN or OR
    if (!at_name(p)) {
      p.error("expected an exception name");
      break;
    }
    parser::parse_name_ref(p);
  } while (at_word(p, "OR"));
  if (!eat_word(p, "THEN")) p.error(parser::MSG_EXPECTED_THEN);
  parse_statement_list(p, sql::WHEN_END_STOP_WORDS);
  close(p);
}

}  // namespace

// [DECLARE declarations] BEGIN ... END [name]
void parse_block(Parser& p) {
  open(p, NodeKind::Block);
  if (eat_word(p, "DECLARE")) parse_declare_section(p, sql::BEGIN_STOP_WORDS);
  parse_block_body(p);
  close(p);
}

// BEGIN statements [EXCEPTION WHEN ... THEN statements ...] END [name]
void parse_block_body(Parser& p) {
  if (eat_word(p, "BEGIN")) {
    parse_statement_list(p, BODY_END_WORDS);
    if (at_word(p, "EXCEPTION")) {
      open(p, NodeKind::ExceptionSection);
      p.bump();
      while (at_word(p, "WHEN")) parse_exception_handler(p);
      close(p);
    }
  } else {
    p.error("expected BEGIN");
  }
  if (!eat_word(p, "END")) p.error("expected END");
  if (!at_name(p) || at_any_word(p, CLOSED_BY_END_WORDS)) return;
  if (!p.has(1) || at_kind(p, TokenKind::Semicolon, 1)) p.bump();
}

void recover_to_semicolon(Parser& p) {
  p.error("unexpected tokens before ;");
  if (!at_end(p) && !at_kind(p, TokenKind::Semicolon)) {
    parser::parse_flat_tokens_until(p, NodeKind::Error, at_semicolon);
  }
  p.eat_semicolon();
}

void finish_statement(Parser& p) {
  if (!eat_kind(p, TokenKind::Semicolon)) {
    p.error("expected ;");
    recover_to_semicolon(p);
  }
  close(p);
}

void skip_too_deep(Parser& p, bool subprogram) {
  p.error("nesting too deep");
  if (at_end(p)) return;
  open(p, NodeKind::Error);
  uint32_t depth = 0;
  // For a subprogram: bodies whose BEGIN is still to come (its own and those of the
  // subprograms declared in it), and whether a PROCEDURE or FUNCTION heading is open at
  // level 0 (the walk starts inside its own heading).
  uint32_t pending_bodies = 0;
  bool in_heading = subprogram;
  bool first = true;
  while (!at_end(p)) {
    if (depth == 0 && !first && !subprogram && at_any_word(p, LIST_END_WORDS)) break;
    if (at_word(p, "END")) {
      if (depth == 0 && !first) break;  // the END of an enclosing construct
      p.bump();
      if (at_any_word(p, CLOSED_BY_END_WORDS)) p.bump();
      if (depth > 0) --depth;
      if (subprogram && depth == 0 && pending_bodies == 0) {
        if (at_name(p) && at_kind(p, TokenKind::Semicolon, 1)) p.bump();
        p.eat_semicolon();
        break;
      }
    } else if (at_any_word(p, LEVEL_OPEN_WORDS)) {
      if (depth == 0 && at_word(p, "BEGIN") && pending_bodies > 0) --pending_bodies;
      p.bump();
      ++depth;
    } else if (subprogram && depth == 0 && at_kind(p, TokenKind::Semicolon)) {
      p.bump();
      in_heading = false;
      if (pending_bodies == 0) break;
    } else {
      if (subprogram && depth == 0) {
        if (at_word(p, "PROCEDURE") || at_word(p, "FUNCTION")) {
          in_heading = true;
        } else if (in_heading && (at_word(p, "IS") || at_word(p, "AS")) &&
                   !at_word(p, "LANGUAGE", 1) && !at_word(p, "EXTERNAL", 1)) {
          in_heading = false;
          ++pending_bodies;
        }
      }
      p.bump();
    }
    first = false;
  }
  close(p);
}

}  // namespace veltrane::plsql
