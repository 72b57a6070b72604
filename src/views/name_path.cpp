#include "views/name_path.hpp"

#include <optional>
#include <string>
#include <utility>

#include "lexer/token_values.hpp"
#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree_reads.hpp"

namespace veltrane::views {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;
using syntax::Tree;

bool is_name_token(TokenKind kind) {
  return kind == TokenKind::Ident || kind == TokenKind::QuotedIdent;
}

// The NameRef that holds the path: the node itself, or an ObjectName's NameRef child.
std::optional<uint32_t> name_ref_of(const Tree& tree, uint32_t node) {
  if (node >= tree.nodes.size()) syntax::stop("node index out of range");
  const std::optional<NodeKind> kind = syntax::as_node_kind(tree.nodes[node].kind);
  if (kind == NodeKind::NameRef) return node;
  if (kind == NodeKind::ObjectName) {
    return syntax::child_of_kind(tree, node, syntax::syntax_kind(NodeKind::NameRef));
  }
  return std::nullopt;
}

}  // namespace

// Reads «scott . emp @ remote . world»: parts before the "@", the link after it.
NamePath name_path(const Tree& tree, uint32_t node, std::string_view text) {
  NamePath path;
  const std::optional<uint32_t> name_ref = name_ref_of(tree, node);
  if (!name_ref) return path;
  bool broken = false;
  bool before_at = true;
  // The kind of the previous significant token before the "@"; none at the start.
  std::optional<TokenKind> previous;
  std::string link;
  bool link_has_piece = false;
  for (const syntax::Child entry : syntax::children(tree, *name_ref)) {
    const uint32_t index = syntax::entry_index(entry);
    if (!syntax::is_token_entry(entry)) {
      if (before_at && tree.nodes[index].kind == syntax::syntax_kind(NodeKind::Lexical)) {
        broken = true;
      }
      continue;
    }
    const syntax::TreeToken& token = tree.tokens[index];
    const std::optional<TokenKind> kind = syntax::as_token_kind(token.kind);
    if (!kind || syntax::is_trivia(*kind)) continue;
    const std::string_view token_text = syntax::span_text({token.start, token.end}, text);
    if (!before_at) {
      if (!is_name_token(*kind)) continue;
      if (link_has_piece) link.push_back('.');
      link += lexer::identifier_text(*kind, token_text);
      link_has_piece = true;
      continue;
    }
    switch (*kind) {
      case TokenKind::At:
        before_at = false;
        path.link = std::string();
        break;
      case TokenKind::Ident:
      case TokenKind::QuotedIdent:
        if (!previous || previous == TokenKind::Dot) {
          path.parts.push_back(NamePart{lexer::identifier_text(*kind, token_text), index});
        } else if (is_name_token(*previous)) {
          broken = true;
        }
        break;
      case TokenKind::Star:
        if (previous == TokenKind::Dot) path.star = true;
        break;
      case TokenKind::Substitution:
        broken = true;
        break;
      default:
        break;
    }
    if (before_at) previous = *kind;
  }
  if (path.link) path.link = std::move(link);
  path.plain = !broken && !path.parts.empty();
  return path;
}

std::optional<QualifiedName> object_name(const Tree& tree, uint32_t node, std::string_view text) {
  NamePath path = name_path(tree, node, text);
  if (!path.plain || path.star || path.link) return std::nullopt;
  if (path.parts.size() == 1) {
    return QualifiedName{std::nullopt, std::move(path.parts[0].text), path.parts[0].token};
  }
  if (path.parts.size() == 2) {
    return QualifiedName{std::move(path.parts[0].text), std::move(path.parts[1].text),
                         path.parts[1].token};
  }
  return std::nullopt;
}

}  // namespace veltrane::views
