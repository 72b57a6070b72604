#include "views/referenced_tables.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

#include "lexer/token_values.hpp"
#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/unicode.hpp"
#include "syntax/walk.hpp"
#include "views/tree_words.hpp"

namespace veltrane::views {

namespace {

using syntax::Child;
using syntax::NodeKind;
using syntax::Tree;
using syntax::TreeToken;

using syntax::equals_word;

// The objects COMMENT ON names a table by: TABLE, COLUMN (the column's table) and
// MATERIALIZED VIEW. None for the other object kinds.
enum class CommentTarget : uint8_t { None, Object, ColumnTable };

CommentTarget comment_target(const Tree& tree, uint32_t statement, uint32_t count,
                             std::string_view text) {
  // The kind words stand between COMMENT ON and the name.
  const std::span<const Child> entries = syntax::children(tree, statement).first(count);
  std::vector<std::string_view> words;
  for (const Child entry : entries) {
    if (!syntax::is_token_entry(entry)) continue;
    const TreeToken& token = tree.tokens[syntax::entry_index(entry)];
    if (syntax::is_trivia(token.kind)) continue;
    words.push_back(token_text(token, text));
  }
  if (words.size() == 3 && equals_word(words[2], "TABLE")) return CommentTarget::Object;
  if (words.size() == 3 && equals_word(words[2], "COLUMN")) return CommentTarget::ColumnTable;
  if (words.size() == 4 && equals_word(words[2], "MATERIALIZED") && equals_word(words[3], "VIEW")) {
    return CommentTarget::Object;
  }
  return CommentTarget::None;
}

// True when a trigger's ON names an event target (SCHEMA, hr.SCHEMA, DATABASE, PLUGGABLE
// DATABASE) rather than a table or view.
bool is_event_target(const Tree& tree, uint32_t name_ref, std::string_view text) {
  const std::vector<uint32_t> tokens = significant_tokens(tree, name_ref);
  if (tokens.empty()) return false;
  const TreeToken& last = tree.tokens[tokens.back()];
  if (is_word(last, text, "SCHEMA")) return true;
  return tokens.size() == 1 &&
         (is_word(last, text, "DATABASE") || is_word(last, text, "PLUGGABLE"));
}

// The names after REFERENCES in the flat tokens of an out-of-line constraint: a name
// piece, then Dot or At with the next piece, or a piece glued to a substitution variable.
void add_constraint_references(const Tree& tree, uint32_t constraint, std::string_view text,
                               std::vector<std::string>& names) {
  const std::vector<uint32_t> tokens = significant_tokens(tree, constraint);
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (!is_word(tree.tokens[tokens[i]], text, "REFERENCES")) continue;
    std::size_t at = i + 1;
    if (!is_name_start(token_kind_of(tree.tokens[tokens[at]]))) continue;
    std::string name;
    append_name_piece(name, tree.tokens[tokens[at]], text);
    ++at;
    while (at < tokens.size()) {
      const TreeToken& previous = tree.tokens[tokens[at - 1]];
      const TreeToken& current = tree.tokens[tokens[at]];
      const syntax::TokenKind previous_kind = token_kind_of(previous);
      const syntax::TokenKind kind = token_kind_of(current);
      if ((kind == syntax::TokenKind::Dot || kind == syntax::TokenKind::At) &&
          at + 1 < tokens.size() && is_name_start(token_kind_of(tree.tokens[tokens[at + 1]]))) {
        append_name_piece(name, current, text);
        append_name_piece(name, tree.tokens[tokens[at + 1]], text);
        at += 2;
        continue;
      }
      const bool glued =
          previous.end == current.start &&
          ((kind == syntax::TokenKind::Ident && previous_kind == syntax::TokenKind::Substitution) ||
           (kind == syntax::TokenKind::Substitution && is_name_start(previous_kind)));
      if (!glued) break;
      append_name_piece(name, current, text);
      ++at;
    }
    names.push_back(std::move(name));
    i = at - 1;
  }
}

// The walk's state: the names found so far and the names of the WITH queries in scope, in
// scope order and counted by name (so that a lookup does not scan every query in scope).
struct Walk {
  const Tree& tree;
  std::string_view text;
  std::vector<std::string> names;
  std::vector<std::string> with_queries;
  std::unordered_map<std::string, uint32_t> with_query_counts;

  void add(std::string name) {
    if (!name.empty()) names.push_back(std::move(name));
  }

  // A one-piece name that a WITH query in scope carries is that query, not a table.
  [[nodiscard]] bool names_with_query(uint32_t name_ref) const {
    const std::vector<uint32_t> tokens = significant_tokens(tree, name_ref);
    if (tokens.size() != 1) return false;
    const TreeToken& token = tree.tokens[tokens[0]];
    const syntax::TokenKind kind = token_kind_of(token);
    if (kind != syntax::TokenKind::Ident && kind != syntax::TokenKind::QuotedIdent) return false;
    return with_query_counts.contains(lexer::identifier_text(kind, token_text(token, text)));
  }

  // A WITH query's name comes into scope when its definition starts, so that it covers its
  // own body (a recursive query), the later WITH queries and the main query.
  void enter_with_query(uint32_t cte) {
    const std::vector<uint32_t> tokens = significant_tokens(tree, cte);
    if (tokens.empty()) return;
    const TreeToken& token = tree.tokens[tokens[0]];
    const syntax::TokenKind kind = token_kind_of(token);
    if (kind != syntax::TokenKind::Ident && kind != syntax::TokenKind::QuotedIdent) return;
    with_queries.push_back(lexer::identifier_text(kind, token_text(token, text)));
    ++with_query_counts[with_queries.back()];
  }

  // The WITH queries entered after the first `count` go out of scope.
  void leave_with_queries(std::size_t count) {
    while (with_queries.size() > count) {
      const auto entry = with_query_counts.find(with_queries.back());
      if (--entry->second == 0) with_query_counts.erase(entry);
      with_queries.pop_back();
    }
  }

  void object_name(uint32_t object_name, uint32_t parent, uint32_t position) {
    const std::optional<uint32_t> name_ref = name_ref_of(tree, object_name);
    if (!name_ref.has_value()) return;
    switch (node_kind_of(tree, parent).value_or(NodeKind::Error)) {
      case NodeKind::TruncateStmt:  // TRUNCATE [TABLE] name, not TRUNCATE CLUSTER
        if (!previous_word_is(tree, parent, position, text, "CLUSTER")) {
          add(name_text(tree, *name_ref, text));
        }
        return;
      case NodeKind::AlterTable:
        add(name_text(tree, *name_ref, text));
        return;
      case NodeKind::CreateIndex:  // the table after ON, not a cluster, not the index
        if (previous_word_is(tree, parent, position, text, "ON")) {
          add(name_text(tree, *name_ref, text));
        }
        return;
      case NodeKind::CreateSynonym:  // the target after FOR, not the synonym
        if (previous_word_is(tree, parent, position, text, "FOR")) {
          add(name_text(tree, *name_ref, text));
        }
        return;
      case NodeKind::ColumnDef:  // an inline REFERENCES
        if (previous_word_is(tree, parent, position, text, "REFERENCES")) {
          add(name_text(tree, *name_ref, text));
        }
        return;
      case NodeKind::CommentStmt:
        switch (comment_target(tree, parent, position, text)) {
          case CommentTarget::Object:
            add(name_text(tree, *name_ref, text));
            return;
          case CommentTarget::ColumnTable:
            add(name_text(tree, *name_ref, text, true));
            return;
          case CommentTarget::None:
            return;
        }
        return;
      default:
        return;
    }
  }

  // Looks at one node as the walk reaches it; `position` is its index in its parent's
  // child list.
  void visit(uint32_t node, uint32_t parent, uint32_t position) {
    switch (node_kind_of(tree, node).value_or(NodeKind::Error)) {
      case NodeKind::NameRef:
        switch (node_kind_of(tree, parent).value_or(NodeKind::Error)) {
          case NodeKind::TableRef:
            if (!names_with_query(node)) add(name_text(tree, node, text));
            return;
          case NodeKind::ErrorLogging:
            add(name_text(tree, node, text));
            return;
          case NodeKind::TriggerOn:
            if (!is_event_target(tree, node, text)) add(name_text(tree, node, text));
            return;
          default:
            return;
        }
      case NodeKind::ObjectName:
        object_name(node, parent, position);
        return;
      case NodeKind::Constraint:
        add_constraint_references(tree, node, text, names);
        return;
      case NodeKind::Cte:
        enter_with_query(node);
        return;
      default:
        return;
    }
  }
};

// True when `node` may add a name or bring a WITH query into scope: what `Walk::visit`
// acts on, judged by the node's kind and its parent's.
[[nodiscard]] bool acts_on(const Tree& tree, uint32_t node, bool& adds_name) {
  const syntax::Node& entry = tree.nodes[node];
  const std::optional<NodeKind> kind = syntax::as_node_kind(entry.kind);
  if (!kind.has_value()) return false;
  const auto parent_kind = [&] {
    const uint32_t parent = entry.parent == syntax::NO_PARENT ? node : entry.parent;
    return node_kind_of(tree, parent).value_or(NodeKind::Error);
  };
  switch (*kind) {
    case NodeKind::NameRef:
      switch (parent_kind()) {
        case NodeKind::TableRef:
        case NodeKind::ErrorLogging:
        case NodeKind::TriggerOn:
          adds_name = true;
          return true;
        default:
          return false;
      }
    case NodeKind::ObjectName:
      switch (parent_kind()) {
        case NodeKind::TruncateStmt:
        case NodeKind::AlterTable:
        case NodeKind::CreateIndex:
        case NodeKind::CreateSynonym:
        case NodeKind::ColumnDef:
        case NodeKind::CommentStmt:
          adds_name = true;
          return true;
        default:
          return false;
      }
    case NodeKind::Constraint:
      adds_name = true;
      return true;
    case NodeKind::Cte:
      return true;
    default:
      return false;
  }
}

// True for the kinds `acts_on` looks further at: a quick test for every node.
[[nodiscard]] constexpr bool may_act_on(syntax::SyntaxKind kind) {
  return kind == syntax::syntax_kind(NodeKind::NameRef) ||
         kind == syntax::syntax_kind(NodeKind::ObjectName) ||
         kind == syntax::syntax_kind(NodeKind::Constraint) ||
         kind == syntax::syntax_kind(NodeKind::Cte);
}

// The node kinds that hold every name `acts_on` says adds one: the parents of those
// NameRef and ObjectName nodes, and Constraint itself.
constexpr std::array<bool, syntax::NODE_KIND_COUNT> NAME_HOLDERS = [] {
  std::array<bool, syntax::NODE_KIND_COUNT> holders{};
  for (const NodeKind kind :
       {NodeKind::TableRef, NodeKind::ErrorLogging, NodeKind::TriggerOn, NodeKind::TruncateStmt,
        NodeKind::AlterTable, NodeKind::CreateIndex, NodeKind::CreateSynonym, NodeKind::ColumnDef,
        NodeKind::CommentStmt, NodeKind::Constraint}) {
    holders[static_cast<std::size_t>(kind)] = true;
  }
  return holders;
}();

// False when no node can add a name: no node of a NAME_HOLDERS kind. A table lookup per
// node, where asking `acts_on` of every NameRef of a long procedure would cost a look at
// its parent each.
[[nodiscard]] bool may_add_names(const Tree& tree) {
  return std::any_of(tree.nodes.begin(), tree.nodes.end(), [](const syntax::Node& node) {
    const std::size_t index = syntax::node_kind_index(node.kind);
    return index < NAME_HOLDERS.size() && NAME_HOLDERS[index];
  });
}

// One mark per node: set on the nodes the walk acts on and on all their ancestors. Empty
// when no node can add a name.
[[nodiscard]] std::vector<uint8_t> mark_table_paths(const Tree& tree) {
  if (!may_add_names(tree)) return {};
  const auto count = static_cast<uint32_t>(tree.nodes.size());
  std::vector<uint8_t> marks(count, 0);
  bool adds_any_name = false;
  for (uint32_t node = 0; node < count; ++node) {
    if (!may_act_on(tree.nodes[node].kind)) continue;
    bool adds_name = false;
    if (!acts_on(tree, node, adds_name)) continue;
    adds_any_name |= adds_name;
    for (uint32_t at = node; at != syntax::NO_PARENT && at < count && marks[at] == 0;
         at = tree.nodes[at].parent) {
      marks[at] = 1;
    }
  }
  if (!adds_any_name) return {};
  return marks;
}

}  // namespace

std::vector<std::string> referenced_tables(const syntax::Tree& tree, std::string_view text) {
  if (tree.nodes.empty()) return {};
  // Most statements hold no node that can name a table: one pass over the node list tells.
  const std::vector<uint8_t> marks = mark_table_paths(tree);
  if (marks.empty()) return {};
  Walk walk{tree, text, {}, {}, {}};
  // Pre-order in child order, so that names come in the order of their first tokens, over
  // the marked nodes only: the others hold nothing that names a table or a WITH query.
  struct QueryScope {
    uint32_t query;
    std::size_t with_queries;  // in scope when the Query node was entered
  };
  std::vector<QueryScope> queries;
  syntax::TreeWalk tree_walk(tree, tree.root, syntax::WalkTokens::None);
  while (const std::optional<syntax::WalkStep> step = tree_walk.next()) {
    if (step->event == syntax::WalkEvent::Leave) {
      // The WITH queries entered inside a Query go out of scope with it.
      if (!queries.empty() && queries.back().query == step->index) {
        walk.leave_with_queries(queries.back().with_queries);
        queries.pop_back();
      }
      continue;
    }
    if (step->depth != 0 && marks[step->index] == 0) {
      tree_walk.skip();
      continue;
    }
    walk.visit(step->index, tree_walk.open_node(1).value_or(step->index), step->position);
    if (is_node(tree, step->index, NodeKind::Query)) {
      queries.push_back(QueryScope{step->index, walk.with_queries.size()});
    }
  }
  return std::move(walk.names);
}

}  // namespace veltrane::views
