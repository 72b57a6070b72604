// The COLUMNS clause of JSON_TABLE and XMLTABLE: result columns with an optional
// type, PATH and DEFAULT values, plain option words, and nested COLUMNS clauses.
// Nested clauses recurse on the structural nesting counter.

#include <array>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/parser.hpp"

namespace veltrane::parser {

namespace {

// Words after a column name that start its options rather than a type.
constexpr std::array<std::string_view, 5> NON_TYPE_WORDS = {"FOR", "PATH", "FORMAT", "EXISTS",
                                                            "DEFAULT"};

// PATH 'text' | PATH expr
void parse_path_value(Parser& p) {
  if (p.at(TokenKind::String)) {
    p.bump();
  } else {
    parse_expr(p, 0);
  }
}

// NESTED [PATH] path [COLUMNS ...]
void parse_nested_column(Parser& p) {
  p.bump();  // NESTED
  p.eat_word("PATH");
  parse_path_value(p);
  if (!p.at_word(0, "COLUMNS")) {
    return;
  }
  StructureGuard structure(p);
  if (!structure.entered()) {
    recover_too_deep(p);
    return;
  }
  parse_columns_clause(p);
}

// The options of a column, up to "," or ")"; a ";" ends them too.
void parse_column_options(Parser& p) {
  while (!p.at_end() && !p.at(TokenKind::RParen) && !p.at(TokenKind::Comma) &&
         !p.at(TokenKind::Semicolon)) {
    if (p.eat_word("PATH")) {
      parse_path_value(p);
    } else if (p.eat_word("DEFAULT")) {
      parse_expr(p, 0);
    } else if (p.at(TokenKind::Ident) || p.at(TokenKind::Number) || p.at(TokenKind::String)) {
      p.bump();
    } else {
      p.error_bump(MSG_UNEXPECTED_IN_COLUMN);
    }
  }
}

// NESTED ... | name [type] [options]
void parse_table_function_column(Parser& p) {
  p.start_node(NodeKind::TableFunctionColumn);
  if (p.at_word(0, "NESTED")) {
    parse_nested_column(p);
    p.finish_node();
    return;
  }
  const bool named = is_name_kind(p.kind_at(0));
  if (named) {
    p.bump();
  } else {
    p.error(MSG_EXPECTED_COLUMN_NAME);
  }
  if (!p.at_end()) {
    if (named && p.at(TokenKind::Ident) && !p.at_any_word(0, NON_TYPE_WORDS)) {
      parse_datatype(p);
    }
    parse_column_options(p);
  }
  p.finish_node();
}

}  // namespace

// COLUMNS [(] column, ... [)]
void parse_columns_clause(Parser& p) {
  p.start_node(NodeKind::ColumnsClause);
  p.bump();  // COLUMNS
  const bool parenthesised = p.at(TokenKind::LParen);
  if (parenthesised) {
    p.bump();
  }
  while (!p.at_end() && !p.at(TokenKind::RParen)) {
    parse_table_function_column(p);
    if (!p.at(TokenKind::Comma)) {
      break;
    }
    p.bump();
  }
  if (parenthesised) {
    p.expect(TokenKind::RParen, MSG_EXPECTED_COLUMNS_CLOSE);
  }
  p.finish_node();
}

}  // namespace veltrane::parser
