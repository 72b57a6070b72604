// PIVOT and UNPIVOT after a FROM item.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_PIVOT_LPAREN = "expected ( after PIVOT";
constexpr std::string_view MSG_PIVOT_FOR = "expected FOR in PIVOT";
constexpr std::string_view MSG_PIVOT_IN = "expected IN in PIVOT";
constexpr std::string_view MSG_PIVOT_CLOSE = "expected ) to close PIVOT";
constexpr std::string_view MSG_UNPIVOT_NULLS = "expected NULLS";
constexpr std::string_view MSG_UNPIVOT_LPAREN = "expected ( after UNPIVOT";
constexpr std::string_view MSG_UNPIVOT_FOR = "expected FOR in UNPIVOT";
constexpr std::string_view MSG_UNPIVOT_IN = "expected IN in UNPIVOT";
constexpr std::string_view MSG_UNPIVOT_CLOSE = "expected ) to close UNPIVOT";
constexpr std::string_view MSG_IN_LPAREN = "expected ( after IN";

// name | &substitution   one plain token with the substitution pieces glued to it
// (&unit, c_&sfx); `message` where no name stands
void parse_pivot_column(Parser &p, std::string_view message) {
  if (!parser::is_name_kind(p.kind_at(0)) && !p.at(TokenKind::Substitution)) {
    p.error(message);
    return;
  }
  p.bump();
  while (p.name_continuation(0) == 1) p.bump();
}

// column   inside ( ... )
void parse_listed_column(Parser &p) { parse_pivot_column(p, parser::MSG_EXPECTED_COLUMN_NAME); }

// column | ( column, ... )
void parse_pivot_columns(Parser &p) {
  if (p.at(TokenKind::LParen)) {
    p.start_node(NodeKind::ColumnList);
    p.bump();  // (
    parser::parse_items_to_rparen(p, parse_listed_column, parser::MSG_EXPECTED_RPAREN);
    p.finish_node();
  } else {
    parse_pivot_column(p, parser::MSG_EXPECTED_COLUMN);
  }
}

// expr [alias] {, expr [alias]}
void parse_aliased_exprs(Parser &p) {
  for (;;) {
    parser::parse_expr(p, 0);
    parse_alias(p, true);
    if (!p.at(TokenKind::Comma)) {
      return;
    }
    p.bump();
  }
}

// ANY {, ANY} | query | expr [alias], ...
void parse_pivot_in_list(Parser &p) {
  if (p.eat_word("ANY")) {
    while (p.at(TokenKind::Comma)) {
      p.bump();
      if (!p.at_word(0, "ANY")) {
        break;
      }
      p.bump();
    }
  } else if (at_query_start(p)) {
    parse_query(p);
  } else {
    parse_aliased_exprs(p);
  }
}

// item [AS value]
void parse_unpivot_in_item(Parser &p) {
  parse_pivot_columns(p);
  if (p.eat_word("AS")) {
    parser::parse_expr(p, 0);
  }
}

}  // namespace

// PIVOT [XML] ( agg [alias], ... FOR cols IN ( list ) )
void parse_pivot(Parser &p) {
  p.start_node(NodeKind::PivotClause);
  p.bump();
  p.eat_word("XML");
  if (!p.at(TokenKind::LParen)) {
    p.error(MSG_PIVOT_LPAREN);
    p.finish_node();
    return;
  }
  p.bump();
  parse_aliased_exprs(p);
  expect_word(p, "FOR", MSG_PIVOT_FOR);
  parse_pivot_columns(p);
  expect_word(p, "IN", MSG_PIVOT_IN);
  if (p.eat(TokenKind::LParen)) {
    parse_pivot_in_list(p);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  } else {
    p.error(MSG_IN_LPAREN);
  }
  p.expect(TokenKind::RParen, MSG_PIVOT_CLOSE);
  p.finish_node();
}

// UNPIVOT [INCLUDE|EXCLUDE NULLS] ( cols FOR cols IN ( item [AS value], ... ) )
void parse_unpivot(Parser &p) {
  p.start_node(NodeKind::UnpivotClause);
  p.bump();
  if (p.at_word(0, "INCLUDE") || p.at_word(0, "EXCLUDE")) {
    p.bump();
    expect_word(p, "NULLS", MSG_UNPIVOT_NULLS);
  }
  if (!p.at(TokenKind::LParen)) {
    p.error(MSG_UNPIVOT_LPAREN);
    p.finish_node();
    return;
  }
  p.bump();
  parse_pivot_columns(p);
  expect_word(p, "FOR", MSG_UNPIVOT_FOR);
  parse_pivot_columns(p);
  expect_word(p, "IN", MSG_UNPIVOT_IN);
  if (p.eat(TokenKind::LParen)) {
    parser::parse_items_to_rparen(p, parse_unpivot_in_item, parser::MSG_EXPECTED_RPAREN);
  } else {
    p.error(MSG_IN_LPAREN);
  }
  p.expect(TokenKind::RParen, MSG_UNPIVOT_CLOSE);
  p.finish_node();
}

}  // namespace veltrane::sql
