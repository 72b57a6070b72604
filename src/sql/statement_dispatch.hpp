#pragma once
// The SQL statement grammar's entry: chooses the statement kind by the first words and
// runs its rule. The caller opens the statement node (1000 + kind) around the result.

#include <cstdint>

#include "syntax/kinds.hpp"

namespace veltrane::parser {
class Parser;
}  // namespace veltrane::parser

namespace veltrane::sql {

using veltrane::parser::Parser;

// Index of a SQL statement kind; its node kind is 1000 + the index.
enum class StatementKind : std::uint8_t {
  SelectStmt = 0,
  InsertStmt = 1,
  UpdateStmt = 2,
  DeleteStmt = 3,
  MergeStmt = 4,
  CreateTable = 5,
  CreateView = 6,
  CreateMview = 7,
  CreateIndex = 8,
  CreateSequence = 9,
  CreateSynonym = 10,
  AlterTable = 11,
  DropStmt = 12,
  TruncateStmt = 13,
  CommentStmt = 14,
  GrantStmt = 15,
  RevokeStmt = 16,
  CommitStmt = 17,
  RollbackStmt = 18,
  SavepointStmt = 19,
  SetTransactionStmt = 20,
  LockTableStmt = 21,
  CallStmt = 22,
  ExplainStmt = 23,
  OtherStmt = 24,
};

// The node kind of a statement kind (the first 25 node kinds, in the same order).
[[nodiscard]] syntax::NodeKind statement_node_kind(StatementKind kind);

// Parses one SQL statement at the current token and returns its kind. May be called at
// end of input; never consumes the terminating ";".
[[nodiscard]] StatementKind parse_sql_statement(Parser& p);

}  // namespace veltrane::sql
