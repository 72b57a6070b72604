#pragma once

// DML and DDL statement rules (INSERT, UPDATE, DELETE, MERGE, RETURNING, LOG ERRORS,
// CALL, LOCK TABLE, CREATE, ALTER TABLE, COMMENT) and the query clauses that live beside
// them (MODEL, PIVOT / UNPIVOT, MATCH_RECOGNIZE).
//
// Every rule works on the one Parser of the statement being read; none of them fails:
// what does not fit is recorded as a diagnostic and kept in the tree.

#include <cstdint>
#include <string_view>

#include "parser/expect.hpp"
#include "sql/statement_dispatch.hpp"

namespace veltrane::parser {
class Parser;
}  // namespace veltrane::parser

namespace veltrane::sql {

using veltrane::parser::Parser;

// ---- Small pieces shared by the rules of this area -----------------------------------

// Bumps the current token when it is `word`; otherwise records `message` (parser/expect).
using parser::expect_word;

// A SkippedClause of plain tokens: stops at a ")" that closes nothing inside the clause,
// and at depth 0 before a token where `stop` holds; neither is consumed, and the clause
// may be empty. No diagnostic.
void skip_clause_until(Parser& p, bool (*stop)(const Parser&));

// ---- MERGE ---------------------------------------------------------------------------

// MERGE INTO target USING source ON cond {WHEN [NOT] MATCHED THEN ...} [LOG ERRORS ...]
// Called at MERGE; the caller wraps the result in MergeStmt.
void parse_merge(Parser& p);

// ---- CREATE --------------------------------------------------------------------------

// CREATE [OR REPLACE] modifiers object ...; returns CreateTable .. CreateSynonym or
// OtherStmt (an object kind that is not modelled, kept as tokens).
[[nodiscard]] StatementKind parse_create(Parser& p);

// [IF [NOT] EXISTS]: nothing when absent.
void parse_if_exists(Parser& p);

// Lookahead at AS: is a query (SELECT, WITH, or "(" ... leading to one) next?
[[nodiscard]] bool at_create_as_query(const Parser& p);

// ---- Table definitions ---------------------------------------------------------------

// ( column | constraint , ... )
void parse_table_elements(Parser& p);
// name [type] options...
void parse_column_definition(Parser& p);
// one out-of-line constraint, flat, up to the "," or ")" that ends it
void parse_constraint_tokens(Parser& p);

// ---- View columns --------------------------------------------------------------------

// ( name [VISIBLE|INVISIBLE] words... | constraint , ... )
void parse_view_columns(Parser& p);

// ---- ALTER TABLE and COMMENT ---------------------------------------------------------

void parse_alter_table(Parser& p);
void parse_comment(Parser& p);

// ---- DML targets and WHERE -----------------------------------------------------------

// name [PARTITION (...)] | ( query ) | TABLE ( expr ), then an optional table alias.
void parse_dml_target(Parser& p);
// [WHERE cond | WHERE CURRENT OF cursor]
void parse_where_clause(Parser& p);

// ---- INSERT --------------------------------------------------------------------------

// INTO target [(cols)] [VALUES ...] [LOG ERRORS ...]; `error_logging_left_to_caller`
// set keeps LOG ERRORS for the statement. Returns true when a VALUES clause was read.
bool parse_insert_into(Parser& p, bool error_logging_left_to_caller);
// ALL|FIRST { INTO ... } | { WHEN cond THEN INTO ... } [ELSE INTO ...]
void parse_multi_insert(Parser& p);
// ( name, ... ) with dotted names as NameRef
void parse_insert_columns(Parser& p);
// VALUES row [, row ...]
void parse_values_clause(Parser& p);

// ---- UPDATE and DELETE ---------------------------------------------------------------

void parse_update(Parser& p);
void parse_delete(Parser& p);
// SET target = expr [, ...]
void parse_set_clause(Parser& p);

// ---- RETURNING and LOG ERRORS --------------------------------------------------------

// RETURNING|RETURN exprs [BULK COLLECT] INTO targets; nothing when absent.
void parse_returning_clause(Parser& p);
// LOG ERRORS [INTO t] [(tag)] [REJECT LIMIT n|UNLIMITED]; nothing when absent.
void parse_error_logging(Parser& p);

// ---- CALL and LOCK TABLE -------------------------------------------------------------

void parse_call_stmt(Parser& p);
void parse_lock_table(Parser& p);

// ---- MODEL ---------------------------------------------------------------------------

// MODEL ... (called by the query block's clause loop at the word MODEL)
void parse_model_clause(Parser& p);
// { PARTITION BY (...) | DIMENSION BY (...) | MEASURES (...) }
void parse_model_columns(Parser& p);
// option words of MODEL_OPTION_WORDS, one by one, as plain tokens
void skip_model_options(Parser& p);

// ---- PIVOT and UNPIVOT ---------------------------------------------------------------

void parse_pivot(Parser& p);
void parse_unpivot(Parser& p);

// ---- MATCH_RECOGNIZE -----------------------------------------------------------------

// MATCH_RECOGNIZE ( ... ); called at MATCH_RECOGNIZE followed by "(".
void parse_match_recognize(Parser& p);
// plain words up to a non-word or PATTERN, SUBSET, DEFINE, AFTER, MEASURES
void skip_mr_words(Parser& p);

}  // namespace veltrane::sql
