// MATCH_RECOGNIZE ( ... ) after a FROM item: row pattern matching. The pattern
// itself and the option phrases stay plain tokens; partitioning, ordering,
// measures, subsets and definitions get nodes.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_PATTERN_LPAREN = "expected ( after PATTERN";
constexpr std::string_view MSG_EXPECTED_SUBSET_NAME = "expected a subset name";
constexpr std::string_view MSG_EXPECTED_EQ = "expected =";
constexpr std::string_view MSG_EXPECTED_VARIABLE = "expected a pattern variable";
constexpr std::string_view MSG_UNEXPECTED = "unexpected token in MATCH_RECOGNIZE";
constexpr std::string_view MSG_CLOSE = "expected ) to close MATCH_RECOGNIZE";

// Words that end a run of option words.
constexpr std::array<std::string_view, 5> MR_STOP_WORDS = {
    "PATTERN", "SUBSET", "DEFINE", "AFTER", "MEASURES",
};

// PARTITION BY expr, ...
void parse_mr_partition_by(Parser &p) {
  p.start_node(NodeKind::PartitionBy);
  p.bump();
  p.bump();
  parser::parse_expr_list(p);
  p.finish_node();
}

// MEASURES expr [alias] {, expr [alias]}
void parse_mr_measures(Parser &p) {
  p.start_node(NodeKind::MrMeasures);
  do {
    p.bump();
    parser::parse_expr(p, 0);
    parse_alias(p, true);
  } while (p.at(TokenKind::Comma));
  p.finish_node();
}

// PATTERN ( ... )   kept whole as tokens
void parse_mr_pattern(Parser &p) {
  p.start_node(NodeKind::MrPattern);
  p.bump();
  if (p.at(TokenKind::LParen)) {
    p.skip_clause();
  } else {
    p.error(MSG_PATTERN_LPAREN);
  }
  p.finish_node();
}

// SUBSET name = ( var, ... ) {, name = ( var, ... )}
void parse_mr_subset(Parser &p) {
  p.start_node(NodeKind::MrSubset);
  do {
    p.bump();
    p.expect_name(MSG_EXPECTED_SUBSET_NAME);
    p.expect(TokenKind::Eq, MSG_EXPECTED_EQ);
    if (p.at(TokenKind::LParen)) {
      parse_column_list(p);
    }
  } while (p.at(TokenKind::Comma));
  p.finish_node();
}

// DEFINE var AS cond {, var AS cond}
void parse_mr_define(Parser &p) {
  p.start_node(NodeKind::MrDefine);
  do {
    p.bump();
    p.start_node(NodeKind::MrDefinition);
    p.expect_name(MSG_EXPECTED_VARIABLE);
    expect_word(p, "AS", parser::MSG_EXPECTED_AS);
    parser::parse_expr(p, 0);
    p.finish_node();
  } while (p.at(TokenKind::Comma));
  p.finish_node();
}

// ONE ROW PER MATCH ... | ALL ROWS PER MATCH ... | AFTER MATCH SKIP ...
void parse_mr_words(Parser &p, NodeKind kind, bool bump_first) {
  p.start_node(kind);
  if (bump_first) {
    p.bump();
  }
  skip_mr_words(p);
  p.finish_node();
}

}  // namespace

// MATCH_RECOGNIZE ( {sub-clause} )
void parse_match_recognize(Parser &p) {
  parser::check_gate(p, parser::Gate::MatchRecognize);
  p.start_node(NodeKind::MatchRecognize);
  p.bump();
  p.bump();
  bool closed = false;
  while (!p.at_end()) {
    if (p.eat(TokenKind::RParen)) {
      closed = true;
      break;
    }
    if (p.at_word(0, "PARTITION") && p.at_word(1, "BY")) {
      parse_mr_partition_by(p);
    } else if (p.at_word(0, "ORDER") && p.at_word(1, "BY")) {
      parser::parse_order_by(p);
    } else if (p.at_word(0, "MEASURES")) {
      parse_mr_measures(p);
    } else if (p.at_word(0, "ONE") || p.at_word(0, "ALL")) {
      parse_mr_words(p, NodeKind::MrRowsPerMatch, false);
    } else if (p.at_word(0, "AFTER")) {
      parse_mr_words(p, NodeKind::MrAfterMatch, true);
    } else if (p.at_word(0, "PATTERN")) {
      parse_mr_pattern(p);
    } else if (p.at_word(0, "SUBSET")) {
      parse_mr_subset(p);
    } else if (p.at_word(0, "DEFINE")) {
      parse_mr_define(p);
    } else {
      p.error_bump(MSG_UNEXPECTED);
    }
  }
  if (!closed) {
    p.error(MSG_CLOSE);
  }
  p.finish_node();
}

// Plain words up to a non-word or PATTERN, SUBSET, DEFINE, AFTER, MEASURES.
void skip_mr_words(Parser &p) {
  while (p.at(TokenKind::Ident) && !p.at_any_word(0, MR_STOP_WORDS)) {
    p.bump();
  }
}

}  // namespace veltrane::sql
