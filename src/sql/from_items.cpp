// FROM items: the comma list, and one item with its suffixes (partition
// extension, sample, flashback, PIVOT / UNPIVOT, MATCH_RECOGNIZE, alias,
// partitioned outer join); parenthesised subqueries and joins, collections and
// table functions, LATERAL, ONLY, JSON_TABLE and XMLTABLE.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "parser/expect.hpp"
#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

namespace {

using parser::parse_expr;
using syntax::NodeKind;
using syntax::TokenKind;

constexpr std::string_view EXPECTED_JOINED_TABLES_CLOSE = "expected ) after the joined tables";
constexpr std::string_view EXPECTED_TABLE = "expected a table, view or subquery";
constexpr std::string_view EXPECTED_SAMPLE_OPEN = "expected ( after SAMPLE";
constexpr std::string_view EXPECTED_SEED_OPEN = "expected ( after SEED";
constexpr std::string_view EXPECTED_PERIOD_NAME = "expected a period name";
constexpr std::string_view EXPECTED_BETWEEN = "expected BETWEEN";
constexpr std::string_view EXPECTED_AND = "expected AND";
constexpr std::string_view EXPECTED_COLUMNS = "expected COLUMNS";

// The operand power of BETWEEN bounds: comparisons, AND and OR end a flashback
// bound.
constexpr std::uint8_t BOUND_POWER = parser::BINDING_POWERS.bound_operand;

// ( VALUES ( ... ) ...: a table value constructor as a FROM item.
bool at_paren_values(const Parser& p) {
  return p.at(TokenKind::LParen) && p.at_word(1, "VALUES") && p.at(TokenKind::LParen, 2);
}

// NESTED [PATH] column[.key[*]...] [, 'path'] [handlers] COLUMNS ( ... ): the JSON
// column of the table read as JSON_TABLE would read it. NESTED is no alias here.
bool at_nested_clause(const Parser& p) {
  if (!p.at_word(0, "NESTED")) return false;
  std::uint32_t n = p.at_word(1, "PATH") && !p.at_word(2, "COLUMNS") ? 2 : 1;
  if (!parser::is_name_kind(p.kind_at(n))) return false;
  // The column, its path and its handlers are names, strings, numbers, dots, commas and
  // [ * ] steps, up to COLUMNS and its "(".
  for (++n; p.has(n); ++n) {
    if (p.at_word(n, "COLUMNS") && p.at(TokenKind::LParen, n + 1)) return true;
    const std::optional<TokenKind> kind = p.kind_at(n);
    if (kind != TokenKind::Ident && kind != TokenKind::QuotedIdent && kind != TokenKind::Dot &&
        kind != TokenKind::Comma && kind != TokenKind::String && kind != TokenKind::Number &&
        kind != TokenKind::LBracket && kind != TokenKind::RBracket && kind != TokenKind::Star) {
      return false;
    }
  }
  return false;
}

// NESTED [PATH] column [, 'path'] [handlers] COLUMNS ( ... )   one JsonTable node
// (precondition: at_nested_clause)
void parse_nested_clause(Parser& p) {
  p.start_node(NodeKind::JsonTable);
  p.bump();  // NESTED
  if (!p.at_word(1, "COLUMNS")) p.eat_word("PATH");
  {
    const parser::ConditionGuard no_condition(p, false);
    parse_expr(p, 0);
    if (p.eat(TokenKind::Comma)) {
      if (!p.eat(TokenKind::String)) parse_expr(p, 0);
    }
  }
  // ERROR ON ERROR, NULL ON EMPTY and the like
  while ((p.at(TokenKind::Ident) || p.at(TokenKind::String) || p.at(TokenKind::Number)) &&
         !p.at_word(0, "COLUMNS")) {
    p.bump();
  }
  if (p.at_word(0, "COLUMNS")) {
    parser::parse_columns_clause(p);
  } else {
    p.error(EXPECTED_COLUMNS);
  }
  p.finish_node();
}

// An annotation word at lookahead n; CHECK OPTION belongs to a view's WITH CHECK OPTION.
bool at_table_annotation(const Parser& p, std::uint32_t n) {
  return p.at_any_word(n, parser::TABLE_ANNOTATION_WORDS) &&
         !(p.at_word(n, "CHECK") && p.at_word(n + 1, "OPTION"));
}

// ( item [join ...] ) [alias]
void parse_paren_join(Parser& p) {
  const parser::StructureGuard level(p);
  if (!level.entered()) {
    parser::recover_too_deep(p);
    return;
  }
  p.start_node(NodeKind::ParenJoin);
  p.bump();  // (
  parse_joined_table(p);
  p.expect(TokenKind::RParen, EXPECTED_JOINED_TABLES_CLOSE);
  p.finish_node();
  parse_alias(p, false);
}

// ( query )
void parse_subquery_ref(Parser& p) {
  p.start_node(NodeKind::SubqueryRef);
  p.bump();  // (
  parse_query(p);
  p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN_AFTER_THE_SUBQUERY);
  p.finish_node();
}

// The outer-join mark ( + ) after a collection or XMLTABLE item: three plain tokens.
void eat_outer_join_mark(Parser& p) {
  if (p.at(TokenKind::LParen) && p.at(TokenKind::Plus, 1) && p.at(TokenKind::RParen, 2)) {
    p.bump();
    p.bump();
    p.bump();
  }
}

// {TABLE|THE} ( query | expr ) [(+)]
void parse_collection_ref(Parser& p) {
  p.start_node(NodeKind::CollectionRef);
  p.bump();  // TABLE or THE
  p.bump();  // (
  if (at_query_start(p)) {
    parse_query(p);
  } else {
    parse_expr(p, 0);
  }
  p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  eat_outer_join_mark(p);
  p.finish_node();
}

// LATERAL ( query )
void parse_lateral_ref(Parser& p) {
  parser::check_gate(p, parser::Gate::Lateral);
  p.start_node(NodeKind::LateralRef);
  p.bump();  // LATERAL
  p.bump();  // (
  parse_query(p);
  p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  p.finish_node();
}

// JSON_TABLE ( ... ) | XMLTABLE ( ... ) [(+)]
void parse_table_function_call(Parser& p, NodeKind kind) {
  p.start_node(kind);
  p.bump();  // JSON_TABLE or XMLTABLE
  {
    const parser::ConditionGuard no_condition(p, false);
    parser::parse_arg_list(p);
  }
  if (kind == NodeKind::XmlTable) eat_outer_join_mark(p);
  p.finish_node();
}

// A name followed by "(" (glued to it when the name starts with a substitution
// variable) is a table function.
bool at_table_function(const Parser& p) {
  std::uint32_t n = 1;
  while (const std::uint32_t more = p.name_continuation(n)) n += more;
  if (!p.at(TokenKind::LParen, n)) return false;
  return !p.at(TokenKind::Substitution) || p.is_glued(n);
}

// The primary of a TableRef; the TableRef node is open. False when no item
// could start here (the suffixes are then not sought).
bool parse_table_primary(Parser& p) {
  if (at_paren_substitution(p) || at_paren_query(p, 0) || at_paren_values(p)) {
    parse_subquery_ref(p);
  } else if (p.at_end()) {
    p.error(EXPECTED_TABLE);
    return false;
  } else if ((p.at_word(0, "TABLE") || p.at_word(0, "THE")) && p.at(TokenKind::LParen, 1)) {
    parse_collection_ref(p);
  } else if (p.at_word(0, "LATERAL") && p.at(TokenKind::LParen, 1)) {
    parse_lateral_ref(p);
  } else if (p.at_word(0, "ONLY") && p.at(TokenKind::LParen, 1)) {
    p.bump();
    p.bump();
    if (parser::at_object_name(p)) parser::parse_name_ref(p);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  } else if (p.at_word(0, "JSON_TABLE") && p.at(TokenKind::LParen, 1)) {
    parse_table_function_call(p, NodeKind::JsonTable);
  } else if (p.at_word(0, "XMLTABLE") && p.at(TokenKind::LParen, 1)) {
    parse_table_function_call(p, NodeKind::XmlTable);
  } else if (!parser::is_name_kind(p.kind_at(0)) && !p.at(TokenKind::Substitution)) {
    p.error(EXPECTED_TABLE);
    return false;
  } else if (at_table_function(p)) {
    p.start_node(NodeKind::CollectionRef);
    parser::parse_name_expr(p);
    p.finish_node();
  } else {
    parser::parse_name_ref(p);
  }
  return true;
}

// SAMPLE [BLOCK] ( expr, ... ) [SEED ( expr )]
void parse_sample_clause(Parser& p) {
  p.start_node(NodeKind::SampleClause);
  p.bump();  // SAMPLE
  p.eat_word("BLOCK");
  if (p.eat(TokenKind::LParen)) {
    parser::parse_expr_list(p);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  } else {
    p.error(EXPECTED_SAMPLE_OPEN);
  }
  if (p.eat_word("SEED")) {
    if (p.eat(TokenKind::LParen)) {
      parse_expr(p, 0);
      p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
    } else {
      p.error(EXPECTED_SEED_OPEN);
    }
  }
  p.finish_node();
}

// PERIOD [FOR] name, or SCN | TIMESTAMP. Returns whether SCN or TIMESTAMP was
// taken.
bool try_parse_flashback_kind(Parser& p) {
  if (p.eat_word("PERIOD")) {
    p.eat_word("FOR");
    p.expect_name(EXPECTED_PERIOD_NAME);
    return false;
  }
  if (p.at_word(0, "SCN") || p.at_word(0, "TIMESTAMP")) {
    p.bump();
    return true;
  }
  return false;
}

// [VERSIONS [kind] BETWEEN [SCN|TIMESTAMP] lo AND hi] [AS OF kind expr]
void parse_flashback(Parser& p) {
  p.start_node(NodeKind::Flashback);
  if (p.eat_word("VERSIONS")) {
    const bool period = p.at_word(0, "PERIOD");
    const bool kind_taken = try_parse_flashback_kind(p);
    parser::expect_word(p, "BETWEEN", EXPECTED_BETWEEN);
    // SCN or TIMESTAMP may also stand after BETWEEN, when neither came before
    // it.
    if (!period && !kind_taken && (p.at_word(0, "SCN") || p.at_word(0, "TIMESTAMP"))) p.bump();
    parse_expr(p, BOUND_POWER);
    parser::expect_word(p, "AND", EXPECTED_AND);
    parse_expr(p, BOUND_POWER);
  }
  if (p.at_word(0, "AS") && p.at_word(1, "OF")) {
    p.bump();
    p.bump();
    try_parse_flashback_kind(p);
    parse_expr(p, BOUND_POWER);
  }
  p.finish_node();
}

// PARTITION BY ( expr, ... ) | PARTITION BY expr, ...
void parse_outer_join_partition(Parser& p) {
  p.start_node(NodeKind::PartitionBy);
  p.bump();  // PARTITION
  p.bump();  // BY
  if (p.at(TokenKind::LParen) && !at_paren_query(p, 0)) {
    p.bump();
    parser::parse_expr_list(p);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  } else {
    parser::parse_expr_list(p);
  }
  p.finish_node();
}

bool try_parse_pivot_or_unpivot(Parser& p) {
  if (p.at_word(0, "PIVOT")) {
    parse_pivot(p);
    return true;
  }
  if (p.at_word(0, "UNPIVOT")) {
    parse_unpivot(p);
    return true;
  }
  return false;
}

// One FROM item, in the shape the list loop calls.
void parse_from_item(Parser& p, std::uint8_t /*min_bp*/) { parse_joined_table(p); }

}  // namespace

// {PARTITION|SUBPARTITION} [FOR] ( expr, ... )
void parse_partition_extension(Parser& p) {
  p.start_node(NodeKind::PartitionExt);
  p.bump();  // PARTITION or SUBPARTITION
  p.eat_word("FOR");
  if (p.eat(TokenKind::LParen)) {
    parser::parse_expr_list(p);
    p.expect(TokenKind::RParen, parser::MSG_EXPECTED_RPAREN);
  }
  p.finish_node();
}

void parse_from_list(Parser& p) {
  parser::parse_list_items(p, parser::ListItemStart{parser::MODE_TABLE_ALIAS, at_from_item_start},
                           parse_from_item, 0);
}

void parse_table_ref(Parser& p) {
  if (p.at(TokenKind::LParen) && !at_paren_query(p, 0) && !at_paren_substitution(p) &&
      !at_paren_values(p)) {
    parse_paren_join(p);
    return;
  }
  p.start_node(NodeKind::TableRef);
  const bool values_table = at_paren_values(p);
  if (!parse_table_primary(p)) {
    p.finish_node();
    return;
  }
  if ((p.at_word(0, "PARTITION") || p.at_word(0, "SUBPARTITION")) &&
      (p.at_word(1, "FOR") || p.at(TokenKind::LParen, 1))) {
    parse_partition_extension(p);
  }
  if (p.at_word(0, "SAMPLE")) parse_sample_clause(p);
  if ((p.at_word(0, "AS") && p.at_word(1, "OF")) || p.at_word(0, "VERSIONS")) parse_flashback(p);
  try_parse_pivot_or_unpivot(p);
  if (p.at_word(0, "MATCH_RECOGNIZE") && p.at(TokenKind::LParen, 1)) parse_match_recognize(p);
  // A NESTED clause right after the table is no alias; one may follow the clause.
  const bool nested_first = at_nested_clause(p);
  const std::uint32_t before_alias = p.pos;
  if (!nested_first) parse_alias(p, false);
  const bool aliased = p.pos != before_alias;
  // (VALUES ...) alias ( column, ... ): the constructor's columns are named after its alias.
  if (values_table && aliased && p.at(TokenKind::LParen)) parse_column_list(p);
  if (at_nested_clause(p)) {
    parse_nested_clause(p);
    if (!aliased) parse_alias(p, false);
  }
  if (try_parse_pivot_or_unpivot(p)) parse_alias(p, false);
  if (p.at_word(0, "PARTITION") && p.at_word(1, "BY")) parse_outer_join_partition(p);
  // WITH INSERT UPDATE DELETE, WITH NOCHECK ...: what a duality view lets through this
  // table, as plain tokens.
  if (p.at_word(0, "WITH") && at_table_annotation(p, 1)) {
    p.bump();
    while (at_table_annotation(p, 0)) p.bump();
  }
  p.finish_node();
}

bool at_from_item_start(const Parser& p) {
  if (p.at_end()) return false;
  if (p.at(TokenKind::Ident)) {
    if (!parser::is_reserved(p, 0, parser::MODE_TABLE_ALIAS)) return true;
    return (p.at_word(0, "TABLE") || p.at_word(0, "THE") || p.at_word(0, "LATERAL") ||
            p.at_word(0, "ONLY")) &&
           p.at(TokenKind::LParen, 1);
  }
  return p.at(TokenKind::QuotedIdent) || p.at(TokenKind::Substitution) || p.at(TokenKind::LParen);
}

bool at_paren_substitution(const Parser& p) {
  if (!p.at(TokenKind::LParen) || !p.at(TokenKind::Substitution, 1)) return false;
  std::uint32_t n = 2;
  while (const std::uint32_t more = p.name_continuation(n)) n += more;
  return p.at(TokenKind::RParen, n);
}

}  // namespace veltrane::sql
