#pragma once

// Reads of a finished tree by index. None of them recurses: walks keep an explicit stack,
// their only allocation. A node or token index outside the tree is a broken invariant and
// stops.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"

namespace veltrane::syntax {

// The node's child entries. Kept here: walks ask it for every node they meet.
[[nodiscard]] inline std::span<const Child> children(const Tree& tree, uint32_t node) {
  if (node >= tree.nodes.size()) stop("node index out of range");
  const Node& record = tree.nodes[node];
  if (std::size_t{record.first} + record.count > tree.children.size()) {
    stop("child list out of range");
  }
  return std::span<const Child>(tree.children).subspan(record.first, record.count);
}

// The first child entry that is a node of `kind`; token entries never match.
[[nodiscard]] std::optional<uint32_t> child_of_kind(const Tree& tree, uint32_t node,
                                                    SyntaxKind kind);

// The end of a walk below: reached when the walk's next() has nothing more.
struct WalkEnd {};

// The input iterator of the walks below, over the indexes their next() returns.
template <class Walk>
class WalkIterator {
 public:
  using value_type = uint32_t;
  using difference_type = std::ptrdiff_t;
  WalkIterator() = default;
  explicit WalkIterator(Walk* walk) : walk_(walk), current_(walk->next()) {}
  uint32_t operator*() const { return *current_; }
  WalkIterator& operator++() {
    current_ = walk_->next();
    return *this;
  }
  void operator++(int) { ++*this; }
  friend bool operator==(const WalkIterator& it, WalkEnd) { return !it.current_.has_value(); }

 private:
  Walk* walk_ = nullptr;
  std::optional<uint32_t> current_;
};

// A walk over the index of every token below a node, trivia included, in source order.
class DescendantTokens {
 public:
  DescendantTokens(const Tree& tree, uint32_t node);

  [[nodiscard]] std::optional<uint32_t> next();
  [[nodiscard]] const Tree& tree() const { return *tree_; }

  using Sentinel = WalkEnd;
  using Iterator = WalkIterator<DescendantTokens>;
  Iterator begin() { return Iterator(this); }
  Sentinel end() { return {}; }

 private:
  const Tree* tree_;
  std::vector<Child> stack_;
};

[[nodiscard]] DescendantTokens descendant_tokens(const Tree& tree, uint32_t node);
// One step of a descendant_tokens walk: the next token index, none at the end.
[[nodiscard]] std::optional<uint32_t> next_descendant_token(DescendantTokens& walk);

// A pre-order walk over a node and every node below it, the node itself first.
class DescendantNodes {
 public:
  DescendantNodes(const Tree& tree, uint32_t node);

  [[nodiscard]] std::optional<uint32_t> next();

  using Sentinel = WalkEnd;
  using Iterator = WalkIterator<DescendantNodes>;
  Iterator begin() { return Iterator(this); }
  Sentinel end() { return {}; }

 private:
  const Tree* tree_;
  std::vector<uint32_t> stack_;
};

[[nodiscard]] DescendantNodes descendant_nodes(const Tree& tree, uint32_t node);

// From the start of the first to the end of the last token below the node, trivia at the
// edges included; none when no token lies below it. Walks in from both ends and stops at
// the first token found from each, so a long node costs its depth, not its size.
[[nodiscard]] std::optional<Span> node_span(const Tree& tree, uint32_t node);

// The source text of node_span; empty when the node has no token.
[[nodiscard]] std::string_view node_text(const Tree& tree, uint32_t node, std::string_view text);

// True when the node is present and is not a Query node.
[[nodiscard]] bool present_and_not_query(const Tree& tree, std::optional<uint32_t> node);

// A position in one node's child entries, shared by the cursor reads below: each call
// advances it. Use a new cursor to go through the same entries again.
struct ChildCursor {
  std::span<const Child> entries;
  std::size_t position = 0;

  [[nodiscard]] bool at_end() const { return position >= entries.size(); }
};

[[nodiscard]] ChildCursor child_cursor(const Tree& tree, uint32_t node);

// The next entry that is a node of `kind`; the cursor stands after it, or at the end
// when there is none.
[[nodiscard]] std::optional<uint32_t> next_child_of_kind(ChildCursor& cursor, const Tree& tree,
                                                         NodeKind kind);

// True when no remaining entry is a node of `kind` (the cursor is then at the end); false
// as soon as one is found, the cursor standing after it.
[[nodiscard]] bool lacks_child_of_kind(ChildCursor& cursor, const Tree& tree, NodeKind kind);

// The next entry that is a node whose span starts strictly after `offset`; token entries
// and nodes without tokens are passed over.
[[nodiscard]] std::optional<uint32_t> next_child_after(ChildCursor& cursor, const Tree& tree,
                                                       uint32_t offset);

struct KindAndText {
  TokenKind kind;
  std::string_view text;
};

// Over the direct significant token entries (kinds 5-47; node entries and trivia passed
// over): nothing until a FUNCTION or PROCEDURE word, then that token and every following
// one. `started` keeps that state between calls and belongs to the caller.
[[nodiscard]] std::optional<KindAndText> tokens_from_subprogram_keyword(ChildCursor& cursor,
                                                                        const Tree& tree,
                                                                        std::string_view text,
                                                                        bool& started);

// Runs the walk to its end and tells whether any token was a Dot.
[[nodiscard]] bool contains_dot_token(DescendantTokens& walk);

}  // namespace veltrane::syntax
