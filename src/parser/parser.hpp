#pragma once
// The parser state over one script item and the primitives every grammar rule is
// built from: a cursor over the item's significant tokens, the one tree builder, the
// diagnostics, the parse options and the small pieces of grammar state (nesting
// counters and the two context flags), saved and restored through RAII guards.
//
// Rules never see trivia: every trivia token is placed in the tree by the next flush,
// which happens before a token is bumped, a node is opened or a checkpoint is taken
// (never when a node finishes). So a node never begins with trivia.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "lexer/parse_options.hpp"
#include "lexer/token.hpp"
#include "syntax/diagnostic.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::parser {

using lexer::ParseOptions;
using lexer::Token;
using syntax::Checkpoint;
using syntax::Diagnostic;
using syntax::NodeKind;
using syntax::Severity;
using syntax::SyntaxKind;
using syntax::TokenKind;
using syntax::TreeBuilder;

// Shared limit of open `parse_expr` and `parse_query` levels.
inline constexpr uint32_t MAX_DEPTH = 200;
// Limit of the structural recursions that do not pass through `parse_expr` or
// `parse_query` (nested COLUMNS clauses, EXPLAIN ... FOR chains, parenthesised joins,
// nested ROLLUP / CUBE / GROUPING SETS).
inline constexpr uint32_t MAX_STRUCTURE_DEPTH = 256;

// Fixed message texts of the parser core.
inline constexpr std::string_view MSG_NESTING_TOO_DEEP = "nesting too deep";
inline constexpr std::string_view MSG_EXPECTED_NAME = "expected a name";
inline constexpr std::string_view MSG_UNEXPECTED_AFTER_STATEMENT =
    "unexpected tokens after the statement";
inline constexpr std::string_view MSG_NOT_MODELLED = "statement kind not modelled: kept as tokens";

// A byte range of the source text.
struct TextSpan {
  uint32_t start = 0;
  uint32_t end = 0;
};

class Parser {
 public:
  // Builds the significant-token index over `item_tokens` (every token of kind 5 or
  // above). `source` and `item_tokens` are borrowed and must outlive the parser.
  // `item_start` is where end-of-input diagnostics point when the item has no tokens.
  Parser(std::string_view source_text, std::span<const Token> item_tokens,
         ParseOptions parse_options, uint32_t item_start = 0);

  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // ---- state (fields in the documented order) ----

  std::vector<uint32_t> sig;  // indexes into `tokens` of the significant tokens
  TreeBuilder builder;
  std::vector<Diagnostic> diagnostics;
  std::string_view source;        // the whole source text
  std::span<const Token> tokens;  // the item's tokens, trivia included
  uint32_t pos = 0;               // index into `sig` of the current token
  uint32_t raw = 0;               // index into `tokens` of the first unplaced token
  ParseOptions options;
  uint32_t depth = 0;  // open parse_expr / parse_query levels (limit MAX_DEPTH)
  bool in_plsql = false;
  bool in_condition = false;
  // Open structural levels (limit MAX_STRUCTURE_DEPTH); see StructureGuard.
  uint32_t structure_depth = 0;
  uint32_t item_start = 0;
  // The words that end the innermost PL/SQL statement list being read (END, ELSE, WHEN
  // ...); empty outside one and inside declarations. See StatementListGuard.
  std::span<const std::string_view> statement_list_end_words;

  // ---- lookahead (n = 0 is the current significant token) ----
  // The reads every rule makes many times per token are defined here, inline.

  [[nodiscard]] bool at_end() const { return pos >= sig.size(); }
  // True when a token exists at lookahead n.
  [[nodiscard]] bool has(uint32_t n) const { return size_t{pos} + n < sig.size(); }
  // The kind of the token at lookahead n; none past the end (so "no token" differs
  // from every real kind: `p.kind_at(1) == TokenKind::Comma` is false there).
  [[nodiscard]] std::optional<TokenKind> kind_at(uint32_t n) const {
    if (!has(n)) return std::nullopt;
    return tokens[sig[pos + n]].kind;
  }
  // True when the token at lookahead n exists and has this kind.
  [[nodiscard]] bool at(TokenKind kind, uint32_t n = 0) const {
    return has(n) && tokens[sig[pos + n]].kind == kind;
  }
  // The source text of the token at lookahead n; empty past the end.
  [[nodiscard]] std::string_view text_at(uint32_t n) const {
    if (!has(n)) return {};
    const Token& token = tokens[sig[pos + n]];
    return source.substr(token.start, token.end - token.start);
  }
  // The lexer token at lookahead n. Precondition: has(n).
  [[nodiscard]] const Token& token_at(uint32_t n) const {
    if (!has(n)) syntax::stop("token_at past the end of the item");
    return tokens[sig[pos + n]];
  }
  // The span of the token at lookahead n or, when there is none, the empty span at the
  // end of the item's last token (any kind, trivia included); item_start..item_start
  // for an item without tokens.
  [[nodiscard]] TextSpan span_at(uint32_t n) const;
  // span_at(0): where diagnostics at the current token point.
  [[nodiscard]] TextSpan current_span() const { return span_at(0); }

  // False when pos + n is 0 or at or past the end; otherwise true when the token at
  // lookahead n starts exactly where the significant token before it ends.
  [[nodiscard]] bool is_glued(uint32_t n) const;
  // The token at n is an Ident whose text equals `word` (given in upper case), with
  // only A-Z folded and equal byte lengths. Most calls end at the kind or the length.
  [[nodiscard]] bool at_word(uint32_t n, std::string_view word) const {
    if (!has(n)) return false;
    const Token& token = tokens[sig[pos + n]];
    if (token.kind != TokenKind::Ident || token.end - token.start != word.size()) return false;
    return syntax::equals_ascii_folded(source.substr(token.start, word.size()), word);
  }
  // at_word at n for some word of the list.
  [[nodiscard]] bool at_any_word(uint32_t n, std::span<const std::string_view> words) const;
  // End of input, a Substitution, ")", "," or ";" at n, or a word reserved under mode.
  [[nodiscard]] bool at_item_end(uint32_t n, uint8_t mode) const;
  // How many tokens at lookahead n continue a name being read: 0, 1 or 2.
  [[nodiscard]] uint32_t name_continuation(uint32_t n) const;

  // ---- tree building ----

  // Places the pending trivia, then returns the builder's checkpoint.
  [[nodiscard]] Checkpoint checkpoint();
  // Places the pending trivia and the current token; nothing at end of input.
  void bump();
  // Places the pending trivia (all remaining tokens at end of input), then opens a
  // node of this kind.
  void start_node(NodeKind kind);
  // Opens a node adopting everything placed since the checkpoint (no flush).
  void start_node_at(Checkpoint checkpoint, NodeKind kind);
  // Finishes the innermost open node (no flush).
  void finish_node();
  // Moves the tokens raw .. sig[pos] (or all remaining tokens at end of input) into
  // the builder. Every inline node opening calls this first.
  void flush();
  // Moves the tokens raw .. sig[pos] into the builder; nothing at end of input.
  void flush_to_current();
  // Bumps tokens flat until a ";" or one of `end_words` at parenthesis depth 0 or below,
  // or the end; neither is consumed.
  void skip_to_statement_end(std::span<const std::string_view> end_words = {});
  // One clause-like piece as plain tokens in a SkippedClause node: one token, or a
  // whole parenthesis group when it starts with "(". With a message, first records a
  // warning at the current token without the repeat test.
  void skip_clause(std::optional<std::string_view> message = std::nullopt);
  // Bumps the current token when it is a ";".
  void eat_semicolon();
  // Bumps the current token when it has this kind; returns whether it did.
  bool eat(TokenKind kind) {
    if (!at(kind)) return false;
    bump();
    return true;
  }
  // Bumps the current token when it is the word (as at_word); returns whether it did.
  bool eat_word(std::string_view word) {
    if (!at_word(0, word)) return false;
    bump();
    return true;
  }

  // ---- diagnostics ----

  // Records an error at the current token's span (see current_span), unless the last
  // diagnostic has exactly that span. Consumes nothing.
  void error(std::string_view message);
  // `error`, then (unless at end of input) the current token wrapped in an Error node,
  // even when the message was dropped.
  void error_bump(std::string_view message);
  // Appends a diagnostic without the repeat test (gates, skip_clause warnings, the
  // not-modelled warning, the table-alias AS warning). It still counts as the last one.
  void push_unchecked(std::string_view message, TextSpan span,
                      Severity severity = Severity::Warning);
  // Bumps the current token when it has this kind; otherwise `error`.
  void expect(TokenKind kind, std::string_view message);
  // Bumps an Ident or QuotedIdent; otherwise (a Substitution too) `error`.
  void expect_name(std::string_view message);

 private:
  void place_tokens_up_to(uint32_t target);
  void bump_raw();
};

// The token placement every bump and flush goes through, inline.

inline void Parser::bump_raw() {
  const Token& token = tokens[raw];
  builder.token(syntax::syntax_kind(token.kind), token.start, token.end);
  ++raw;
}

inline void Parser::place_tokens_up_to(uint32_t target) {
  while (raw < target) {
    bump_raw();
  }
}

inline void Parser::flush() {
  place_tokens_up_to(at_end() ? static_cast<uint32_t>(tokens.size()) : sig[pos]);
}

inline void Parser::bump() {
  if (at_end()) {
    return;
  }
  place_tokens_up_to(sig[pos]);
  bump_raw();
  ++pos;
}

// ---- RAII guards: every return path restores what they changed ----

// Sets a flag for the guard's lifetime and restores its previous value.
class [[nodiscard]] FlagGuard {
 public:
  FlagGuard(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
  ~FlagGuard() { flag_ = saved_; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

// in_condition set (or cleared) for the guard's lifetime.
class [[nodiscard]] ConditionGuard : public FlagGuard {
 public:
  ConditionGuard(Parser& p, bool value) : FlagGuard(p.in_condition, value) {}
};

// in_plsql set (or cleared) for the guard's lifetime.
class [[nodiscard]] PlsqlGuard : public FlagGuard {
 public:
  PlsqlGuard(Parser& p, bool value) : FlagGuard(p.in_plsql, value) {}
};

// Both flags cleared for the guard's lifetime (queries, embedded SQL statements,
// declarations).
class [[nodiscard]] ClearFlagsGuard {
 public:
  explicit ClearFlagsGuard(Parser& p) : plsql_(p, false), condition_(p, false) {}

 private:
  PlsqlGuard plsql_;
  ConditionGuard condition_;
};

// statement_list_end_words set for the guard's lifetime and restored after it.
class [[nodiscard]] StatementListGuard {
 public:
  StatementListGuard(Parser& p, std::span<const std::string_view> end_words)
      : parser_(p), saved_(p.statement_list_end_words) {
    parser_.statement_list_end_words = end_words;
  }
  ~StatementListGuard() { parser_.statement_list_end_words = saved_; }
  StatementListGuard(const StatementListGuard&) = delete;
  StatementListGuard& operator=(const StatementListGuard&) = delete;

 private:
  Parser& parser_;
  std::span<const std::string_view> saved_;
};

// Tests and raises `depth`: entered() is false (and nothing changed) when MAX_DEPTH
// levels are already open; otherwise depth is raised until the guard ends.
class [[nodiscard]] DepthGuard {
 public:
  explicit DepthGuard(Parser& p);
  ~DepthGuard();
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
  [[nodiscard]] bool entered() const { return entered_; }

 private:
  Parser& parser_;
  bool entered_;
};

// The same over `structure_depth` and MAX_STRUCTURE_DEPTH.
class [[nodiscard]] StructureGuard {
 public:
  explicit StructureGuard(Parser& p);
  ~StructureGuard();
  StructureGuard(const StructureGuard&) = delete;
  StructureGuard& operator=(const StructureGuard&) = delete;
  [[nodiscard]] bool entered() const { return entered_; }

 private:
  Parser& parser_;
  bool entered_;
};

// At the structural limit: records "nesting too deep" (repeat rule applies) and keeps
// the rest of the construct in one Error node, up to an unmatched ")", "]" or "}" (not
// consumed) or the end of input. Nothing is built at such a bracket or at the end.
void recover_too_deep(Parser& p);

// At the operand limit: the same, but the Error node also ends before a "," at bracket
// level 0, so that the list around the operand goes on; nothing is built at a ",".
void recover_operand_too_deep(Parser& p);

// True for the token kinds that may be a name: Ident, QuotedIdent.
[[nodiscard]] constexpr bool is_name_kind(std::optional<TokenKind> kind) {
  return kind == TokenKind::Ident || kind == TokenKind::QuotedIdent;
}

}  // namespace veltrane::parser
