#include "views/name_path.hpp"

#include <optional>
#include <string>
#include <utility>

#include "lexer/token_values.hpp"
#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
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
struct PathShape {
  bool star = false;
  bool link = false;
  bool broken = false;
};

// Reads «scott . emp @ remote . world»: calls `on_part` with each part before the "@" and
// `on_link_name` with each name token after it (kind, token text, token index).
template <class OnPart, class OnLinkName>
PathShape scan_path(const Tree& tree, uint32_t name_ref, std::string_view text, OnPart on_part,
                    OnLinkName on_link_name) {
  PathShape shape;
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
        on_link_name(*kind, syntax::span_text({token.start, token.end}, text), index);
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
          on_part(*kind, syntax::span_text({token.start, token.end}, text), index);
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
  const PathShape shape = scan_path(
      tree, name_ref, text,
      [&](TokenKind kind, std::string_view token_text, uint32_t index) {
        path.parts.push_back(NamePart{lexer::identifier_text(kind, token_text), index});
      },
      [&](TokenKind kind, std::string_view token_text, uint32_t) {
        if (link_has_piece) link.push_back('.');
        lexer::append_identifier_text(link, kind, token_text);
        link_has_piece = true;
      });
  path.star = shape.star;
  if (shape.link) path.link = std::move(link);
  path.plain = !shape.broken && !path.parts.empty();
  return path;
}

NamePathView NameReader::read(const Tree& tree, uint32_t node, std::string_view text) {
  texts_.clear();
  spans_.clear();
  parts_.clear();
  NamePathView path;
  const uint32_t name_ref = path_name_ref(tree, node);
  if (name_ref == NO_NODE) return path;
  // Most names are one word alone.
  const std::span<const syntax::Child> entries = syntax::children(tree, name_ref);
  if (entries.size() == 1 && syntax::is_token_entry(entries[0])) {
    const uint32_t index = syntax::entry_index(entries[0]);
    const syntax::TreeToken& token = tree.tokens[index];
    if (is_name_token(token_kind_of(token))) {
      lexer::append_identifier_text(texts_, token_kind_of(token),
                                    syntax::span_text({token.start, token.end}, text));
      parts_.push_back(NamePartView{texts_, index});
      path.parts = parts_;
      path.plain = true;
      return path;
    }
  }
  const PathShape shape = scan_path(
      tree, name_ref, text,
      [&](TokenKind kind, std::string_view token_text, uint32_t index) {
        const auto start = static_cast<uint32_t>(texts_.size());
        lexer::append_identifier_text(texts_, kind, token_text);
        spans_.push_back(PartSpan{start, static_cast<uint32_t>(texts_.size()), index});
      },
      [](TokenKind, std::string_view, uint32_t) {});
  // The texts are read in full before any view into them is taken.
  const std::string_view texts = texts_;
  for (const PartSpan& span : spans_) {
    parts_.push_back(NamePartView{texts.substr(span.start, span.end - span.start), span.token});
  }
  path.parts = parts_;
  path.star = shape.star;
  path.link = shape.link;
  path.plain = !shape.broken && !parts_.empty();
  return path;
}

std::span<const NamePartView> NameReader::read_tokens(const Tree& tree,
                                                      std::span<const uint32_t> tokens,
                                                      std::string_view text) {
  texts_.clear();
  spans_.clear();
  parts_.clear();
  for (const uint32_t index : tokens) {
    const syntax::TreeToken& token = tree.tokens[index];
    const auto start = static_cast<uint32_t>(texts_.size());
    lexer::append_identifier_text(texts_, token_kind_of(token),
                                  syntax::span_text({token.start, token.end}, text));
    spans_.push_back(PartSpan{start, static_cast<uint32_t>(texts_.size()), index});
  }
  const std::string_view texts = texts_;
  for (const PartSpan& span : spans_) {
    parts_.push_back(NamePartView{texts.substr(span.start, span.end - span.start), span.token});
  }
  return parts_;
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
