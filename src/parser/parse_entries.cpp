#include "parser/parse_entries.hpp"

#include <algorithm>
#include <utility>

#include "lexer/conditional_compilation.hpp"
#include "parser/parser.hpp"
#include "plsql/plsql.hpp"
#include "sql/statement_dispatch.hpp"

namespace veltrane::parser {

void finish_item(Parser& p, Checkpoint root, NodeKind root_kind,
                 std::string_view leftover_message) {
  if (!p.at_end()) {
    p.error(leftover_message);
    p.start_node(NodeKind::Error);
    while (!p.at_end()) {
      p.bump();
    }
    p.finish_node();
  }
  p.flush();
  p.start_node_at(root, root_kind);
  p.finish_node();
}

ParsedStatement parse_statement(std::string_view source, std::span<const lexer::Token> tokens,
                                const lexer::ParseOptions& options, uint32_t item_start) {
  Parser p(source, tokens, options, item_start);
  // The root's checkpoint is read raw, before any flush, so that the root holds the
  // item's leading trivia.
  const Checkpoint root = p.builder.checkpoint();
  const sql::StatementKind kind = sql::parse_sql_statement(p);
  finish_item(p, root, sql::statement_node_kind(kind), MSG_UNEXPECTED_AFTER_STATEMENT);
  return ParsedStatement{std::move(p.builder).finish(), std::move(p.diagnostics)};
}

ParsedStatement parse_plsql_unit(std::string_view source, std::span<const lexer::Token> tokens,
                                 const lexer::ParseOptions& options, uint32_t item_start) {
  // Without a directive the pass changes nothing, so the item's own tokens are parsed
  // rather than a copy of them.
  const bool has_directive = std::any_of(tokens.begin(), tokens.end(), [](const lexer::Token& t) {
    return t.kind == syntax::TokenKind::CondDirective;
  });
  lexer::CcResult compiled;
  if (has_directive) compiled = lexer::apply_conditional_compilation(source, tokens, options);
  Parser p(source, has_directive ? std::span<const lexer::Token>(compiled.tokens) : tokens, options,
           item_start);
  plsql::parse_unit(p);
  std::vector<syntax::Diagnostic> diagnostics = std::move(compiled.diagnostics);
  diagnostics.insert(diagnostics.end(), p.diagnostics.begin(), p.diagnostics.end());
  return ParsedStatement{std::move(p.builder).finish(), std::move(diagnostics)};
}

std::optional<ParsedStatement> parse_item(std::string_view source, const lexer::SplitResult& split,
                                          const lexer::ScriptItem& item,
                                          const lexer::ParseOptions& options) {
  if (item.kind == lexer::ScriptItemKind::SqlPlus || item.first_token >= item.end_token) {
    return std::nullopt;
  }
  if (item.end_token > split.tokens.size()) syntax::stop("item token range outside the split");
  const std::span<const lexer::Token> tokens =
      std::span<const lexer::Token>(split.tokens)
          .subspan(item.first_token, item.end_token - item.first_token);
  if (item.kind == lexer::ScriptItemKind::PlSql) {
    return parse_plsql_unit(source, tokens, options, item.start);
  }
  return parse_statement(source, tokens, options, item.start);
}

}  // namespace veltrane::parser
