#pragma once

// The lossless syntax tree and its builder. Nodes, tokens and child lists live in three
// flat vectors; the builder wraps already finished children in a node decided later by
// opening it at a checkpoint.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "syntax/kinds.hpp"

namespace veltrane::syntax {

// One entry of a child list: with TOKEN_FLAG set, the low 31 bits are a token index;
// otherwise the value is a node index.
using Child = uint32_t;

inline constexpr Child TOKEN_FLAG = 0x80000000u;

// Texts this long or longer are refused by every face before anything reads them: offsets
// are 32-bit, and a child entry keeps 31 bits of a token's index.
inline constexpr uint64_t MAX_TEXT_BYTES = uint64_t{1} << 31;

// The parent of the root, and of every node until the tree is finished.
inline constexpr uint32_t NO_PARENT = 0xFFFFFFFFu;

[[nodiscard]] constexpr bool is_token_entry(Child entry) { return (entry & TOKEN_FLAG) != 0; }
// The token or node index an entry holds.
[[nodiscard]] constexpr uint32_t entry_index(Child entry) { return entry & ~TOKEN_FLAG; }
[[nodiscard]] constexpr Child token_entry(uint32_t token_index) { return token_index | TOKEN_FLAG; }
[[nodiscard]] constexpr Child node_entry(uint32_t node_index) { return node_index; }

struct Node {
  uint32_t parent;  // NO_PARENT for the root
  uint32_t first;   // index of the first entry in Tree::children
  uint32_t count;   // number of child entries
  SyntaxKind kind;
};

// A token as the tree keeps it: byte offsets into the whole source text and its kind.
struct TreeToken {
  uint32_t start;
  uint32_t end;
  SyntaxKind kind;
};

static_assert(sizeof(Node) == 16);
static_assert(sizeof(TreeToken) == 12);
static_assert(sizeof(Child) == 4);

// A finished tree. Read-only: nothing changes it after TreeBuilder::finish.
// Invariants: every token and every node but the root stands in exactly one child list;
// one node's entries are contiguous and in source order; node indices are post-order, so
// the root is the last node; tokens are in source order.
struct Tree {
  std::vector<Node> nodes;
  std::vector<TreeToken> tokens;
  std::vector<uint32_t> token_parents;  // the node whose child list holds each token
  std::vector<Child> children;
  uint32_t root = 0;
};

// The length of the builder's pending list when it was taken; not a node, token or child
// index.
struct Checkpoint {
  uint32_t pending_length;
};

struct OpenNode {
  SyntaxKind kind;
  uint32_t mark;  // pending length when opened, or the checkpoint it was opened at
};

// Builds one tree from start, token and finish events. Used by one thread.
class TreeBuilder {
 public:
  TreeBuilder() = default;

  // Reserves room for about this many tokens and nodes (child entries: both together).
  void reserve(std::size_t token_count, std::size_t node_count);

  // The two calls made for every node and token are defined below, inline.
  void start_node(SyntaxKind kind);
  void token(SyntaxKind kind, uint32_t start, uint32_t end);
  // Stops with "finish_node without start_node" when no node is open.
  void finish_node();
  [[nodiscard]] Checkpoint checkpoint() const;
  // Opens a node that adopts every entry finished since the checkpoint. Stops with
  // "checkpoint is stale" or "checkpoint is outside the open node".
  void start_node_at(Checkpoint checkpoint, SyntaxKind kind);
  // Consumes the builder. Stops with "unfinished nodes", "a tree has exactly one root
  // node" or "the root must be a node", checked in that order.
  [[nodiscard]] Tree finish() &&;

  // Number of tokens added so far.
  [[nodiscard]] std::size_t token_count() const { return tokens_.size(); }
  // Number of nodes still open.
  [[nodiscard]] std::size_t open_count() const { return open_.size(); }

 private:
  std::vector<Node> nodes_;
  std::vector<TreeToken> tokens_;
  // Set as each node finishes, so that finish() needs no pass over the children.
  std::vector<uint32_t> token_parents_;
  std::vector<Child> children_;
  std::vector<OpenNode> open_;
  std::vector<Child> pending_;
};

// Stops with "tree index does not fit in 31 bits".
[[noreturn]] void stop_index_overflow();

// The index as a child entry keeps it (31 bits); stops past that range.
[[nodiscard]] inline uint32_t checked_tree_index(std::size_t index) {
  if (index > TOKEN_FLAG - 1) [[unlikely]] {
    stop_index_overflow();
  }
  return static_cast<uint32_t>(index);
}

inline void TreeBuilder::start_node(SyntaxKind kind) {
  open_.push_back(OpenNode{kind, checked_tree_index(pending_.size())});
}

inline void TreeBuilder::token(SyntaxKind kind, uint32_t start, uint32_t end) {
  const uint32_t index = checked_tree_index(tokens_.size());
  tokens_.push_back(TreeToken{start, end, kind});
  token_parents_.push_back(NO_PARENT);
  pending_.push_back(token_entry(index));
}

}  // namespace veltrane::syntax
