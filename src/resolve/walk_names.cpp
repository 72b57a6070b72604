#include "resolve/walk_names.hpp"

#include "lexer/token_values.hpp"
#include "syntax/kinds.hpp"
#include "views/name_path.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve {

void WalkNames::reserve(std::size_t count) {
  names_.reserve(count);
  spellings_.reserve(count);
  name_of_spelling_.reserve(count);
  // The normal form being made and a name's parts, which otherwise grow in small steps.
  normal_.reserve(64);
  part_tokens_.reserve(8);
  parts_.reserve(8);
}

uint32_t WalkNames::add_name(const syntax::TreeToken& token, std::string_view text) {
  normal_.clear();
  lexer::append_identifier_text(normal_, views::token_kind_of(token), written(token, text));
  return names_.intern(normal_);
}

uint32_t WalkNames::add_spelling(std::string_view spelling, uint32_t hash) {
  // The normal form of an unquoted word depends on its spelling alone.
  normal_.clear();
  lexer::append_identifier_text(normal_, syntax::TokenKind::Ident, spelling);
  const uint32_t name = names_.intern(normal_);
  spellings_.intern_lasting(spelling, hash);
  name_of_spelling_.push_back(name);
  return name;
}

NumberedPath WalkNames::read_other_path(const syntax::Tree& tree, uint32_t node,
                                        std::string_view text) {
  const views::PathShape shape = views::name_part_tokens(tree, node, part_tokens_);
  return NumberedPath{read_tokens(tree, part_tokens_, text), shape.star, shape.link, shape.plain};
}

std::span<const NumberedPart> WalkNames::read_tokens(const syntax::Tree& tree,
                                                     std::span<const uint32_t> tokens,
                                                     std::string_view text) {
  parts_.clear();
  for (const uint32_t token : tokens) {
    const uint32_t name = of_token(tree, token, text);
    parts_.push_back(NumberedPart{names_.text(name), token, name});
  }
  return parts_;
}

}  // namespace veltrane::resolve
