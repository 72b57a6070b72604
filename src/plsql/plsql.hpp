#pragma once
// PL/SQL grammar: units, declarations, statements. Every rule is a free function over the
// one Parser of an item; rules never fail, they record diagnostics and keep every token.

#include <span>
#include <string_view>

#include "parser/iterator_choice.hpp"

namespace veltrane::parser {
class Parser;
}  // namespace veltrane::parser

namespace veltrane::plsql {

using parser::Parser;
using StopWords = std::span<const std::string_view>;

// ---- unit dispatch ------------------------------------------------------------------------
// One PL/SQL item as a whole: chooses the root kind, parses the unit, wraps the root.
void parse_unit(Parser& p);
// ObjectName around a unit name, read as every object name (a substitution may lead it).
void parse_unit_name(Parser& p);
// The name of the unit being created: IF [NOT] EXISTS (Oracle 23ai) as plain tokens, then
// the ObjectName. Without this, IF would be taken for the unit's name.
void parse_created_unit_name(Parser& p);
// END [name] [;]
void parse_unit_end(Parser& p);
// WRAPPED text, after the name of a unit the wrap utility took (package, package body,
// procedure, function, type, type body): a warning at WRAPPED, then every remaining token
// in one SkippedClause. False (nothing consumed) when the current token is not WRAPPED.
bool try_parse_wrapped(Parser& p);
// Block[BEGIN ... END [name]] of a package body's initialisation part.
void parse_unit_body(Parser& p);

// ---- subprogram headings ------------------------------------------------------------------
// [(params)] [RETURN type] [options] ( ; | IS|AS (call target | declarations block) )
void parse_subprogram(Parser& p, bool is_function);
// A call target after a heading's IS or AS stands at token `n`: LANGUAGE ..., EXTERNAL ...,
// or a JavaScript one (MLE MODULE m SIGNATURE '...', MLE LANGUAGE JAVASCRIPT '...').
[[nodiscard]] bool at_call_target(const Parser& p, uint32_t n);
// ( name [IN] [OUT] [NOCOPY] type [DEFAULT|:= expr], ... )
void parse_param_list(Parser& p);
// RETURN type | RETURN SELF AS RESULT
void parse_return_clause(Parser& p);
// AUTHID ..., DETERMINISTIC, ACCESSIBLE BY (...), ... up to IS, AS, UNDER or ;
void parse_unit_options(Parser& p);
// A declared type: REF object_type, or any datatype.
void parse_type_ref(Parser& p);

// ---- triggers and object types ------------------------------------------------------------
void parse_trigger(Parser& p);
void parse_type_spec(Parser& p);

// ---- declarations -------------------------------------------------------------------------
void parse_declare_section(Parser& p, StopWords stop_words);
// One declaration; false (nothing consumed) when the current token cannot start one.
bool try_parse_declaration(Parser& p);
// NOT NULL as two plain tokens, when present; returns whether they were.
bool try_parse_not_null(Parser& p);
// TABLE OF type [NOT NULL] [INDEX BY type] | [VARYING] VARRAY|ARRAY (n) OF type [NOT NULL]
void parse_collection_def(Parser& p);

// ---- statements ---------------------------------------------------------------------------
void parse_statement_list(Parser& p, StopWords stop_words);
void parse_plsql_statement(Parser& p);

// ---- blocks -------------------------------------------------------------------------------
// [DECLARE declarations] BEGIN ... END [name]
void parse_block(Parser& p);
// BEGIN statements [EXCEPTION handlers] END [name]
void parse_block_body(Parser& p);

// The number of tokens of the name after an END: a name or a substitution piece with the
// pieces glued to it (END p_&s, END &&pkg); 0 when no name stands there.
[[nodiscard]] uint32_t end_name_length(const Parser& p);
// Statement-level recovery: tokens up to the next ; at depth 0 in an Error node, ; consumed.
void recover_to_semicolon(Parser& p);
// The end of the input, or a word that ends the statement list being read (END before
// a missing ";", ELSE in an IF, WHEN in a CASE or an exception handler).
[[nodiscard]] bool at_statement_list_end(const Parser& p);
// After a statement's missing ";": recover_to_semicolon, unless the statement list ends
// here, so that a missing ";" before END is one error and the END still closes its block.
void recover_statement_end(Parser& p);
// A name that may be a label after END LOOP, END CASE, EXIT or CONTINUE, or a raised
// exception: a name that is not a word ending the statement list (END LOOP END).
[[nodiscard]] bool at_name_in_statement(const Parser& p);

// ---- control flow -------------------------------------------------------------------------
void parse_if_stmt(Parser& p);
void parse_case_stmt(Parser& p);
// LOOP statements END LOOP [label]; the ; is left to the caller.
void parse_loop(Parser& p);
void parse_for_loop(Parser& p);
// parse_iterator_choice, the iterator of a qualified expression: parser/iterator_choice.hpp.
void parse_exit_stmt(Parser& p, bool is_exit);
void parse_label(Parser& p);
void parse_null_stmt(Parser& p);

// ---- cursor statements and dynamic SQL ----------------------------------------------------
void parse_open_stmt(Parser& p);
void parse_fetch_stmt(Parser& p);
void parse_execute_immediate(Parser& p);
void parse_forall(Parser& p);
// ( EXECUTE IMMEDIATE text [USING binds] )   a dynamic SQL cursor among a FOR loop's
// iteration controls, as a ParenExpr around an ExecuteImmediate without ";"
void parse_dynamic_cursor(Parser& p);

// ---- pieces shared by several PL/SQL rules ------------------------------------------------
// USING [IN] [OUT] expr, ...   at USING (OPEN ... FOR and EXECUTE IMMEDIATE)
void parse_using_clause(Parser& p);
// [BULK [COLLECT]] INTO target, ...   (FETCH and EXECUTE IMMEDIATE)
void parse_into_clause(Parser& p);
// PRAGMA name [(args)]   opens a PragmaDecl node and leaves it open for the
// caller's ending (at PRAGMA, taken untested).
void parse_pragma_head(Parser& p);
// ";" into the open node, or "expected ;" and statement-level recovery; then
// finishes the node.
void finish_statement(Parser& p);
// What a rule does at the structural nesting limit: "nesting too deep", then
// tokens kept flat in one Error node, walked without recursion (BEGIN, IF, LOOP
// and CASE open a level, END closes one). A statement's walk takes the rest of
// its statement list (it stops at a level-0 END, EXCEPTION, ELSIF or ELSE); a
// subprogram's walk ends with its ";" or with the END and ";" of its body.
// Consumes at least one token unless the input has ended.
void skip_too_deep(Parser& p, bool subprogram);

}  // namespace veltrane::plsql
