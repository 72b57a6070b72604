#pragma once

// The one walk over a finished tree: preorder, with an event when a node is entered, one
// per token, and one when a node is left. It keeps an explicit stack of the open nodes,
// its only allocation, so a tree a million levels deep is walked on any thread stack.
//
//   TreeWalk walk(tree, node);              // node: any node; tree.root for the whole tree
//   while (const std::optional<WalkStep> step = walk.next()) {
//     switch (step->event) {
//       case WalkEvent::Enter: ...; break;  // step->index is a node index
//       case WalkEvent::Token: ...; break;  // step->index is a token index
//       case WalkEvent::Leave: ...; break;  // step->index is a node index
//     }
//   }
//
// Order: Enter of a node, then the events of its child entries in source order (last to
// first with WalkOrder::Reverse), then its Leave. A token is a leaf: one Token event
// stands for its enter and its leave. Every Enter is matched by exactly one Leave, also
// for skipped nodes.
// Depth: the starting node has depth 0; a child entry is one deeper than its node.
// Position: the entry's index in its parent's child list, the same on Enter and Leave.
// skip(): right after an Enter, the walk passes over that node's children; the next
// event is the node's Leave. Elsewhere it passes over the rest of the innermost open
// node's children.
// Tokens: WalkTokens::All gives every token, Significant passes over trivia (whitespace,
// comments, ...), None gives no token events at all.
// Stack: a caller that walks many subtrees keeps one WalkStack and lends it to each walk,
// so that the stack's storage is allocated once rather than once per walk.

#include <cstdint>
#include <optional>
#include <vector>

#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"

namespace veltrane::syntax {

enum class WalkEvent : uint8_t { Enter, Token, Leave };

enum class WalkTokens : uint8_t { All, Significant, None };

enum class WalkOrder : uint8_t { Source, Reverse };

struct WalkStep {
  WalkEvent event;
  uint32_t index;  // a node index for Enter and Leave, a token index for Token
  uint32_t depth;  // 0 for the starting node
  // The entry's place in its parent's child list (0 for the starting node).
  uint32_t position;

  [[nodiscard]] bool is_token() const { return event == WalkEvent::Token; }
};

// The open nodes of a walk, kept between walks by a caller that lends it to each of them.
// Its contents belong to the walk that holds it; between walks they mean nothing.
class WalkStack {
 private:
  friend class TreeWalk;
  struct Frame {
    uint32_t node;
    uint32_t visited;  // the child entries given so far
  };
  std::vector<Frame> frames_;
};

class TreeWalk {
 public:
  // Walks the subtree of `node` with a stack of its own. Stops with "node index out of
  // range" when `node` is not a node of `tree`. The tree must outlive the walk.
  TreeWalk(const Tree& tree, uint32_t node, WalkTokens tokens = WalkTokens::All,
           WalkOrder order = WalkOrder::Source)
      : TreeWalk(tree, node, tokens, order, own_stack_) {}

  // The same walk on a borrowed stack, which it empties first; the stack must outlive the
  // walk and serve no other walk meanwhile.
  TreeWalk(const Tree& tree, uint32_t node, WalkTokens tokens, WalkOrder order, WalkStack& stack)
      : tree_(&tree), open_(&stack.frames_), start_(node), tokens_(tokens), order_(order) {
    if (node >= tree.nodes.size()) stop("node index out of range");
    open_->clear();
  }

  // The walk points into itself when it owns its stack.
  TreeWalk(const TreeWalk&) = delete;
  TreeWalk& operator=(const TreeWalk&) = delete;

  // The next event; none once the starting node has been left.
  [[nodiscard]] std::optional<WalkStep> next();

  // Passes over the remaining children of the innermost open node (after an Enter: the
  // node just entered). Its Leave still comes.
  void skip() {
    if (!open_->empty()) open_->back().visited = tree_->nodes[open_->back().node].count;
  }

  // Number of nodes open: the depth of the next child entry.
  [[nodiscard]] uint32_t open_count() const { return static_cast<uint32_t>(open_->size()); }

  // The node `levels` up from the innermost open node (0: the innermost); none past the
  // starting node. After an Enter, level 0 is the entered node and level 1 its parent.
  [[nodiscard]] std::optional<uint32_t> open_node(uint32_t levels) const {
    if (levels >= open_->size()) return std::nullopt;
    return (*open_)[open_->size() - 1 - levels].node;
  }

  [[nodiscard]] const Tree& tree() const { return *tree_; }

 private:
  using Frame = WalkStack::Frame;

  // The index in `node`'s child list of the entry given after `visited` others.
  [[nodiscard]] uint32_t entry_position(const Node& node, uint32_t visited) const {
    return order_ == WalkOrder::Source ? visited : node.count - 1 - visited;
  }

  const Tree* tree_;
  std::vector<Frame>* open_;
  uint32_t start_;
  WalkTokens tokens_;
  WalkOrder order_;
  bool started_ = false;
  WalkStack own_stack_;
};

inline std::optional<WalkStep> TreeWalk::next() {
  std::vector<Frame>& open = *open_;
  if (!started_) {
    started_ = true;
    open.push_back(Frame{start_, 0});
    return WalkStep{WalkEvent::Enter, start_, 0, 0};
  }
  const Node* const nodes = tree_->nodes.data();
  const Child* const entries = tree_->children.data();
  while (!open.empty()) {
    Frame& top = open.back();
    const Node& node = nodes[top.node];
    const auto depth = static_cast<uint32_t>(open.size());
    if (top.visited >= node.count) {
      const uint32_t left = top.node;
      open.pop_back();
      // The parent has not moved on since it gave this node.
      const uint32_t position =
          open.empty() ? 0 : entry_position(nodes[open.back().node], open.back().visited - 1);
      return WalkStep{WalkEvent::Leave, left, depth - 1, position};
    }
    const uint32_t position = entry_position(node, top.visited);
    const Child entry = entries[node.first + position];
    ++top.visited;
    const uint32_t index = entry_index(entry);
    if (is_token_entry(entry)) {
      if (tokens_ == WalkTokens::None) continue;
      if (tokens_ == WalkTokens::Significant && is_trivia(tree_->tokens[index].kind)) continue;
      return WalkStep{WalkEvent::Token, index, depth, position};
    }
    // `top` may dangle once the vector grows.
    open.push_back(Frame{index, 0});
    return WalkStep{WalkEvent::Enter, index, depth, position};
  }
  return std::nullopt;
}

// The first token below `node` in source order that `tokens` lets through (All: any,
// Significant: the first that is not trivia; None finds none), or with WalkOrder::Reverse
// the last one; none when there is no such token. Walks on `stack` and stops at that
// token, so a long node costs the entries before it, not its size.
[[nodiscard]] inline std::optional<uint32_t> edge_token(const Tree& tree, uint32_t node,
                                                        WalkTokens tokens, WalkOrder order,
                                                        WalkStack& stack) {
  TreeWalk walk(tree, node, tokens, order, stack);
  while (const std::optional<WalkStep> step = walk.next()) {
    if (step->is_token()) return step->index;
  }
  return std::nullopt;
}

}  // namespace veltrane::syntax
