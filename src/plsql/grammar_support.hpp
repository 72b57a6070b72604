#pragma once
// Small shared pieces of the PL/SQL rules: token tests, node opening, the
// statement terminator and the iterative skip taken at the structural nesting
// limit.

#include <cstdint>
#include <string_view>

#include "parser/parser.hpp"
#include "plsql/plsql.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::plsql {

using syntax::NodeKind;
using syntax::TokenKind;

[[nodiscard]] inline bool at_end(const Parser& p) { return p.at_end(); }

[[nodiscard]] inline bool at_kind(const Parser& p, TokenKind kind, uint32_t n = 0) {
  return p.at(kind, n);
}

// An Ident or a QuotedIdent at lookahead n.
[[nodiscard]] inline bool at_name(const Parser& p, uint32_t n = 0) {
  return parser::is_name_kind(p.kind_at(n));
}

[[nodiscard]] inline bool at_word(const Parser& p, std::string_view word, uint32_t n = 0) {
  return p.at_word(n, word);
}

[[nodiscard]] inline bool at_any_word(const Parser& p, StopWords words, uint32_t n = 0) {
  return p.at_any_word(n, words);
}

inline void open(Parser& p, NodeKind kind) { p.start_node(kind); }
inline void close(Parser& p) { p.finish_node(); }

// Bumps the current token when it is the word.
inline bool eat_word(Parser& p, std::string_view word) {
  if (!at_word(p, word)) return false;
  p.bump();
  return true;
}

inline bool eat_kind(Parser& p, TokenKind kind) {
  if (!at_kind(p, kind)) return false;
  p.bump();
  return true;
}

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
