#pragma once

// Small reads of a finished tree's tokens shared by the views, the catalog and name
// resolution: kinds, texts, word tests, name pieces and texts, and the significant tokens
// of one node's child list. `text` is always the whole source text the tree's offsets
// point into. Token and node indexes must belong to the tree.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"

namespace veltrane::views {

// The node kind of a node; none for a number that names no node kind.
[[nodiscard]] std::optional<syntax::NodeKind> node_kind_of(const syntax::Tree& tree, uint32_t node);

[[nodiscard]] bool is_node(const syntax::Tree& tree, uint32_t node, syntax::NodeKind kind);

// The token kind a tree token carries (tree tokens always carry token kinds).
[[nodiscard]] inline syntax::TokenKind token_kind_of(const syntax::TreeToken& token) {
  return static_cast<syntax::TokenKind>(syntax::token_kind_index(token.kind));
}

[[nodiscard]] std::string_view token_text(const syntax::TreeToken& token, std::string_view text);
[[nodiscard]] std::string_view token_text(const syntax::Tree& tree, uint32_t token,
                                          std::string_view text);

// True when the token is an unquoted word equal to `upper_word` (ASCII case folded).
[[nodiscard]] bool is_word(const syntax::TreeToken& token, std::string_view text,
                           std::string_view upper_word);
[[nodiscard]] bool is_word(const syntax::Tree& tree, uint32_t token, std::string_view text,
                           std::string_view upper_word);

// True for the kinds a name piece starts with: Ident, QuotedIdent and Substitution.
[[nodiscard]] constexpr bool is_name_start(syntax::TokenKind kind) {
  return kind == syntax::TokenKind::Ident || kind == syntax::TokenKind::QuotedIdent ||
         kind == syntax::TokenKind::Substitution;
}

// True for the kinds that are a name by themselves: Ident and QuotedIdent.
[[nodiscard]] constexpr bool is_name_token(syntax::TokenKind kind) {
  return kind == syntax::TokenKind::Ident || kind == syntax::TokenKind::QuotedIdent;
}

// The identifier normal form of a token's text ("emp" gives "EMP", "\"x\"" gives "x").
[[nodiscard]] std::string normal_form(const syntax::Tree& tree, uint32_t token,
                                      std::string_view text);

// Appends one name piece in identifier normal form: "." for a Dot, "@" for an At, the
// identifier text of anything else.
void append_name_piece(std::string& sink, const syntax::TreeToken& token, std::string_view text);

// The significant (non-trivia) tokens directly under a node, in order.
[[nodiscard]] std::vector<uint32_t> significant_tokens(const syntax::Tree& tree, uint32_t node);

// The name a NameRef holds, its pieces in identifier normal form ("hr.emp" gives
// "HR.EMP"); with `drop_last_part`, everything before its last Dot (empty when it has
// none).
[[nodiscard]] std::string name_text(const syntax::Tree& tree, uint32_t name_ref,
                                    std::string_view text, bool drop_last_part = false);

// The NameRef an ObjectName holds, if any.
[[nodiscard]] std::optional<uint32_t> name_ref_of(const syntax::Tree& tree, uint32_t object_name);

// The last significant token among the first `count` entries of a node's child list: the
// token before the entry at position `count`.
[[nodiscard]] std::optional<uint32_t> previous_token(const syntax::Tree& tree, uint32_t node,
                                                     uint32_t count);

// True when previous_token is the unquoted word `upper_word`.
[[nodiscard]] bool previous_word_is(const syntax::Tree& tree, uint32_t node, uint32_t count,
                                    std::string_view text, std::string_view upper_word);

}  // namespace veltrane::views
