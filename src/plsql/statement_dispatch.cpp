// PL/SQL statement dispatch: statement lists, the first-word table, embedded
// SQL, assignments and procedure calls.

#include "sql/statement_dispatch.hpp"

#include <array>
#include <cstddef>
#include <string_view>

#include "parser/expressions.hpp"
#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "plsql/plsql.hpp"
#include "sql/queries.hpp"
#include "syntax/kinds.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

constexpr std::array<std::string_view, 5> STATEMENT_STOP_WORDS = {"END", "EXCEPTION", "ELSIF",
                                                                  "ELSE", "WHEN"};
constexpr std::array<std::string_view, 7> SQL_START_WORDS = {
    "INSERT", "UPDATE", "DELETE", "MERGE", "COMMIT", "ROLLBACK", "SAVEPOINT"};

// The first words of the keyword rows.
enum class Lead : uint8_t {
  None,
  If,
  For,
  Null,
  Case,
  Loop,
  Exit,
  Continue,
  Goto,
  Pipe,
  Open,
  While,
  Raise,
  Begin,
  Declare,
  Fetch,
  Close,
  Forall,
  Return,
  Pragma,
  Execute,
};

struct LeadWord {
  std::string_view word;
  Lead lead;
};

constexpr std::array<LeadWord, 20> LEAD_WORDS = {{
    {"IF", Lead::If},
    {"FOR", Lead::For},
    {"NULL", Lead::Null},
    {"CASE", Lead::Case},
    {"LOOP", Lead::Loop},
    {"EXIT", Lead::Exit},
    {"CONTINUE", Lead::Continue},
    {"GOTO", Lead::Goto},
    {"PIPE", Lead::Pipe},
    {"OPEN", Lead::Open},
    {"WHILE", Lead::While},
    {"RAISE", Lead::Raise},
    {"BEGIN", Lead::Begin},
    {"DECLARE", Lead::Declare},
    {"FETCH", Lead::Fetch},
    {"CLOSE", Lead::Close},
    {"FORALL", Lead::Forall},
    {"RETURN", Lead::Return},
    {"PRAGMA", Lead::Pragma},
    {"EXECUTE", Lead::Execute},
}};

// The keyword row of the current Ident: its text upper-cased once (ASCII only)
// and matched whole against the row words.
Lead lead_word(const Parser& p) {
  const std::string_view text = p.text_at(0);
  constexpr std::size_t LONGEST = 8;
  if (text.size() < 2 || text.size() > LONGEST) return Lead::None;
  std::array<char, LONGEST> upper{};
  for (std::size_t i = 0; i < text.size(); ++i) upper[i] = syntax::ascii_upper(text[i]);
  const std::string_view word(upper.data(), text.size());
  for (const LeadWord& row : LEAD_WORDS) {
    if (row.word == word) return row.lead;
  }
  return Lead::None;
}

// RAISE [name] ;
void parse_raise_stmt(Parser& p) {
  p.start_node(NodeKind::RaiseStmt);
  p.bump();
  if (at_name_in_statement(p)) parser::parse_name_ref(p);
  finish_statement(p);
}

// RETURN [expr] ;
void parse_return_stmt(Parser& p) {
  p.start_node(NodeKind::ReturnStmt);
  p.bump();
  // RETURN before END lacks its ";", not its value.
  const bool without_value =
      p.at(TokenKind::Semicolon) || p.at_any_word(0, p.statement_list_end_words);
  if (!without_value) parser::parse_expr(p, 0);
  finish_statement(p);
}

// PRAGMA name [(args)] ;
void parse_pragma_stmt(Parser& p) {
  parse_pragma_head(p);
  finish_statement(p);
}

// The rows whose statement holds further statements (blocks, IF, CASE, loops, FORALL).
[[nodiscard]] bool holds_statements(Lead lead) {
  switch (lead) {
    case Lead::If:
    case Lead::For:
    case Lead::Case:
    case Lead::Loop:
    case Lead::While:
    case Lead::Begin:
    case Lead::Declare:
    case Lead::Forall:
      return true;
    default:
      return false;
  }
}

// Runs the rule of a keyword row; false when the row's condition fails (the
// name road).
bool try_parse_keyword_statement(Parser& p, Lead lead) {
  const bool next_assign = p.at(TokenKind::Assign, 1);
  switch (lead) {
    case Lead::None:
      return false;
    case Lead::If:
      parse_if_stmt(p);
      return true;
    case Lead::For:
      parse_for_loop(p);
      return true;
    case Lead::Null:
      // NULL before END is the NULL statement without its ";".
      if (!p.at(TokenKind::Semicolon, 1) && !p.at_any_word(1, p.statement_list_end_words)) {
        return false;
      }
      parse_null_stmt(p);
      return true;
    case Lead::Case:
      parse_case_stmt(p);
      return true;
    case Lead::Loop:
      p.start_node(NodeKind::LoopStmt);
      parse_loop(p);
      finish_statement(p);
      return true;
    case Lead::Exit:
    case Lead::Continue:
      if (next_assign || p.at(TokenKind::LParen, 1)) return false;
      parse_exit_stmt(p, lead == Lead::Exit);
      return true;
    case Lead::Goto:
      p.start_node(NodeKind::GotoStmt);
      p.bump();
      p.expect_name("expected a label");
      finish_statement(p);
      return true;
    case Lead::Pipe:
      if (!p.at_word(1, "ROW")) return false;
      p.start_node(NodeKind::PipeRowStmt);
      p.bump();
      p.bump();
      parser::parse_expr(p, 0);
      finish_statement(p);
      return true;
    case Lead::Open:
      parse_open_stmt(p);
      return true;
    case Lead::While:
      p.start_node(NodeKind::WhileLoop);
      p.bump();
      parser::parse_expr(p, 0);
      parse_loop(p);
      finish_statement(p);
      return true;
    case Lead::Raise:
      parse_raise_stmt(p);
      return true;
    case Lead::Begin:
    case Lead::Declare:
      parse_block(p);
      p.expect(TokenKind::Semicolon, "expected ; after END");
      return true;
    case Lead::Fetch:
      if (next_assign) return false;
      parse_fetch_stmt(p);
      return true;
    case Lead::Close:
      if (next_assign) return false;
      p.start_node(NodeKind::CloseStmt);
      p.bump();
      parser::parse_expr(p, 0);
      finish_statement(p);
      return true;
    case Lead::Forall:
      parse_forall(p);
      return true;
    case Lead::Return:
      parse_return_stmt(p);
      return true;
    case Lead::Pragma:
      parse_pragma_stmt(p);
      return true;
    case Lead::Execute:
      if (!p.at_word(1, "IMMEDIATE")) return false;
      parse_execute_immediate(p);
      return true;
  }
  return false;
}

// Whether the current Ident starts a SQL statement that PL/SQL embeds.
bool at_embedded_sql(const Parser& p) {
  if (sql::at_query_start(p) || p.at_any_word(0, SQL_START_WORDS)) return true;
  if (p.at_word(0, "SET") && p.at_word(1, "TRANSACTION")) return true;
  return p.at_word(0, "LOCK") && p.at_word(1, "TABLE");
}

// SELECT ... INTO ..., INSERT ..., COMMIT ...: the SQL grammar's node, then ";"
// in the list.
void parse_embedded_sql(Parser& p) {
  {
    const parser::ClearFlagsGuard sql_context(p);
    const syntax::Checkpoint start = p.checkpoint();
    const sql::StatementKind kind = sql::parse_sql_statement(p);
    p.start_node_at(start, sql::statement_node_kind(kind));
    p.finish_node();
  }
  if (p.eat(TokenKind::Semicolon)) return;
  p.error("expected ; after the SQL statement");
  recover_statement_end(p);
}

// target := value ;   |   call ;
void parse_assign_or_call(Parser& p) {
  const syntax::Checkpoint start = p.checkpoint();
  const bool can_start = parser::is_name_kind(p.kind_at(0)) || p.at(TokenKind::Bind) ||
                         p.at(TokenKind::Substitution) || p.at(TokenKind::LParen);
  if (!can_start) {
    p.error_bump("expected a statement");
    p.eat(TokenKind::Semicolon);
    return;
  }
  parser::parse_expr(p, parser::BINDING_POWERS.postfix_operand);
  NodeKind node = NodeKind::ProcCallStmt;
  if (p.eat(TokenKind::Assign)) {
    parser::parse_expr(p, 0);
    node = NodeKind::AssignStmt;
  }
  p.start_node_at(start, node);
  finish_statement(p);
}

}  // namespace

void parse_statement_list(Parser& p, StopWords stop_words) {
  const parser::StatementListGuard list(p, stop_words);
  p.start_node(NodeKind::StatementList);
  while (!p.at_end() && !p.at_any_word(0, stop_words)) {
    const auto before = p.pos;
    parse_plsql_statement(p);
    if (p.pos == before) p.error_bump("expected a statement");
  }
  p.finish_node();
}

void parse_plsql_statement(Parser& p) {
  parse_label(p);
  if (p.at_end() || p.at_any_word(0, STATEMENT_STOP_WORDS)) return;
  if (p.at(TokenKind::Ident)) {
    const Lead lead = lead_word(p);
    if (holds_statements(lead)) {
      // Statements that hold statements are one structural level each.
      const parser::StructureGuard level(p);
      if (!level.entered()) {
        skip_too_deep(p, false);
        return;
      }
      try_parse_keyword_statement(p, lead);
      return;
    }
    if (try_parse_keyword_statement(p, lead)) return;
    const bool assign_or_dot = p.at(TokenKind::Assign, 1) || p.at(TokenKind::Dot, 1);
    if (!assign_or_dot && at_embedded_sql(p)) {
      parse_embedded_sql(p);
      return;
    }
  }
  parse_assign_or_call(p);
}

}  // namespace veltrane::plsql
