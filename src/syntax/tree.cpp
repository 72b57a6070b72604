#include "syntax/tree.hpp"

#include <string>
#include <utility>

#include "syntax/stop.hpp"

namespace veltrane::syntax {

namespace {

// Child entries keep 31 bits of index.
constexpr std::size_t MAX_INDEX = TOKEN_FLAG - 1;

uint32_t narrow_index(std::size_t index) {
  if (index > MAX_INDEX) stop("tree index does not fit in 31 bits");
  return static_cast<uint32_t>(index);
}

}  // namespace

void TreeBuilder::reserve(std::size_t token_count, std::size_t node_count) {
  tokens_.reserve(token_count);
  nodes_.reserve(node_count);
  children_.reserve(token_count + node_count);
}

void TreeBuilder::start_node(SyntaxKind kind) {
  open_.push_back(OpenNode{kind, narrow_index(pending_.size())});
}

void TreeBuilder::token(SyntaxKind kind, uint32_t start, uint32_t end) {
  const uint32_t index = narrow_index(tokens_.size());
  tokens_.push_back(TreeToken{start, end, kind});
  pending_.push_back(token_entry(index));
}

void TreeBuilder::finish_node() {
  if (open_.empty()) stop("finish_node without start_node");
  const OpenNode open_node = open_.back();
  open_.pop_back();
  const uint32_t first = narrow_index(children_.size());
  const uint32_t count = narrow_index(pending_.size() - open_node.mark);
  children_.insert(children_.end(), pending_.begin() + open_node.mark, pending_.end());
  pending_.resize(open_node.mark);
  const uint32_t index = narrow_index(nodes_.size());
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

  std::vector<uint32_t> node_parents(nodes_.size(), NO_PARENT);
  std::vector<uint32_t> token_parents(tokens_.size(), NO_PARENT);
  for (std::size_t node = 0; node < nodes_.size(); ++node) {
    const Node& record = nodes_[node];
    const auto parent = static_cast<uint32_t>(node);
    for (std::size_t i = record.first; i < std::size_t{record.first} + record.count; ++i) {
      const Child entry = children_[i];
      if (is_token_entry(entry)) {
        token_parents[entry_index(entry)] = parent;
      } else {
        node_parents[entry_index(entry)] = parent;
      }
    }
  }
  for (std::size_t node = 0; node < nodes_.size(); ++node) nodes_[node].parent = node_parents[node];

  Tree tree;
  tree.nodes = std::move(nodes_);
  tree.tokens = std::move(tokens_);
  tree.token_parents = std::move(token_parents);
  tree.children = std::move(children_);
  tree.root = entry_index(root_entry);
  open_.clear();
  pending_.clear();
  return tree;
}

}  // namespace veltrane::syntax
