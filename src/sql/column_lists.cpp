// Column lists: a parenthesised list of plain column names.

#include <string_view>

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;

// name   one plain token
void parse_column_name(Parser& p) { p.expect_name(parser::MSG_EXPECTED_COLUMN_NAME); }

}  // namespace

// ( name, name, ... )
void parse_column_list(Parser& p) {
  p.start_node(NodeKind::ColumnList);
  p.bump();  // (
  parser::parse_items_to_rparen(p, parse_column_name, parser::MSG_EXPECTED_RPAREN);
  p.finish_node();
}

}  // namespace veltrane::sql
