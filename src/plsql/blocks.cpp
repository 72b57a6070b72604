// Blocks and exception handlers, statement-level recovery, and the flat skip
// taken at the structural nesting limit.

#include <array>
#include <cstdint>
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

constexpr std::array<std::string_view, 2> BODY_END_WORDS = {"EXCEPTION", "END"};
constexpr std::array<std::string_view, 3> CLOSED_BY_END_WORDS = {"IF", "LOOP", "CASE"};
constexpr std::array<std::string_view, 4> LEVEL_OPEN_WORDS = {"BEGIN", "IF", "LOOP", "CASE"};
// Words that end the statement list a skipped statement stands in.
constexpr std::array<std::string_view, 4> LIST_END_WORDS = {"END", "EXCEPTION", "ELSIF", "ELSE"};

bool at_semicolon(const Parser& p) { return p.at(TokenKind::Semicolon); }

// WHEN name [OR name]... THEN statements
void parse_exception_handler(Parser& p) {
  p.start_node(NodeKind::ExceptionHandler);
  do {
    p.bump();  // WHEN or OR
    if (!parser::is_name_kind(p.kind_at(0))) {
      p.error("expected an exception name");
      break;
    }
    parser::parse_name_ref(p);
  } while (p.at_word(0, "OR"));
  if (!p.eat_word("THEN")) p.error(parser::MSG_EXPECTED_THEN);
  parse_statement_list(p, parser::WHEN_END_STOP_WORDS);
  p.finish_node();
}

}  // namespace

// [DECLARE declarations] BEGIN ... END [name]
void parse_block(Parser& p) {
  p.start_node(NodeKind::Block);
  if (p.eat_word("DECLARE")) parse_declare_section(p, parser::BEGIN_STOP_WORDS);
  parse_block_body(p);
  p.finish_node();
}

// BEGIN statements [EXCEPTION WHEN ... THEN statements ...] END [name]
void parse_block_body(Parser& p) {
  if (p.eat_word("BEGIN")) {
    parse_statement_list(p, BODY_END_WORDS);
    if (p.at_word(0, "EXCEPTION")) {
      p.start_node(NodeKind::ExceptionSection);
      p.bump();
      while (p.at_word(0, "WHEN")) parse_exception_handler(p);
      p.finish_node();
    }
  } else {
    p.error("expected BEGIN");
  }
  if (!p.eat_word("END")) p.error("expected END");
  if (p.at_any_word(0, CLOSED_BY_END_WORDS) || at_statement_list_end(p)) return;
  const uint32_t name_length = end_name_length(p);
  if (name_length == 0) return;
  if (!p.has(name_length) || p.at(TokenKind::Semicolon, name_length)) {
    for (uint32_t i = 0; i < name_length; ++i) p.bump();
  }
}

uint32_t end_name_length(const Parser& p) {
  if (!parser::is_name_kind(p.kind_at(0)) && !p.at(TokenKind::Substitution)) return 0;
  uint32_t length = 1;
  while (p.name_continuation(length) == 1) ++length;
  return length;
}

void recover_to_semicolon(Parser& p) {
  p.error("unexpected tokens before ;");
  if (!p.at_end() && !p.at(TokenKind::Semicolon)) {
    parser::parse_flat_tokens_until(p, NodeKind::Error, at_semicolon);
  }
  p.eat_semicolon();
}

bool at_statement_list_end(const Parser& p) {
  return p.at_end() || p.at_any_word(0, p.statement_list_end_words);
}

bool at_name_in_statement(const Parser& p) {
  return parser::is_name_kind(p.kind_at(0)) && !at_statement_list_end(p);
}

void recover_statement_end(Parser& p) {
  if (!at_statement_list_end(p)) recover_to_semicolon(p);
}

void finish_statement(Parser& p) {
  if (!p.eat(TokenKind::Semicolon)) {
    p.error("expected ;");
    recover_statement_end(p);
  }
  p.finish_node();
}

void skip_too_deep(Parser& p, bool subprogram) {
  p.error("nesting too deep");
  if (p.at_end()) return;
  p.start_node(NodeKind::Error);
  uint32_t depth = 0;
  // For a subprogram: bodies whose BEGIN is still to come (its own and those of the
  // subprograms declared in it), and whether a PROCEDURE or FUNCTION heading is open at
  // level 0 (the walk starts inside its own heading).
  uint32_t pending_bodies = 0;
  bool in_heading = subprogram;
  bool first = true;
  while (!p.at_end()) {
    if (depth == 0 && !first && !subprogram && p.at_any_word(0, LIST_END_WORDS)) break;
    if (p.at_word(0, "END")) {
      if (depth == 0 && !first) break;  // the END of an enclosing construct
      p.bump();
      if (p.at_any_word(0, CLOSED_BY_END_WORDS)) p.bump();
      if (depth > 0) --depth;
      if (subprogram && depth == 0 && pending_bodies == 0) {
        if (parser::is_name_kind(p.kind_at(0)) && p.at(TokenKind::Semicolon, 1)) p.bump();
        p.eat_semicolon();
        break;
      }
    } else if (p.at_any_word(0, LEVEL_OPEN_WORDS)) {
      if (depth == 0 && p.at_word(0, "BEGIN") && pending_bodies > 0) --pending_bodies;
      p.bump();
      ++depth;
    } else if (subprogram && depth == 0 && p.at(TokenKind::Semicolon)) {
      p.bump();
      in_heading = false;
      if (pending_bodies == 0) break;
    } else {
      if (subprogram && depth == 0) {
        if (p.at_word(0, "PROCEDURE") || p.at_word(0, "FUNCTION")) {
          in_heading = true;
        } else if (in_heading && (p.at_word(0, "IS") || p.at_word(0, "AS")) &&
                   !at_call_target(p, 1)) {
          in_heading = false;
          ++pending_bodies;
        }
      }
      p.bump();
    }
    first = false;
  }
  p.finish_node();
}

}  // namespace veltrane::plsql
