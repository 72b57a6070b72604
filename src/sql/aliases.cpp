// Aliases after select items and FROM items: one name, optionally after AS.

#include <string_view>

#include "parser/parser.hpp"
#include "parser/word_tables.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;

constexpr std::string_view AS_BEFORE_TABLE_ALIAS = "AS before a table alias is not Oracle syntax";
constexpr std::string_view EXPECTED_ALIAS_AFTER_AS = "expected an alias after AS";

}  // namespace

// [AS] name
void parse_alias(Parser& p, bool column_alias) {
  if (p.at_word(0, "AS")) {
    if (p.at_word(1, "OF") && !column_alias) return;  // AS OF starts a flashback clause
    if (!column_alias)
      p.push_unchecked(AS_BEFORE_TABLE_ALIAS, p.current_span(), parser::Severity::Warning);
    p.start_node(NodeKind::Alias);
    p.bump();  // AS
    p.expect_name(EXPECTED_ALIAS_AFTER_AS);
    p.finish_node();
    return;
  }
  bool take = p.at(TokenKind::QuotedIdent);
  // Inside a PL/SQL statement list, END (EXCEPTION, ...) after a table or column ends
  // the statement that lacks its ";", and is no alias.
  if (p.at(TokenKind::Ident) && !p.at_any_word(0, p.statement_list_end_words)) {
    const std::string_view word = p.text_at(0);
    // Only LOG ERRORS starts the error-logging clause: LOG alone is a table alias.
    take = column_alias ? !parser::is_reserved_or_clause_word(word)
                        : !parser::is_reserved_or_join_word(word) ||
                              (p.at_word(0, "LOG") && !p.at_word(1, "ERRORS"));
  }
  if (!take) return;
  p.start_node(NodeKind::Alias);
  p.bump();
  p.finish_node();
}

}  // namespace veltrane::sql
