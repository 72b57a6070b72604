#pragma once
// A constant set of token kinds: one bit per kind of the 48, tested in one step.

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "syntax/kinds.hpp"

namespace veltrane::parser {

class TokenSet {
 public:
  constexpr TokenSet(std::initializer_list<syntax::TokenKind> kinds) {
    for (syntax::TokenKind kind : kinds) {
      bits_ |= uint64_t{1} << static_cast<uint8_t>(kind);
    }
  }

  // False for no token (past the end of the item).
  [[nodiscard]] constexpr bool contains(std::optional<syntax::TokenKind> kind) const {
    return kind.has_value() && ((bits_ >> static_cast<uint8_t>(*kind)) & 1U) != 0;
  }

 private:
  uint64_t bits_ = 0;
};

static_assert(syntax::TOKEN_KIND_COUNT <= 64, "a token set holds one bit per token kind");

// The brackets that nest: ( ), [ ] and { }. The skips of a recovery count them together.
inline constexpr TokenSet OPEN_BRACKET_TOKENS = {
    syntax::TokenKind::LParen, syntax::TokenKind::LBracket, syntax::TokenKind::LBrace};
inline constexpr TokenSet CLOSE_BRACKET_TOKENS = {
    syntax::TokenKind::RParen, syntax::TokenKind::RBracket, syntax::TokenKind::RBrace};

}  // namespace veltrane::parser
