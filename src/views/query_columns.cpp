#include "views/query_columns.hpp"

#include <optional>
#include <utility>

#include "lexer/token_values.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree_reads.hpp"
#include "views/name_path.hpp"
#include "views/tree_words.hpp"

namespace veltrane::views {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;
using syntax::Tree;

// The query block a query's columns come from: down the first operand of each set
// operator and parenthesised query, past a WITH clause. None when the first operand is
// something else.
std::optional<uint32_t> first_query_block(const Tree& tree, uint32_t query) {
  uint32_t node = query;
  while (true) {
    const std::optional<NodeKind> kind = node_kind_of(tree, node);
    if (kind == NodeKind::QueryBlock) return node;
    if (kind != NodeKind::Query && kind != NodeKind::SetOp && kind != NodeKind::SubqueryExpr) {
      return std::nullopt;
    }
    std::optional<uint32_t> operand;
    for (const syntax::Child entry : syntax::children(tree, node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      if (is_node(tree, child, NodeKind::WithClause)) continue;
      operand = child;
      break;
    }
    if (!operand) return std::nullopt;
    node = *operand;
  }
}

// SELECT a, t.b, c AS x, d y, 1 + 1, t.* …: a name for each alias and each plain name.
void read_select_list(const Tree& tree, uint32_t query_block, std::string_view text,
                      QueryColumns& columns) {
  const std::optional<uint32_t> list =
      syntax::child_of_kind(tree, query_block, syntax::syntax_kind(NodeKind::SelectList));
  if (!list) {
    columns.complete = false;
    return;
  }
  for (const syntax::Child entry : syntax::children(tree, *list)) {
    if (syntax::is_token_entry(entry)) continue;
    const uint32_t item = syntax::entry_index(entry);
    if (is_node(tree, item, NodeKind::Lexical)) {
      columns.complete = false;
      continue;
    }
    if (!is_node(tree, item, NodeKind::SelectItem)) continue;
    if (const std::optional<uint32_t> alias =
            syntax::child_of_kind(tree, item, syntax::syntax_kind(NodeKind::Alias))) {
      std::optional<uint32_t> last_name;
      for (const uint32_t token : significant_tokens(tree, *alias)) {
        if (is_name_token(token_kind_of(tree.tokens[token]))) last_name = token;
      }
      if (last_name) {
        columns.names.push_back(normal_form(tree, *last_name, text));
      } else {
        columns.complete = false;
      }
      continue;
    }
    // The item's expression: its first child node.
    std::optional<uint32_t> expression;
    for (const syntax::Child child : syntax::children(tree, item)) {
      if (!syntax::is_token_entry(child)) {
        expression = syntax::entry_index(child);
        break;
      }
    }
    if (expression && is_node(tree, *expression, NodeKind::NameRef)) {
      NamePath path = name_path(tree, *expression, text);
      if (path.plain && !path.star && !path.link) {
        columns.names.push_back(std::move(path.parts.back().text));
        continue;
      }
    }
    columns.complete = false;
  }
}

}  // namespace

QueryColumns query_columns(const Tree& tree, uint32_t query, std::string_view text) {
  QueryColumns columns;
  const std::optional<uint32_t> block =
      is_node(tree, query, NodeKind::Query) ? first_query_block(tree, query) : std::nullopt;
  if (block) {
    read_select_list(tree, *block, text, columns);
  } else {
    columns.complete = false;
  }
  return columns;
}

std::vector<std::string> column_list_names(const Tree& tree, uint32_t column_list,
                                           std::string_view text) {
  std::vector<std::string> names;
  bool expect_name = false;
  for (const syntax::Child entry : syntax::children(tree, column_list)) {
    const uint32_t index = syntax::entry_index(entry);
    if (!syntax::is_token_entry(entry)) {
      expect_name = false;
      continue;
    }
    const TokenKind kind = token_kind_of(tree.tokens[index]);
    if (syntax::is_trivia(kind)) continue;
    if (kind == TokenKind::LParen || kind == TokenKind::Comma) {
      expect_name = true;
    } else if (expect_name && is_name_token(kind)) {
      names.push_back(normal_form(tree, index, text));
      expect_name = false;
    }
  }
  return names;
}

}  // namespace veltrane::views
