#include "views/declarations.hpp"

#include <optional>

#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/unicode.hpp"
#include "views/tree_words.hpp"

namespace veltrane::views {

namespace {

using syntax::NodeKind;
using syntax::Tree;

std::optional<NodeKind> node_kind(const Tree& tree, uint32_t node) {
  if (node >= tree.nodes.size()) syntax::stop("node index out of range");
  return syntax::as_node_kind(tree.nodes[node].kind);
}

// The first direct Ident or QuotedIdent of the node; with `after_word`, the first one
// after that word.
std::optional<uint32_t> first_name_token(const Tree& tree, uint32_t node, std::string_view text,
                                         std::string_view after_word) {
  bool seen_word = after_word.empty();
  for (const syntax::Child entry : syntax::children(tree, node)) {
    if (!syntax::is_token_entry(entry)) continue;
    const uint32_t index = syntax::entry_index(entry);
    const syntax::TreeToken& token = tree.tokens[index];
    if (!seen_word) {
      seen_word = is_word(token, text, after_word);
      continue;
    }
    if (is_name_token(token_kind_of(token))) return index;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint32_t> declared_name_token(const Tree& tree, uint32_t node,
                                            std::string_view text) {
  const std::optional<NodeKind> kind = node_kind(tree, node);
  if (!kind) return std::nullopt;
  switch (*kind) {
    case NodeKind::VarDecl:
    case NodeKind::Param:
    case NodeKind::FieldDef:
    case NodeKind::AttributeDef:
    case NodeKind::ExceptionDecl:
      return first_name_token(tree, node, text, {});
    case NodeKind::CursorDecl:
      return first_name_token(tree, node, text, "CURSOR");
    case NodeKind::SubtypeDecl:
      return first_name_token(tree, node, text, "SUBTYPE");
    case NodeKind::TypeDecl:
      return first_name_token(tree, node, text, "TYPE");
    default:
      return std::nullopt;
  }
}

std::optional<uint32_t> declared_type_node(const Tree& tree, uint32_t node, uint32_t name_token) {
  if (name_token >= tree.tokens.size()) syntax::stop("token index out of range");
  syntax::ChildCursor cursor = syntax::child_cursor(tree, node);
  return syntax::next_child_after(cursor, tree, tree.tokens[name_token].start);
}

// [MEMBER | STATIC | CONSTRUCTOR ...] FUNCTION name ... | PROCEDURE name ...
SubprogramHeading subprogram_heading(const Tree& tree, uint32_t node, std::string_view text) {
  SubprogramHeading heading;
  syntax::ChildCursor cursor = syntax::child_cursor(tree, node);
  bool started = false;
  const std::optional<syntax::KindAndText> keyword =
      syntax::tokens_from_subprogram_keyword(cursor, tree, text, started);
  if (!keyword) return heading;
  heading.is_function = syntax::equals_word(keyword->text, "FUNCTION");
  const std::optional<syntax::KindAndText> name =
      syntax::tokens_from_subprogram_keyword(cursor, tree, text, started);
  if (name && is_name_token(name->kind)) {
    // The read leaves the cursor right after the name's entry.
    heading.name_token = syntax::entry_index(cursor.entries[cursor.position - 1]);
  }
  return heading;
}

bool is_definition(const Tree& tree, uint32_t node) {
  const std::optional<NodeKind> kind = node_kind(tree, node);
  if (kind == NodeKind::SubprogramDecl) {
    syntax::ChildCursor blocks = syntax::child_cursor(tree, node);
    if (!syntax::lacks_child_of_kind(blocks, tree, NodeKind::Block)) return true;
    syntax::ChildCursor call_specs = syntax::child_cursor(tree, node);
    return !syntax::lacks_child_of_kind(call_specs, tree, NodeKind::CallSpec);
  }
  if (kind == NodeKind::CursorDecl) {
    syntax::ChildCursor queries = syntax::child_cursor(tree, node);
    return !syntax::lacks_child_of_kind(queries, tree, NodeKind::Query);
  }
  return false;
}

}  // namespace veltrane::views
