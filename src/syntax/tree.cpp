#include "syntax/tree.hpp"

#include <string>
#include <utility>

#include "syntax/stop.hpp"

namespace veltrane::syntax {

void stop_index_overflow() { stop("tree index does not fit in 31 bits"); }

namespace {

uint32_t narrow_index(std::size_t index) { return checked_tree_index(index); }

}  // namespace

void TreeBuilder::reserve(std::size_t token_count, std::size_t node_count) {
  tokens_.reserve(token_count);
  token_parents_.reserve(token_count);
  nodes_.reserve(node_count);
  children_.reserve(token_count + node_count);
  // The open nodes and the pending entries stay few at a time; a small start spares each
  // item the first few regrowths.
  constexpr std::size_t WORK_START = 32;
  open_.reserve(WORK_START);
  pending_.reserve(WORK_START);
}

void TreeBuilder::finish_node() {
  if (open_.empty()) stop("finish_node without start_node");
  const OpenNode open_node = open_.back();
  open_.pop_back();
  const uint32_t first = narrow_index(children_.size());
  const uint32_t count = narrow_index(pending_.size() - open_node.mark);
  const uint32_t index = narrow_index(nodes_.size());
  // The adopted entries move to the child list; they are finished nodes and placed tokens,
  // so their parent is known now. One pass over plain pointers does both.
  const std::size_t old_size = children_.size();
  children_.resize(old_size + count);
  const Child* const adopted = pending_.data() + open_node.mark;
  Child* const out = children_.data() + old_size;
  uint32_t* const token_parents = token_parents_.data();
  Node* const nodes = nodes_.data();
  for (std::size_t i = 0; i < count; ++i) {
    const Child entry = adopted[i];
    out[i] = entry;
    if (is_token_entry(entry)) {
      token_parents[entry_index(entry)] = index;
    } else {
      nodes[entry_index(entry)].parent = index;
    }
  }
  pending_.resize(open_node.mark);
  nodes_.push_back(Node{NO_PARENT, first, count, open_node.kind});
  pending_.push_back(node_entry(index));
}

Checkpoint TreeBuilder::checkpoint() const { return Checkpoint{narrow_index(pending_.size())}; }

void TreeBuilder::start_node_at(Checkpoint checkpoint, SyntaxKind kind) {
  if (checkpoint.pending_length > pending_.size()) stop("checkpoint is stale");
  if (!open_.empty() && checkpoint.pending_length < open_.back().mark) {
    stop("checkpoint is outside the open node");
  }
  open_.push_back(OpenNode{kind, checkpoint.pending_length});
}

Tree TreeBuilder::finish() && {
  if (!open_.empty()) stop("unfinished nodes");
  if (pending_.size() != 1) {
    stop("a tree has exactly one root node: " + std::to_string(pending_.size()) +
         " pending, expected 1");
  }
  const Child root_entry = pending_.front();
  if (is_token_entry(root_entry)) stop("the root must be a node");

  Tree tree;
  tree.nodes = std::move(nodes_);
  tree.tokens = std::move(tokens_);
  tree.token_parents = std::move(token_parents_);
  tree.children = std::move(children_);
  tree.root = entry_index(root_entry);
  open_.clear();
  pending_.clear();
  return tree;
}

}  // namespace veltrane::syntax
