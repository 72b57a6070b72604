#include "syntax/tree_reads.hpp"

#include <algorithm>

#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"
#include "syntax/walk.hpp"

namespace veltrane::syntax {

namespace {

const Node& node_at(const Tree& tree, uint32_t node) {
  if (node >= tree.nodes.size()) stop("node index out of range");
  return tree.nodes[node];
}

const TreeToken& token_at(const Tree& tree, uint32_t token) {
  if (token >= tree.tokens.size()) stop("token index out of range");
  return tree.tokens[token];
}

bool is_node_of_kind(const Tree& tree, Child entry, SyntaxKind kind) {
  return !is_token_entry(entry) && node_at(tree, entry_index(entry)).kind == kind;
}

}  // namespace

std::optional<uint32_t> child_of_kind(const Tree& tree, uint32_t node, SyntaxKind kind) {
  for (const Child entry : children(tree, node)) {
    if (is_node_of_kind(tree, entry, kind)) return entry_index(entry);
  }
  return std::nullopt;
}

DescendantTokens::DescendantTokens(const Tree& tree, uint32_t node) : tree_(&tree) {
  node_at(tree, node);
  stack_.push_back(node_entry(node));
}

std::optional<uint32_t> DescendantTokens::next() {
  while (!stack_.empty()) {
    const Child entry = stack_.back();
    stack_.pop_back();
    if (is_token_entry(entry)) return entry_index(entry);
    const std::span<const Child> entries = children(*tree_, entry_index(entry));
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) stack_.push_back(*it);
  }
  return std::nullopt;
}

DescendantTokens descendant_tokens(const Tree& tree, uint32_t node) {
  return DescendantTokens(tree, node);
}

std::optional<uint32_t> next_descendant_token(DescendantTokens& walk) { return walk.next(); }

DescendantNodes::DescendantNodes(const Tree& tree, uint32_t node) : tree_(&tree) {
  node_at(tree, node);
  stack_.push_back(node);
}

std::optional<uint32_t> DescendantNodes::next() {
  if (stack_.empty()) return std::nullopt;
  const uint32_t node = stack_.back();
  stack_.pop_back();
  const std::span<const Child> entries = children(*tree_, node);
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (!is_token_entry(*it)) stack_.push_back(entry_index(*it));
  }
  return node;
}

DescendantNodes descendant_nodes(const Tree& tree, uint32_t node) {
  return DescendantNodes(tree, node);
}

std::optional<Span> node_span(const Tree& tree, uint32_t node) {
  WalkStack stack;
  const std::optional<uint32_t> first =
      edge_token(tree, node, WalkTokens::All, WalkOrder::Source, stack);
  if (!first) return std::nullopt;
  // A node with a token always has a last one.
  const uint32_t last =
      edge_token(tree, node, WalkTokens::All, WalkOrder::Reverse, stack).value_or(*first);
  return Span{token_at(tree, *first).start, token_at(tree, last).end};
}

std::string_view node_text(const Tree& tree, uint32_t node, std::string_view text) {
  const std::optional<Span> span = node_span(tree, node);
  if (!span) return {};
  return span_text(*span, text);
}

bool present_and_not_query(const Tree& tree, std::optional<uint32_t> node) {
  if (!node) return false;
  return node_at(tree, *node).kind != syntax_kind(NodeKind::Query);
}

ChildCursor child_cursor(const Tree& tree, uint32_t node) {
  return ChildCursor{children(tree, node), 0};
}

std::optional<uint32_t> next_child_of_kind(ChildCursor& cursor, const Tree& tree, NodeKind kind) {
  const SyntaxKind wanted = syntax_kind(kind);
  while (!cursor.at_end()) {
    const Child entry = cursor.entries[cursor.position++];
    if (is_node_of_kind(tree, entry, wanted)) return entry_index(entry);
  }
  return std::nullopt;
}

bool lacks_child_of_kind(ChildCursor& cursor, const Tree& tree, NodeKind kind) {
  return !next_child_of_kind(cursor, tree, kind).has_value();
}

std::optional<uint32_t> next_child_after(ChildCursor& cursor, const Tree& tree, uint32_t offset) {
  while (!cursor.at_end()) {
    const Child entry = cursor.entries[cursor.position++];
    if (is_token_entry(entry)) continue;
    const std::optional<Span> span = node_span(tree, entry_index(entry));
    if (span && span->start > offset) return entry_index(entry);
  }
  return std::nullopt;
}

std::optional<KindAndText> tokens_from_subprogram_keyword(ChildCursor& cursor, const Tree& tree,
                                                          std::string_view text, bool& started) {
  while (!cursor.at_end()) {
    const Child entry = cursor.entries[cursor.position++];
    if (!is_token_entry(entry)) continue;
    const TreeToken& token = token_at(tree, entry_index(entry));
    const std::optional<TokenKind> kind = as_token_kind(token.kind);
    if (!kind || is_trivia(*kind)) continue;
    const std::string_view token_text = span_text(Span{token.start, token.end}, text);
    if (!started) {
      if (*kind != TokenKind::Ident) continue;
      if (!equals_word(token_text, "FUNCTION") && !equals_word(token_text, "PROCEDURE")) {
        continue;
      }
      started = true;
    }
    return KindAndText{*kind, token_text};
  }
  return std::nullopt;
}

bool contains_dot_token(DescendantTokens& walk) {
  bool found = false;
  while (const std::optional<uint32_t> token = walk.next()) {
    if (token_at(walk.tree(), *token).kind == syntax_kind(TokenKind::Dot)) found = true;
  }
  return found;
}

}  // namespace veltrane::syntax
