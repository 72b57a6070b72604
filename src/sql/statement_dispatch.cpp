#include "sql/statement_dispatch.hpp"

#include <array>
#include <string_view>

#include "parser/names.hpp"
#include "parser/parser.hpp"
#include "sql/dml_ddl.hpp"
#include "sql/queries.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::sql {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

inline constexpr std::string_view MSG_EXPECTED_VALUES_OR_QUERY = "expected VALUES or a query";
inline constexpr std::string_view MSG_EXPECTED_MULTI_INSERT_QUERY =
    "expected the subquery of a multi-table INSERT";

// The first word upper-cased in ASCII into a small buffer; only lengths 3-9 are ever
// compared, so longer or shorter texts give the empty word.
class FirstWord {
 public:
  explicit FirstWord(std::string_view text) {
    if (text.size() < 3 || text.size() > letters_.size()) {
      return;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
      letters_[i] = syntax::ascii_upper(text[i]);
    }
    length_ = text.size();
  }
  [[nodiscard]] std::string_view view() const { return {letters_.data(), length_}; }

 private:
  std::array<char, 9> letters_{};
  std::size_t length_ = 0;
};

// query [FOR UPDATE ...] [WITH READ ONLY | WITH CHECK OPTION ...]
StatementKind parse_select_statement(Parser& p) {
  parse_query(p);
  if (p.at_word(0, "FOR") && p.at_word(1, "UPDATE")) {
    parse_for_update(p);
  }
  if (p.at_word(0, "WITH") && (p.at_word(1, "READ") || p.at_word(1, "CHECK"))) {
    p.start_node(NodeKind::SkippedClause);
    p.skip_to_statement_end();
    p.finish_node();
  }
  return StatementKind::SelectStmt;
}

// INSERT {ALL | FIRST} ... subquery | INSERT INTO ... [VALUES ... | query] [RETURNING]
// [LOG ERRORS]
StatementKind parse_insert_statement(Parser& p) {
  p.bump();
  if (p.at_word(0, "ALL") || p.at_word(0, "FIRST")) {
    parse_multi_insert(p);
    if (at_query_start(p)) {
      parse_query(p);
    } else {
      p.error(MSG_EXPECTED_MULTI_INSERT_QUERY);
    }
    return StatementKind::InsertStmt;
  }
  const bool read_values = parse_insert_into(p, true);
  if (at_query_start(p)) {
    parse_query(p);
  } else if (!read_values) {
    p.error(MSG_EXPECTED_VALUES_OR_QUERY);
  }
  parse_returning_clause(p);
  parse_error_logging(p);
  return StatementKind::InsertStmt;
}

// TRUNCATE [TABLE | CLUSTER] name ...
StatementKind parse_truncate(Parser& p) {
  p.bump();
  if (p.at_word(0, "TABLE") || p.at_word(0, "CLUSTER")) {
    p.bump();
  }
  parser::parse_object_name(p);
  p.skip_to_statement_end();
  return StatementKind::TruncateStmt;
}

// EXPLAIN [options] [FOR statement]
StatementKind parse_explain(Parser& p) {
  p.bump();
  if (!p.at_end() && !p.at_word(0, "FOR")) {
    p.start_node(NodeKind::SkippedClause);
    uint32_t paren_depth = 0;
    while (!p.at_end()) {
      if (paren_depth == 0 && p.at_word(0, "FOR")) {
        break;
      }
      if (p.at(TokenKind::RParen)) {
        if (paren_depth == 0) {
          break;
        }
        --paren_depth;
      } else if (p.at(TokenKind::LParen)) {
        ++paren_depth;
      }
      p.bump();
    }
    p.finish_node();
  }
  if (!p.at_word(0, "FOR")) {
    return StatementKind::ExplainStmt;
  }
  p.bump();
  // Each EXPLAIN ... FOR level recurses once; the chain counts on the structural
  // counter, and at its limit the rest is left to the entry's leftover handling.
  parser::StructureGuard guard(p);
  if (!guard.entered()) {
    p.error(parser::MSG_NESTING_TOO_DEEP);
    return StatementKind::ExplainStmt;
  }
  const syntax::Checkpoint inner = p.checkpoint();
  const StatementKind inner_kind = parse_sql_statement(p);
  p.start_node_at(inner, statement_node_kind(inner_kind));
  p.finish_node();
  return StatementKind::ExplainStmt;
}

// Anything the grammar does not model: a warning and every token up to the ";".
StatementKind parse_not_modelled(Parser& p) {
  p.push_unchecked(parser::MSG_NOT_MODELLED, p.current_span(), syntax::Severity::Warning);
  p.skip_to_statement_end();
  return StatementKind::OtherStmt;
}

// Statements kept as plain tokens directly in the statement node. Inside a PL/SQL
// statement list a word that ends the list ends the statement too, outside
// parentheses: COMMIT before END lacks its ";" and leaves the END to the block.
StatementKind parse_plain(Parser& p, StatementKind kind) {
  p.skip_to_statement_end(p.statement_list_end_words);
  return kind;
}

}  // namespace

syntax::NodeKind statement_node_kind(StatementKind kind) {
  return static_cast<syntax::NodeKind>(static_cast<uint8_t>(kind));
}

StatementKind parse_sql_statement(Parser& p) {
  if (at_query_start(p) || (p.at_word(0, "VALUES") && p.at(TokenKind::LParen, 1))) {
    return parse_select_statement(p);
  }
  const FirstWord first(p.text_at(0));
  const std::string_view word = first.view();
  switch (word.size()) {
    case 3:
      if (word == "SET" && p.at_word(1, "TRANSACTION")) {
        return parse_plain(p, StatementKind::SetTransactionStmt);
      }
      break;
    case 4:
      if (word == "DROP") {
        return parse_plain(p, StatementKind::DropStmt);
      }
      if (word == "LOCK" && p.at_word(1, "TABLE")) {
        parse_lock_table(p);
        return StatementKind::LockTableStmt;
      }
      if (word == "CALL") {
        parse_call_stmt(p);
        return StatementKind::CallStmt;
      }
      break;
    case 5:
      if (word == "MERGE") {
        parse_merge(p);
        return StatementKind::MergeStmt;
      }
      if (word == "ALTER" && p.at_word(1, "TABLE")) {
        parse_alter_table(p);
        return StatementKind::AlterTable;
      }
      if (word == "GRANT") {
        return parse_plain(p, StatementKind::GrantStmt);
      }
      break;
    case 6:
      if (word == "INSERT") {
        return parse_insert_statement(p);
      }
      if (word == "UPDATE") {
        parse_update(p);
        return StatementKind::UpdateStmt;
      }
      if (word == "DELETE") {
        parse_delete(p);
        return StatementKind::DeleteStmt;
      }
      if (word == "CREATE") {
        return parse_create(p);
      }
      if (word == "REVOKE") {
        return parse_plain(p, StatementKind::RevokeStmt);
      }
      if (word == "COMMIT") {
        return parse_plain(p, StatementKind::CommitStmt);
      }
      break;
    case 7:
      if (word == "COMMENT" && p.at_word(1, "ON")) {
        parse_comment(p);
        return StatementKind::CommentStmt;
      }
      if (word == "EXPLAIN") {
        return parse_explain(p);
      }
      break;
    case 8:
      if (word == "TRUNCATE") {
        return parse_truncate(p);
      }
      if (word == "ROLLBACK") {
        return parse_plain(p, StatementKind::RollbackStmt);
      }
      break;
    case 9:
      if (word == "SAVEPOINT") {
        return parse_plain(p, StatementKind::SavepointStmt);
      }
      break;
    default:
      break;
  }
  return parse_not_modelled(p);
}

}  // namespace veltrane::sql
