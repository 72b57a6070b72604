#include "catalog/referenced_tables.hpp"

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

namespace veltrane::catalog {

namespace {

using syntax::Child;
using syntax::NodeKind;
using syntax::Tree;
using syntax::TreeToken;

using syntax::equals_word;

std::optional<NodeKind> node_kind_of(const Tree& tree, uint32_t node) {
  return syntax::as_node_kind(tree.nodes[node].kind);
}

bool is_node(const Tree& tree, uint32_t node, NodeKind kind) {
  return node_kind_of(tree, node) == kind;
}

syntax::TokenKind token_kind_of(const TreeToken& token) {
  // Tree tokens always carry token kinds.
  return static_cast<syntax::TokenKind>(syntax::kind_number(token.kind));
}

std::string_view token_text(const TreeToken& token, std::string_view text) {
  return syntax::span_text({token.start, token.end}, text);
}

// True when the token is an unquoted word equal to `upper_word`.
bool is_word(const TreeToken& token, std::string_view text, std::string_view upper_word) {
  return token_kind_of(token) == syntax::TokenKind::Ident &&
         equals_word(token_text(token, text), upper_word);
}

// Appends one name piece in identifier normal form: "." for a Dot, "@" for an At, the
// identifier text of anything else.
void append_piece(std::string& sink, const TreeToken& token, std::string_view text) {
  switch (token_kind_of(token)) {
    case syntax::TokenKind::Dot:
      sink.push_back('.');
      return;
    case syntax::TokenKind::At:
      sink.push_back('@');
      return;
    default:
      sink += lexer::identifier_text(token_kind_of(token), token_text(token, text));
  }
}

// The significant tokens directly under a node, in order.
std::vector<uint32_t> significant_tokens(const Tree& tree, uint32_t node) {
  std::vector<uint32_t> tokens;
  for (const Child entry : syntax::children(tree, node)) {
    if (!syntax::is_token_entry(entry)) continue;
    const uint32_t token = syntax::entry_index(entry);
    if (!syntax::is_trivia(tree.tokens[token].kind)) tokens.push_back(token);
  }
  return tokens;
}

// The name a NameRef holds; with `drop_last_part`, everything before its last Dot (empty
// when it has none).
std::string name_text(const Tree& tree, uint32_t name_ref, std::string_view text,
                      bool drop_last_part = false) {
  std::vector<uint32_t> tokens = significant_tokens(tree, name_ref);
  if (drop_last_part) {
    std::size_t keep = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      if (token_kind_of(tree.tokens[tokens[i]]) == syntax::TokenKind::Dot) keep = i;
    }
    tokens.resize(keep);
  }
  std::string name;
  for (const uint32_t token : tokens) append_piece(name, tree.tokens[token], text);
  return name;
}

// The NameRef an ObjectName holds, if any.
std::optional<uint32_t> name_ref_of(const Tree& tree, uint32_t object_name) {
  return syntax::child_of_kind(tree, object_name, syntax::syntax_kind(NodeKind::NameRef));
}

// The last significant token among the first `count` entries of a node's child list.
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

bool is_name_start(syntax::TokenKind kind) {
  return kind == syntax::TokenKind::Ident || kind == syntax::TokenKind::QuotedIdent ||
         kind == syntax::TokenKind::Substitution;
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
    append_piece(name, tree.tokens[tokens[at]], text);
    ++at;
    while (at < tokens.size()) {
      const TreeToken& previous = tree.tokens[tokens[at - 1]];
      const TreeToken& current = tree.tokens[tokens[at]];
      const syntax::TokenKind previous_kind = token_kind_of(previous);
      const syntax::TokenKind kind = token_kind_of(current);
      if ((kind == syntax::TokenKind::Dot || kind == syntax::TokenKind::At) &&
          at + 1 < tokens.size() && is_name_start(token_kind_of(tree.tokens[tokens[at + 1]]))) {
        append_piece(name, current, text);
        append_piece(name, tree.tokens[tokens[at + 1]], text);
        at += 2;
        continue;
      }
      const bool glued =
          previous.end == current.start &&
          ((kind == syntax::TokenKind::Ident && previous_kind == syntax::TokenKind::Substitution) ||
           (kind == syntax::TokenKind::Substitution && is_name_start(previous_kind)));
      if (!glued) break;
      append_piece(name, current, text);
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

struct Frame {
  uint32_t node;
  uint32_t next;            // index of the next child entry to look at
  std::size_t query_scope;  // WITH query names in scope when the node was entered
};

}  // namespace

std::vector<std::string> referenced_tables(const syntax::Tree& tree, std::string_view text) {
  Walk walk{tree, text, {}, {}, {}};
  if (tree.nodes.empty()) return {};
  // Pre-order in child order, so that names come in the order of their first tokens.
  std::vector<Frame> stack;
  stack.push_back({tree.root, 0, 0});
  walk.visit(tree.root, tree.root, 0);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const std::span<const Child> entries = syntax::children(tree, frame.node);
    if (frame.next == entries.size()) {
      // The WITH queries of a query go out of scope with it.
      if (is_node(tree, frame.node, NodeKind::Query)) walk.leave_with_queries(frame.query_scope);
      stack.pop_back();
      continue;
    }
    const uint32_t position = frame.next++;
    const Child entry = entries[position];
    if (syntax::is_token_entry(entry)) continue;
    const uint32_t parent = frame.node;
    const uint32_t child = syntax::entry_index(entry);
    walk.visit(child, parent, position);
    stack.push_back({child, 0, walk.with_queries.size()});
  }
  return std::move(walk.names);
}

}  // namespace veltrane::catalog
