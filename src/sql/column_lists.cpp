// Column lists: a parenthesised list of plain column names.

#include <string_view>

#include "parser/parser.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;

constexpr std::string_view EXPECTED_COLUMN_NAME = "expected a column name";
constexpr std::string_view EXPECTED_CLOSE = "expected )";

}  // namespace

// ( name, name, ... )
void parse_column_list(Parser& p) {
  p.start_node(NodeKind::ColumnList);
  p.bump();  // (
  for (;;) {
    if (p.at(TokenKind::Ident) || p.at(TokenKind::QuotedIdent)) {
      p.bump();
    } else {
      p.error(EXPECTED_COLUMN_NAME);
    }
    if (p.at(TokenKind::Comma)) {
      p.bump();
      continue;
    }
    if (p.at(TokenKind::RParen)) {
      p.bump();
    } else {
      p.error(EXPECTED_CLOSE);
    }
    break;
  }
  p.finish_node();
}

}  // namespace veltrane::sql
