#include "views/name_path.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "lexer/token_values.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree_reads.hpp"
#include "views/tree_words.hpp"

namespace veltrane::views {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;
using syntax::Tree;

// Stands for no node where a node index is returned.
constexpr uint32_t NO_NODE = 0xFFFFFFFFu;

// The NameRef that holds the path: the node itself, or an ObjectName's NameRef child;
// NO_NODE for anything else. A plain index rather than an optional: every name read asks
// this first, and a value of mixed-size parts would be stored and read back at once.
uint32_t path_name_ref(const Tree& tree, uint32_t node) {
  if (node >= tree.nodes.size()) syntax::stop("node index out of range");
  const syntax::SyntaxKind kind = tree.nodes[node].kind;
  if (kind == syntax::syntax_kind(NodeKind::NameRef)) return node;
  if (kind == syntax::syntax_kind(NodeKind::ObjectName)) {
    return syntax::child_of_kind(tree, node, syntax::syntax_kind(NodeKind::NameRef))
        .value_or(NO_NODE);
  }
  return NO_NODE;
}

// What a scan of a name finds besides its parts.
struct ScanShape {
  bool star = false;
  bool link = false;
  bool broken = false;
};

// Reads «scott . emp @ remote . world»: calls `on_part` with each part before the "@" and
// `on_link_name` with each name token after it (kind, token index).
template <class OnPart, class OnLinkName>
ScanShape scan_path(const Tree& tree, uint32_t name_ref, OnPart on_part, OnLinkName on_link_name) {
  ScanShape shape;
  bool before_at = true;
  // The kind of the previous significant token before the "@"; none at the start.
  std::optional<TokenKind> previous;
  for (const syntax::Child entry : syntax::children(tree, name_ref)) {
    const uint32_t index = syntax::entry_index(entry);
    if (!syntax::is_token_entry(entry)) {
      if (before_at && tree.nodes[index].kind == syntax::syntax_kind(NodeKind::Lexical)) {
        shape.broken = true;
      }
      continue;
    }
    const syntax::TreeToken& token = tree.tokens[index];
    const std::optional<TokenKind> kind = syntax::as_token_kind(token.kind);
    if (!kind || syntax::is_trivia(*kind)) continue;
    if (!before_at) {
      if (is_name_token(*kind)) {
        on_link_name(*kind, index);
      }
      continue;
    }
    switch (*kind) {
      case TokenKind::At:
        before_at = false;
        shape.link = true;
        break;
      case TokenKind::Ident:
      case TokenKind::QuotedIdent:
        if (!previous || previous == TokenKind::Dot) {
          on_part(*kind, index);
        } else if (is_name_token(*previous)) {
          shape.broken = true;
        }
        break;
      case TokenKind::Star:
        if (previous == TokenKind::Dot) shape.star = true;
        break;
      case TokenKind::Substitution:
        shape.broken = true;
        break;
      default:
        break;
    }
    if (before_at) previous = *kind;
  }
  return shape;
}

}  // namespace

NamePath name_path(const Tree& tree, uint32_t node, std::string_view text) {
  NamePath path;
  const uint32_t name_ref = path_name_ref(tree, node);
  if (name_ref == NO_NODE) return path;
  std::string link;
  bool link_has_piece = false;
  const ScanShape shape = scan_path(
      tree, name_ref,
      [&](TokenKind kind, uint32_t index) {
        path.parts.push_back(
            NamePart{lexer::identifier_text(kind, token_text(tree, index, text)), index});
      },
      [&](TokenKind kind, uint32_t index) {
        if (link_has_piece) link.push_back('.');
        lexer::append_identifier_text(link, kind, token_text(tree, index, text));
        link_has_piece = true;
      });
  path.star = shape.star;
  if (shape.link) path.link = std::move(link);
  path.plain = !shape.broken && !path.parts.empty();
  return path;
}

PathShape name_part_tokens(const Tree& tree, uint32_t node, std::vector<uint32_t>& part_tokens) {
  part_tokens.clear();
  PathShape path;
  const uint32_t name_ref = path_name_ref(tree, node);
  if (name_ref == NO_NODE) return path;
  // Most names are words joined by dots and nothing else, «a» or «a.b»: the words at even
  // places, dots at odd ones.
  const std::span<const syntax::Child> entries = syntax::children(tree, name_ref);
  bool words_and_dots = entries.size() % 2 == 1;
  for (std::size_t place = 0; words_and_dots && place < entries.size(); ++place) {
    const syntax::Child entry = entries[place];
    if (!syntax::is_token_entry(entry)) {
      words_and_dots = false;
      break;
    }
    const TokenKind kind = token_kind_of(tree.tokens[syntax::entry_index(entry)]);
    words_and_dots = place % 2 == 0 ? is_name_token(kind) : kind == TokenKind::Dot;
  }
  if (words_and_dots) {
    for (std::size_t place = 0; place < entries.size(); place += 2) {
      part_tokens.push_back(syntax::entry_index(entries[place]));
    }
    path.plain = true;
    return path;
  }
  const ScanShape shape = scan_path(
      tree, name_ref, [&](TokenKind, uint32_t index) { part_tokens.push_back(index); },
      [](TokenKind, uint32_t) {});
  path.star = shape.star;
  path.link = shape.link;
  path.plain = !shape.broken && !part_tokens.empty();
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
