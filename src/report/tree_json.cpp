#include "report/tree_json.hpp"

#include <optional>
#include <vector>

#include "syntax/json_text.hpp"
#include "syntax/kinds.hpp"
#include "syntax/walk.hpp"

namespace veltrane::report {

namespace {

using syntax::Tree;

// Byte spans of every node, in one pass in node index order: a node's index is larger
// than its descendants', so each child's span is known when its parent is reached.
struct NodeSpans {
  std::vector<uint32_t> start;
  std::vector<uint32_t> end;
  std::vector<bool> present;
};

NodeSpans node_spans(const Tree& tree) {
  NodeSpans spans;
  const std::size_t count = tree.nodes.size();
  spans.start.assign(count, 0);
  spans.end.assign(count, 0);
  spans.present.assign(count, false);
  for (std::size_t node = 0; node < count; ++node) {
    const syntax::Node& entry = tree.nodes[node];
    for (uint32_t i = 0; i < entry.count; ++i) {
      const syntax::Child child = tree.children[entry.first + i];
      const uint32_t index = syntax::entry_index(child);
      uint32_t child_start = 0;
      uint32_t child_end = 0;
      if (syntax::is_token_entry(child)) {
        child_start = tree.tokens[index].start;
        child_end = tree.tokens[index].end;
      } else if (index < count && spans.present[index]) {
        child_start = spans.start[index];
        child_end = spans.end[index];
      } else {
        continue;
      }
      if (!spans.present[node]) {
        spans.present[node] = true;
        spans.start[node] = child_start;
      }
      spans.end[node] = child_end;
    }
  }
  return spans;
}

}  // namespace

void tree_json(const Tree& tree, uint32_t node, std::string_view text,
               const syntax::Utf16Positions& positions, uint64_t& counter, std::string& out) {
  const NodeSpans spans = node_spans(tree);
  syntax::JsonWriter writer(out);
  syntax::TreeWalk walk(tree, node, syntax::WalkTokens::Significant);
  std::string kind;
  while (const std::optional<syntax::WalkStep> step = walk.next()) {
    switch (step->event) {
      case syntax::WalkEvent::Enter:
        ++counter;
        writer.begin_object();
        writer.key("c");
        writer.begin_array();
        break;
      case syntax::WalkEvent::Token: {
        ++counter;
        const syntax::TreeToken& token = tree.tokens[step->index];
        kind.clear();
        syntax::append_kind_name(kind, token.kind);
        writer.begin_object();
        writer.member("e", positions.offset(token.end));
        writer.member("k", kind);
        writer.member("s", positions.offset(token.start));
        writer.member("t", text.substr(token.start, token.end - token.start));
        writer.end_object();
        break;
      }
      case syntax::WalkEvent::Leave: {
        writer.end_array();
        const bool present = spans.present[step->index];
        kind.clear();
        syntax::append_kind_name(kind, tree.nodes[step->index].kind);
        writer.member("e", present ? uint64_t{positions.offset(spans.end[step->index])} : 0);
        writer.member("k", kind);
        writer.member("s", present ? uint64_t{positions.offset(spans.start[step->index])} : 0);
        writer.end_object();
        break;
      }
    }
  }
}

std::size_t tree_json_size_bound(const Tree& tree, std::string_view text, std::size_t digits) {
  // {"c":[ ],"e": ,"k":" ","s": } and a comma, around a node's kind name and numbers.
  constexpr std::size_t NODE_FIXED = 6 + 6 + 6 + 6 + 1 + 1;
  // {"e": ,"k":" ","s": ,"t": } and a comma, around a token's kind name, numbers and text.
  constexpr std::size_t TOKEN_FIXED = 5 + 6 + 6 + 5 + 1 + 1;
  std::string kind;
  std::size_t size = 0;
  for (const syntax::Node& node : tree.nodes) {
    kind.clear();
    syntax::append_kind_name(kind, node.kind);
    size += NODE_FIXED + 2 * digits + kind.size();
  }
  for (const syntax::TreeToken& token : tree.tokens) {
    if (syntax::is_trivia(token.kind)) continue;
    kind.clear();
    syntax::append_kind_name(kind, token.kind);
    const std::string_view token_text = text.substr(token.start, token.end - token.start);
    size += TOKEN_FIXED + 2 * digits + kind.size() + syntax::json_string_size_bound(token_text);
  }
  return size;
}

uint64_t tree_object_count(const Tree& tree) {
  uint64_t count = tree.nodes.size();
  for (const syntax::TreeToken& token : tree.tokens) {
    if (!syntax::is_trivia(token.kind)) ++count;
  }
  return count;
}

}  // namespace veltrane::report
