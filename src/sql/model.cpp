// The MODEL clause of a query block: reference models, the partition, dimension
// and measure columns, option words and the rules that assign cells.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "parser/word_tables.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_EXPECTED_REFERENCE_NAME = "expected a reference model name";
constexpr std::string_view MSG_EXPECTED_MAIN_NAME = "expected the main model name";
constexpr std::string_view MSG_EXPECTED_RULES_LPAREN = "expected ( before the rules";
constexpr std::string_view MSG_EXPECTED_RULE_EQ = "expected = in the rule";
constexpr std::string_view MSG_EXPECTED_RULES_RPAREN = "expected ) after the rules";

// A rule's assigned cell and its ORDER BY items stop before the comparison "=".
constexpr std::uint8_t CELL_MIN_BP = parser::BINDING_POWERS.comparison.left + 1;

// Option words between RULES and the rule list.
constexpr std::array<std::string_view, 6> RULES_OPTION_WORDS = {
    "UPSERT", "UPDATE", "ALL", "AUTOMATIC", "SEQUENTIAL", "ORDER",
};

// ( expr )   after ITERATE or UNTIL
void parse_parenthesised_expr(Parser &p) {
  if (!p.at(TokenKind::LParen)) {
    p.error(parser::MSG_EXPECTED_LPAREN);
    return;
  }
  p.bump();
  parser::parse_expr(p, 0);
  p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
}

// expr [alias]
void parse_model_column(Parser &p) {
  parser::parse_expr(p, 0);
  parse_alias(p, true);
}

// {PARTITION BY | DIMENSION BY | MEASURES} ( expr [alias], ... )   (words at
// the cursor)
void parse_one_model_columns(Parser &p, uint32_t words) {
  p.start_node(NodeKind::ModelColumns);
  for (uint32_t i = 0; i < words; ++i) {
    p.bump();
  }
  if (!p.at(TokenKind::LParen)) {
    p.error(parser::MSG_EXPECTED_LPAREN);
    p.finish_node();
    return;
  }
  p.bump();
  parser::parse_items_to_rparen(p, parse_model_column, parser::MSG_EXPECTED_RPAREN);
  p.finish_node();
}

// The column clauses of the main model (any number, any order), or of a
// reference model: one DIMENSION BY and one MEASURES at most and no PARTITION
// BY, so that the main model's clauses after the last reference model stay the
// main model's.
void parse_model_columns_of(Parser &p, bool reference) {
  bool dimension_seen = false;
  bool measures_seen = false;
  for (;;) {
    if (p.at_word(0, "PARTITION") && p.at_word(1, "BY")) {
      if (reference) {
        return;
      }
      parse_one_model_columns(p, 2);
    } else if (p.at_word(0, "DIMENSION") && p.at_word(1, "BY")) {
      if (reference && dimension_seen) {
        return;
      }
      dimension_seen = true;
      parse_one_model_columns(p, 2);
    } else if (p.at_word(0, "MEASURES")) {
      if (reference && measures_seen) {
        return;
      }
      measures_seen = true;
      parse_one_model_columns(p, 1);
    } else {
      return;
    }
  }
}

// REFERENCE name ON ( query ) columns options
void parse_model_reference(Parser &p) {
  p.start_node(NodeKind::ModelReference);
  p.bump();
  p.expect_name(MSG_EXPECTED_REFERENCE_NAME);
  expect_word(p, "ON", parser::MSG_EXPECTED_ON);
  if (p.eat(TokenKind::LParen)) {
    parse_query(p);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  } else {
    p.error(parser::MSG_EXPECTED_LPAREN);
  }
  parse_model_columns_of(p, true);
  skip_model_options(p);
  p.finish_node();
}

// [UPSERT [ALL] | UPDATE] cell [ORDER [SIBLINGS] BY items] = expr
void parse_model_rule(Parser &p) {
  p.start_node(NodeKind::ModelRule);
  if (p.eat_word("UPSERT")) {
    p.eat_word("ALL");
  } else if (p.at_word(0, "UPDATE")) {
    p.bump();
  }
  parser::parse_expr(p, CELL_MIN_BP);
  if (p.at_word(0, "ORDER")) {
    p.start_node(NodeKind::OrderBy);
    p.bump();
    p.eat_word("SIBLINGS");
    expect_word(p, "BY", parser::MSG_EXPECTED_ORDER_BY);
    parser::parse_order_by_items(p, CELL_MIN_BP);
    p.finish_node();
  }
  p.expect(TokenKind::Eq, MSG_EXPECTED_RULE_EQ);
  parser::parse_expr(p, 0);
  p.finish_node();
}

// ( rule {, rule} )   an empty list and a trailing comma pass
void parse_model_rule_list(Parser &p) {
  if (!p.at(TokenKind::LParen)) {
    p.error(MSG_EXPECTED_RULES_LPAREN);
    return;
  }
  for (;;) {
    p.bump();
    if (p.at_end() || p.at(TokenKind::RParen)) {
      break;
    }
    parse_model_rule(p);
    if (!p.at(TokenKind::Comma)) {
      break;
    }
  }
  p.expect(TokenKind::RParen, MSG_EXPECTED_RULES_RPAREN);
}

// RULES {option | ITERATE ( n ) [UNTIL ( cond )]} ( rules )
void parse_model_rules(Parser &p) {
  p.start_node(NodeKind::ModelRules);
  p.bump();
  for (;;) {
    if (p.eat_word("ITERATE")) {
      parse_parenthesised_expr(p);
      if (p.eat_word("UNTIL")) {
        parse_parenthesised_expr(p);
      }
      continue;
    }
    if (p.at_end()) {
      break;
    }
    if (p.at_any_word(0, RULES_OPTION_WORDS)) {
      p.bump();
      continue;
    }
    break;
  }
  parse_model_rule_list(p);
  p.finish_node();
}

}  // namespace

// MODEL options {REFERENCE ...} [MAIN name] columns options [RULES ...] ( rules
// )
void parse_model_clause(Parser &p) {
  p.start_node(NodeKind::ModelClause);
  p.bump();
  skip_model_options(p);
  while (p.at_word(0, "REFERENCE")) {
    parse_model_reference(p);
  }
  if (p.eat_word("MAIN")) {
    p.expect_name(MSG_EXPECTED_MAIN_NAME);
  }
  parse_model_columns(p);
  skip_model_options(p);
  if (p.at_word(0, "RULES")) {
    parse_model_rules(p);
  } else if (p.at(TokenKind::LParen)) {
    // The RULES keyword may be left out before the rule list.
    p.start_node(NodeKind::ModelRules);
    parse_model_rule_list(p);
    p.finish_node();
  }
  p.finish_node();
}

void parse_model_columns(Parser &p) { parse_model_columns_of(p, false); }

// IGNORE NAV, KEEP NAV, UNIQUE DIMENSION, UNIQUE SINGLE REFERENCE, RETURN
// UPDATED ROWS ...
void skip_model_options(Parser &p) {
  while (!p.at_end()) {
    if (p.at_word(0, "REFERENCE") && p.at(TokenKind::Ident, 1) && p.at_word(2, "ON")) {
      return;
    }
    if (p.at_word(0, "DIMENSION") && p.at_word(1, "BY")) {
      return;
    }
    if (!p.at_any_word(0, parser::MODEL_OPTION_WORDS)) {
      return;
    }
    p.bump();
  }
}

}  // namespace veltrane::sql
