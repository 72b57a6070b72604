#include "views/tree_words.hpp"

#include <cstddef>
#include <span>

#include "lexer/token_values.hpp"
#include "syntax/span.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::views {

using syntax::Child;
using syntax::NodeKind;
using syntax::TokenKind;
using syntax::Tree;
using syntax::TreeToken;

std::optional<NodeKind> node_kind_of(const Tree& tree, uint32_t node) {
  return syntax::as_node_kind(tree.nodes[node].kind);
}

bool is_node(const Tree& tree, uint32_t node, NodeKind kind) {
  return node_kind_of(tree, node) == kind;
}

std::string_view token_text(const TreeToken& token, std::string_view text) {
  return syntax::span_text({token.start, token.end}, text);
}

std::string_view token_text(const Tree& tree, uint32_t token, std::string_view text) {
  return token_text(tree.tokens[token], text);
}

bool is_word(const TreeToken& token, std::string_view text, std::string_view upper_word) {
  if (token_kind_of(token) != TokenKind::Ident) return false;
  // A word of another length is told by the offsets, without reading the text.
  if (token.start <= token.end && token.end - token.start != upper_word.size()) return false;
  return syntax::equals_word(token_text(token, text), upper_word);
}

bool is_word(const Tree& tree, uint32_t token, std::string_view text, std::string_view upper_word) {
  return is_word(tree.tokens[token], text, upper_word);
}

std::string normal_form(const Tree& tree, uint32_t token, std::string_view text) {
  return lexer::identifier_text(token_kind_of(tree.tokens[token]), token_text(tree, token, text));
}

void append_name_piece(std::string& sink, const TreeToken& token, std::string_view text) {
  switch (token_kind_of(token)) {
    case TokenKind::Dot:
      sink.push_back('.');
      return;
    case TokenKind::At:
      sink.push_back('@');
      return;
    default:
      sink += lexer::identifier_text(token_kind_of(token), token_text(token, text));
  }
}

std::vector<uint32_t> significant_tokens(const Tree& tree, uint32_t node) {
  std::vector<uint32_t> tokens;
  for (const Child entry : syntax::children(tree, node)) {
    if (!syntax::is_token_entry(entry)) continue;
    const uint32_t token = syntax::entry_index(entry);
    if (!syntax::is_trivia(tree.tokens[token].kind)) tokens.push_back(token);
  }
  return tokens;
}

std::string name_text(const Tree& tree, uint32_t name_ref, std::string_view text,
                      bool drop_last_part) {
  std::vector<uint32_t> tokens = significant_tokens(tree, name_ref);
  if (drop_last_part) {
    std::size_t keep = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      if (token_kind_of(tree.tokens[tokens[i]]) == TokenKind::Dot) keep = i;
    }
    tokens.resize(keep);
  }
  std::string name;
  for (const uint32_t token : tokens) append_name_piece(name, tree.tokens[token], text);
  return name;
}

std::optional<uint32_t> name_ref_of(const Tree& tree, uint32_t object_name) {
  return syntax::child_of_kind(tree, object_name, syntax::syntax_kind(NodeKind::NameRef));
}

std::optional<uint32_t> previous_token(const Tree& tree, uint32_t node, uint32_t count) {
  const std::span<const Child> entries = syntax::children(tree, node).first(count);
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (!syntax::is_token_entry(*it)) continue;
    const uint32_t token = syntax::entry_index(*it);
    if (!syntax::is_trivia(tree.tokens[token].kind)) return token;
  }
  return std::nullopt;
}

bool previous_word_is(const Tree& tree, uint32_t node, uint32_t count, std::string_view text,
                      std::string_view upper_word) {
  const std::optional<uint32_t> token = previous_token(tree, node, count);
  return token.has_value() && is_word(tree.tokens[*token], text, upper_word);
}

}  // namespace veltrane::views
