// ALTER TABLE (columns and constraints modelled, every other action kept as a
// SkippedClause) and COMMENT ON.

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "sql/dml_ddl.hpp"

namespace veltrane::sql {

using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_EXPECTED_IS = "expected IS";

// Words after ADD that start a constraint.
constexpr std::array<std::string_view, 6> ADD_CONSTRAINT_WORDS = {
    "CONSTRAINT", "PRIMARY", "FOREIGN", "UNIQUE", "CHECK", "SUPPLEMENTAL",
};

bool at_add(const Parser &p) { return p.at_word(0, "ADD"); }

// ADD PARTITION / SUBPARTITION / OVERFLOW / PERIOD FOR: partition and segment
// maintenance, never a column of that name.
bool at_add_non_column(const Parser &p) {
  return p.at_word(0, "PARTITION") || p.at_word(0, "SUBPARTITION") || p.at_word(0, "OVERFLOW") ||
         (p.at_word(0, "PERIOD") && p.at_word(1, "FOR"));
}

// An action that is not modelled: a SkippedClause up to ADD or a stray ")",
// then one plain token unless that is ADD, so that the action loop always moves
// on.
void skip_alter_action(Parser &p) {
  skip_clause_until(p, at_add);
  if (!p.at_end() && !p.at_word(0, "ADD")) {
    p.bump();
  }
}

// ADD ( elements ) | ADD column | ADD constraint
void parse_add_action(Parser &p) {
  p.bump();
  if (at_add_non_column(p)) {
    skip_alter_action(p);
  } else if (p.at(TokenKind::LParen)) {
    parse_table_elements(p);
  } else if (p.at(TokenKind::QuotedIdent)) {
    parse_column_definition(p);
  } else if (p.at_any_word(0, ADD_CONSTRAINT_WORDS)) {
    parse_constraint_tokens(p);
  } else if (p.at(TokenKind::Ident)) {
    parse_column_definition(p);
  }
}

}  // namespace

// ALTER TABLE [IF EXISTS] name action {[,] action}
void parse_alter_table(Parser &p) {
  p.bump();
  p.bump();
  parse_if_exists(p);
  parser::parse_object_name(p);
  while (!p.at_end()) {
    if (p.at_word(0, "ADD")) {
      parse_add_action(p);
    } else if (p.at_word(0, "MODIFY") && p.at(TokenKind::LParen, 1)) {
      p.bump();
      parse_table_elements(p);
    } else {
      skip_alter_action(p);
    }
    p.eat(TokenKind::Comma);
  }
}

// COMMENT ON {kind word} name IS text
void parse_comment(Parser &p) {
  p.bump();
  do {
    p.bump();
  } while (p.at(TokenKind::Ident) && !p.at(TokenKind::Dot, 1) && !p.at_word(1, "IS"));
  parser::parse_object_name(p);
  if (p.eat_word("IS")) {
    parser::parse_expr(p, 0);
  } else {
    p.error(MSG_EXPECTED_IS);
  }
}

}  // namespace veltrane::sql
