#pragma once
// Tokens: the values the lexer hands to the splitter, conditional compilation
// and the parser.

#include <cstdint>
#include <string_view>

#include "syntax/diagnostic.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::lexer {

using syntax::Diagnostic;
using syntax::Severity;
using syntax::severity_name;
using syntax::TokenKind;

// One token: a byte range [start, end) of the whole source text and its kind.
// Tokens are never empty; the tokens of a lexed text cover it without gaps.
struct Token {
  uint32_t start = 0;
  uint32_t end = 0;
  TokenKind kind{};

  friend bool operator==(const Token&, const Token&) = default;
};
static_assert(sizeof(Token) == 12, "a token is 12 bytes");

}  // namespace veltrane::lexer
