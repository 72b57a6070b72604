// MERGE INTO target USING source ON condition, its WHEN branches and LOG
// ERRORS.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_EXPECTED_INTO = "expected INTO after MERGE";
constexpr std::string_view MSG_EXPECTED_USING = "expected USING";
constexpr std::string_view MSG_EXPECTED_UPDATE = "expected UPDATE";
constexpr std::string_view MSG_EXPECTED_NOT_MATCHED = "expected NOT MATCHED";
constexpr std::string_view MSG_EXPECTED_MATCHED = "expected MATCHED";
constexpr std::string_view MSG_EXPECTED_INSERT = "expected INSERT";

// WHEN MATCHED THEN UPDATE SET ... [WHERE ...] [DELETE [WHERE ...]]
void parse_merge_matched(Parser &p) {
  p.start_node(NodeKind::MergeMatched);
  p.bump();
  p.bump();
  expect_word(p, "THEN", parser::MSG_EXPECTED_THEN);
  expect_word(p, "UPDATE", MSG_EXPECTED_UPDATE);
  parse_set_clause(p);
  parse_where_clause(p);
  if (p.eat_word("DELETE")) {
    parse_where_clause(p);
  }
  p.finish_node();
}

// WHEN NOT MATCHED THEN INSERT [( cols )] [VALUES ...] [WHERE ...]
void parse_merge_not_matched(Parser &p) {
  p.start_node(NodeKind::MergeNotMatched);
  p.bump();
  expect_word(p, "NOT", MSG_EXPECTED_NOT_MATCHED);
  expect_word(p, "MATCHED", MSG_EXPECTED_MATCHED);
  expect_word(p, "THEN", parser::MSG_EXPECTED_THEN);
  expect_word(p, "INSERT", MSG_EXPECTED_INSERT);
  if (p.at(TokenKind::LParen)) {
    parse_insert_columns(p);
  }
  if (p.at_word(0, "VALUES")) {
    parse_values_clause(p);
  }
  parse_where_clause(p);
  p.finish_node();
}

}  // namespace

// MERGE INTO target USING source ON cond {WHEN ...} [LOG ERRORS ...]
void parse_merge(Parser &p) {
  p.bump();
  expect_word(p, "INTO", MSG_EXPECTED_INTO);
  parse_dml_target(p);

  p.start_node(NodeKind::MergeUsing);
  expect_word(p, "USING", MSG_EXPECTED_USING);
  parse_joined_table(p);
  p.finish_node();

  p.start_node(NodeKind::MergeOn);
  expect_word(p, "ON", parser::MSG_EXPECTED_ON);
  parser::parse_expr(p, 0);
  p.finish_node();

  while (p.at_word(0, "WHEN")) {
    if (p.at_word(1, "MATCHED")) {
      parse_merge_matched(p);
    } else {
      parse_merge_not_matched(p);
    }
  }
  parse_error_logging(p);
}

}  // namespace veltrane::sql
