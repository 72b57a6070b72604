// The column list of CREATE VIEW and CREATE MATERIALIZED VIEW: the names the
// view gives to its query's columns, plain tokens, with inline and out-of-line
// constraints.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "sql/dml_ddl.hpp"

namespace veltrane::sql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

// Words that start an out-of-line constraint between the view's column names.
constexpr std::array<std::string_view, 5> VIEW_CONSTRAINT_WORDS = {
    "CONSTRAINT", "PRIMARY", "FOREIGN", "UNIQUE", "CHECK",
};

// Inline constraint words after a name (UNIQUE RELY DISABLE NOVALIDATE ...).
void bump_plain_words(Parser &p) {
  while (p.at(TokenKind::Ident)) {
    p.bump();
  }
}

// name [VISIBLE|INVISIBLE] {word} | constraint
void parse_view_column(Parser &p) {
  if (!parser::is_name_kind(p.kind_at(0))) {
    p.error(parser::MSG_EXPECTED_COLUMN_NAME);
    bump_plain_words(p);
  } else if (p.at_any_word(0, VIEW_CONSTRAINT_WORDS)) {
    parse_constraint_tokens(p);
  } else {
    p.bump();
    if (p.at_word(0, "VISIBLE") || p.at_word(0, "INVISIBLE")) {
      p.bump();
    }
    bump_plain_words(p);
  }
}

}  // namespace

// ( name [VISIBLE|INVISIBLE] {word} | constraint {, ...} )
void parse_view_columns(Parser &p) {
  p.start_node(NodeKind::ColumnList);
  p.bump();
  parser::parse_items_to_rparen(p, parse_view_column, parser::MSG_EXPECTED_RPAREN);
  p.finish_node();
}

}  // namespace veltrane::sql
