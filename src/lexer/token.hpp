#pragma once
// Tokens and diagnostics: the values the lexer, the splitter, conditional
// compilation and the parser hand back to their callers.

#include <cstdint>
#include <string_view>

#include "syntax/kinds.hpp"

namespace veltrane::lexer {

using syntax::TokenKind;

// Severity of a diagnostic: written "error" and "warning" wherever diagnostics
// are printed.
enum class Severity : uint8_t { Error = 0, Warning = 1 };

// "error" or "warning".
[[nodiscard]] constexpr std::string_view severity_name(Severity severity) {
  return severity == Severity::Error ? std::string_view("error") : std::string_view("warning");
}

// One token: a byte range [start, end) of the whole source text and its kind.
// Tokens are never empty; the tokens of a lexed text cover it without gaps.
struct Token {
  uint32_t start = 0;
  uint32_t end = 0;
  TokenKind kind{};

  friend bool operator==(const Token&, const Token&) = default;
};
static_assert(sizeof(Token) == 12, "a token is 12 bytes");

// A problem found in the input. `message` always views a string literal (a
// fixed text with static storage); it is never built at run time and never
// owned, so a diagnostic may be copied freely and outlive everything.
struct Diagnostic {
  std::string_view message;
  uint32_t start = 0;
  uint32_t end = 0;
  Severity severity = Severity::Error;

  friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

}  // namespace veltrane::lexer
