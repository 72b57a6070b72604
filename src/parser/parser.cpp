#include "parser/parser.hpp"

#include <utility>

#include "parser/token_set.hpp"
#include "parser/word_tables.hpp"
#include "syntax/stop.hpp"

namespace veltrane::parser {

Parser::Parser(std::string_view source_text, std::span<const Token> item_tokens,
               ParseOptions parse_options, uint32_t start_of_item)
    : source(source_text),
      tokens(item_tokens),
      options(std::move(parse_options)),
      item_start(start_of_item) {
  if (item_tokens.size() >= syntax::TOKEN_FLAG) {
    syntax::stop("too many tokens in one item");
  }
  sig.reserve(item_tokens.size());
  for (size_t i = 0; i < item_tokens.size(); ++i) {
    if (!syntax::is_trivia(item_tokens[i].kind)) {
      sig.push_back(static_cast<uint32_t>(i));
    }
  }
  builder.reserve(item_tokens.size(), sig.size());
}

// ---- lookahead ----

TextSpan Parser::span_at(uint32_t n) const {
  if (has(n)) {
    const Token& token = tokens[sig[pos + n]];
    return {token.start, token.end};
  }
  if (tokens.empty()) {
    return {item_start, item_start};
  }
  return {tokens.back().end, tokens.back().end};
}

bool Parser::is_glued(uint32_t n) const {
  const size_t index = size_t{pos} + n;
  if (index == 0 || index >= sig.size()) {
    return false;
  }
  return tokens[sig[index]].start == tokens[sig[index - 1]].end;
}

bool Parser::at_any_word(uint32_t n, std::span<const std::string_view> words) const {
  if (!at(TokenKind::Ident, n)) {
    return false;
  }
  return word_in(words, text_at(n));
}

bool Parser::at_item_end(uint32_t n, uint8_t mode) const {
  const std::optional<TokenKind> kind = kind_at(n);
  if (!kind) {
    return true;
  }
  switch (*kind) {
    case TokenKind::Substitution:
    case TokenKind::RParen:
    case TokenKind::Comma:
    case TokenKind::Semicolon:
      return true;
    default:
      return is_reserved(*this, n, mode);
  }
}

uint32_t Parser::name_continuation(uint32_t n) const {
  const std::optional<TokenKind> kind = kind_at(n);
  if (!kind) {
    return 0;
  }
  const std::optional<TokenKind> next = kind_at(n + 1);
  switch (*kind) {
    case TokenKind::Dot:
      if (next == TokenKind::Ident || next == TokenKind::QuotedIdent ||
          next == TokenKind::Substitution || next == TokenKind::Star) {
        return 2;
      }
      return 0;
    case TokenKind::At:
      if (next == TokenKind::Ident || next == TokenKind::QuotedIdent ||
          next == TokenKind::Substitution) {
        return 2;
      }
      return 0;
    case TokenKind::Ident:
    case TokenKind::Substitution: {
      // Glued to the significant token before it (which may already be consumed).
      const size_t index = size_t{pos} + n;
      if (index == 0 || !is_glued(n)) {
        return 0;
      }
      const TokenKind before = tokens[sig[index - 1]].kind;
      if (*kind == TokenKind::Ident) {
        return before == TokenKind::Substitution ? 1 : 0;
      }
      return (before == TokenKind::Ident || before == TokenKind::QuotedIdent ||
              before == TokenKind::Substitution)
                 ? 1
                 : 0;
    }
    default:
      return 0;
  }
}

// ---- tree building ----

void Parser::flush_to_current() {
  if (!at_end()) {
    place_tokens_up_to(sig[pos]);
  }
}

Checkpoint Parser::checkpoint() {
  flush();
  return builder.checkpoint();
}

void Parser::start_node(NodeKind kind) {
  flush();
  builder.start_node(syntax::syntax_kind(kind));
}

void Parser::start_node_at(Checkpoint at_checkpoint, NodeKind kind) {
  builder.start_node_at(at_checkpoint, syntax::syntax_kind(kind));
}

void Parser::finish_node() { builder.finish_node(); }

void Parser::skip_to_statement_end(std::span<const std::string_view> end_words) {
  int64_t paren_depth = 0;
  while (!at_end()) {
    const TokenKind kind = tokens[sig[pos]].kind;
    if (paren_depth <= 0 && (kind == TokenKind::Semicolon || at_any_word(0, end_words))) {
      return;
    }
    if (kind == TokenKind::LParen) {
      ++paren_depth;
    } else if (kind == TokenKind::RParen) {
      --paren_depth;
    }
    bump();
  }
}

void Parser::skip_clause(std::optional<std::string_view> message) {
  if (message) {
    push_unchecked(*message, current_span(), Severity::Warning);
  }
  flush();
  builder.start_node(syntax::syntax_kind(NodeKind::SkippedClause));
  if (!at_end()) {
    const bool group = at(TokenKind::LParen);
    bump();
    if (group) {
      uint32_t paren_depth = 1;
      while (!at_end() && paren_depth >= 1) {
        const TokenKind kind = tokens[sig[pos]].kind;
        if (kind == TokenKind::LParen) {
          ++paren_depth;
        } else if (kind == TokenKind::RParen) {
          --paren_depth;
        }
        bump();
      }
    }
  }
  builder.finish_node();
}

void Parser::eat_semicolon() { eat(TokenKind::Semicolon); }

// ---- diagnostics ----

void Parser::error(std::string_view message) {
  const TextSpan span = current_span();
  if (!diagnostics.empty() && diagnostics.back().start == span.start &&
      diagnostics.back().end == span.end) {
    return;
  }
  diagnostics.push_back(Diagnostic{message, span.start, span.end, Severity::Error});
}

void Parser::error_bump(std::string_view message) {
  error(message);
  if (at_end()) {
    return;
  }
  start_node(NodeKind::Error);
  bump();
  finish_node();
}

void Parser::push_unchecked(std::string_view message, TextSpan span, Severity severity) {
  diagnostics.push_back(Diagnostic{message, span.start, span.end, severity});
}

void Parser::expect(TokenKind kind, std::string_view message) {
  if (!eat(kind)) error(message);
}

void Parser::expect_name(std::string_view message) {
  if (is_name_kind(kind_at(0))) {
    bump();
  } else {
    error(message);
  }
}

// ---- guards ----

DepthGuard::DepthGuard(Parser& p) : parser_(p), entered_(p.depth < MAX_DEPTH) {
  if (entered_) {
    ++parser_.depth;
  }
}

DepthGuard::~DepthGuard() {
  if (entered_) {
    --parser_.depth;
  }
}

StructureGuard::StructureGuard(Parser& p)
    : parser_(p), entered_(p.structure_depth < MAX_STRUCTURE_DEPTH) {
  if (entered_) {
    ++parser_.structure_depth;
  }
}

StructureGuard::~StructureGuard() {
  if (entered_) {
    --parser_.structure_depth;
  }
}

namespace {

// The rest of a construct in one Error node: up to a ")", "]" or "}" that closes nothing
// inside it (not consumed), the end of input, or (with `stop_at_comma`) a "," at bracket
// level 0.
void skip_too_deep(Parser& p, bool stop_at_comma) {
  p.start_node(NodeKind::Error);
  uint32_t bracket_depth = 0;
  while (!p.at_end()) {
    const std::optional<TokenKind> kind = p.kind_at(0);
    if (OPEN_BRACKET_TOKENS.contains(kind)) {
      ++bracket_depth;
    } else if (CLOSE_BRACKET_TOKENS.contains(kind)) {
      if (bracket_depth == 0) {
        break;
      }
      --bracket_depth;
    } else if (stop_at_comma && bracket_depth == 0 && kind == TokenKind::Comma) {
      break;
    }
    p.bump();
  }
  p.finish_node();
}

}  // namespace

void recover_too_deep(Parser& p) {
  p.error(MSG_NESTING_TOO_DEEP);
  if (p.at_end() || CLOSE_BRACKET_TOKENS.contains(p.kind_at(0))) {
    return;
  }
  skip_too_deep(p, false);
}

void recover_operand_too_deep(Parser& p) {
  p.error(MSG_NESTING_TOO_DEEP);
  if (p.at_end() || p.at(TokenKind::Comma)) {
    return;
  }
  skip_too_deep(p, true);
}

}  // namespace veltrane::parser
