// CREATE statements: TABLE, VIEW, MATERIALIZED VIEW, INDEX, SEQUENCE and
// SYNONYM are modelled; every other object kind keeps its tokens under
// OtherStmt with a warning.

#include "parser/expressions.hpp"
#include "parser/messages.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"

namespace veltrane::sql {

using parser::parse_object_name;
using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::string_view MSG_EXPECTED_FOR = "expected FOR";

bool at_as_query(const Parser &p) { return p.at_word(0, "AS") && at_create_as_query(p); }

bool at_on_commit(const Parser &p) { return p.at_word(0, "ON") && p.at_word(1, "COMMIT"); }

// Stops of the table rule's option clauses: AS query, ON COMMIT.
bool at_table_option_stop(const Parser &p) { return at_as_query(p) || at_on_commit(p); }

bool at_any_as(const Parser &p) { return p.at_word(0, "AS"); }

bool at_nothing(const Parser & /*p*/) { return false; }

// MATERIALIZED VIEW LOG ON ...: a materialized view log, which is not modelled
// (a materialized view that is really named LOG is not followed by ON).
bool at_mview_log(const Parser &p) { return p.at_word(2, "LOG") && p.at_word(3, "ON"); }

// TABLE [IF NOT EXISTS] name [SHARING [=] value] [OF ...] [( elements )]
// options
//   [ON COMMIT ...] [AS query]
StatementKind parse_create_table(Parser &p, bool private_table) {
  if (private_table) {
    parser::check_gate(p, parser::Gate::PrivateTemporaryTables);
  }
  p.bump();
  parse_if_exists(p);
  parse_object_name(p);
  if (p.eat_word("SHARING")) {
    p.eat(TokenKind::Eq);
    p.bump();
  }
  if (p.at_word(0, "OF")) {
    p.skip_to_statement_end();
    return StatementKind::CreateTable;
  }
  if (p.at(TokenKind::LParen)) {
    parse_table_elements(p);
  }
  for (;;) {
    if (at_as_query(p)) {
      break;
    }
    if (p.at_end()) {
      return StatementKind::CreateTable;
    }
    if (at_on_commit(p)) {
      p.bump();
      p.bump();
      if (p.at_word(0, "PRESERVE") || p.at_word(0, "DELETE") || p.at_word(0, "DROP")) {
        p.bump();
      }
      p.eat_word("DEFINITION");
      p.eat_word("ROWS");
      continue;
    }
    skip_clause_until(p, at_table_option_stop);
    p.eat(TokenKind::RParen);
  }
  p.bump();
  parse_query(p);
  return StatementKind::CreateTable;
}

// VIEW [IF NOT EXISTS] name [( columns )] [options] AS query [WITH ...]
StatementKind parse_create_view(Parser &p) {
  p.bump();
  parse_if_exists(p);
  parse_object_name(p);
  if (p.at(TokenKind::LParen)) {
    parse_view_columns(p);
  }
  if (!p.at_word(0, "AS") && !p.at_end()) {
    skip_clause_until(p, at_any_as);
  }
  if (p.eat_word("AS")) {
    parse_query(p);
  } else {
    p.error(parser::MSG_EXPECTED_AS);
  }
  if (p.at_word(0, "WITH")) {
    p.skip_to_statement_end();
  }
  return StatementKind::CreateView;
}

// MATERIALIZED VIEW [IF NOT EXISTS] name [( columns )] options... [AS query]
StatementKind parse_create_mview(Parser &p) {
  p.bump();
  p.bump();
  parse_if_exists(p);
  parse_object_name(p);
  if (p.at(TokenKind::LParen) && !at_paren_query(p, 0)) {
    parse_view_columns(p);
  }
  while (!p.at_end()) {
    if (at_as_query(p)) {
      p.bump();
      parse_query(p);
      return StatementKind::CreateMview;
    }
    skip_clause_until(p, at_as_query);
    if (!p.at_word(0, "AS")) {
      p.bump();
    }
  }
  return StatementKind::CreateMview;
}

// expr [ASC|DESC]
void parse_index_column(Parser &p) {
  parser::parse_expr(p, 0);
  if (p.at_word(0, "ASC") || p.at_word(0, "DESC")) {
    p.bump();
  }
}

// INDEX [IF NOT EXISTS] name ON [CLUSTER] table [( expr [ASC|DESC], ... )]
// properties
StatementKind parse_create_index(Parser &p) {
  p.bump();
  parse_if_exists(p);
  parse_object_name(p);
  if (p.eat_word("ON")) {
    p.eat_word("CLUSTER");
    parse_object_name(p);
    if (p.at(TokenKind::LParen)) {
      p.start_node(NodeKind::ColumnList);
      p.bump();
      parser::parse_items_to_rparen(p, parse_index_column, parser::MSG_EXPECTED_RPAREN);
      p.finish_node();
    }
  } else {
    p.error(parser::MSG_EXPECTED_ON);
  }
  if (!p.at_end()) {
    skip_clause_until(p, at_nothing);
  }
  return StatementKind::CreateIndex;
}

// SEQUENCE [IF NOT EXISTS] name options...
StatementKind parse_create_sequence(Parser &p) {
  p.bump();
  parse_if_exists(p);
  parse_object_name(p);
  p.skip_to_statement_end();
  return StatementKind::CreateSequence;
}

// SYNONYM [IF NOT EXISTS] name FOR target
StatementKind parse_create_synonym(Parser &p) {
  p.bump();
  parse_if_exists(p);
  parse_object_name(p);
  if (p.eat_word("FOR")) {
    parse_object_name(p);
  } else {
    p.error(MSG_EXPECTED_FOR);
  }
  return StatementKind::CreateSynonym;
}

}  // namespace

// CREATE [OR REPLACE] {modifier} object ...
StatementKind parse_create(Parser &p) {
  p.bump();
  if (p.at_word(0, "OR") && p.at_word(1, "REPLACE")) {
    p.bump();
    p.bump();
  }
  bool private_table = false;
  while (p.at_any_word(0, parser::CREATE_MODIFIER_WORDS)) {
    if (p.at_word(0, "PRIVATE")) {
      private_table = true;
    }
    p.bump();
  }
  if (p.at_word(0, "TABLE")) {
    return parse_create_table(p, private_table);
  }
  if (p.at_word(0, "VIEW")) {
    return parse_create_view(p);
  }
  if (p.at_word(0, "MATERIALIZED") && p.at_word(1, "VIEW") && !at_mview_log(p)) {
    return parse_create_mview(p);
  }
  if (p.at_word(0, "INDEX")) {
    return parse_create_index(p);
  }
  if (p.at_word(0, "SEQUENCE")) {
    return parse_create_sequence(p);
  }
  if (p.at_word(0, "SYNONYM")) {
    return parse_create_synonym(p);
  }
  p.push_unchecked(parser::MSG_NOT_MODELLED, p.current_span());
  p.skip_to_statement_end();
  return StatementKind::OtherStmt;
}

// [IF EXISTS | IF NOT EXISTS]
void parse_if_exists(Parser &p) {
  if (!p.at_word(0, "IF")) {
    return;
  }
  if (!p.at_word(1, "EXISTS") && !(p.at_word(1, "NOT") && p.at_word(2, "EXISTS"))) {
    return;
  }
  parser::check_gate(p, parser::Gate::IfExists);
  p.bump();
  p.eat_word("NOT");
  p.bump();
}

// At AS: SELECT, WITH or "(" ... leading to one of them follows.
bool at_create_as_query(const Parser &p) {
  return p.at_word(1, "SELECT") || p.at_word(1, "WITH") || at_paren_query(p, 1);
}

}  // namespace veltrane::sql
