#pragma once

// Syntax kinds: the 48 token kinds, the 204 node kinds and the 16-bit number that a tree
// stores for either. Token kinds and node kinds are separate types (both have a `Star`);
// a `SyntaxKind` is made from one of them only through `syntax_kind`.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::syntax {

enum class TokenKind : uint8_t {
#define VELTRANE_TOKEN_KIND(name) name,
#include "syntax/kinds.def"
};

enum class NodeKind : uint8_t {
#define VELTRANE_NODE_KIND(name) name,
#include "syntax/kinds.def"
};

// The number a tree keeps for a token or a node: 0-47 token kinds, 1000-1203 node kinds.
// Every other number names no kind. No enumerators: build one with `syntax_kind`.
enum class SyntaxKind : uint16_t {};

inline constexpr std::size_t TOKEN_KIND_COUNT = 0
#define VELTRANE_TOKEN_KIND(name) +1
#include "syntax/kinds.def"
    ;

inline constexpr std::size_t NODE_KIND_COUNT = 0
#define VELTRANE_NODE_KIND(name) +1
#include "syntax/kinds.def"
    ;

static_assert(TOKEN_KIND_COUNT == 48, "there are 48 token kinds");
static_assert(NODE_KIND_COUNT == 204, "there are 204 node kinds");

// Syntax kind of node kind 0.
inline constexpr uint16_t NODE_KIND_BASE = 1000;

// The last trivia token kind: kinds 0 through this one are trivia.
inline constexpr TokenKind LAST_TRIVIA_KIND = TokenKind::Inactive;

[[nodiscard]] constexpr SyntaxKind syntax_kind(TokenKind kind) {
  return static_cast<SyntaxKind>(static_cast<uint16_t>(kind));
}

[[nodiscard]] constexpr SyntaxKind syntax_kind(NodeKind kind) {
  return static_cast<SyntaxKind>(
      static_cast<uint16_t>(NODE_KIND_BASE + static_cast<uint16_t>(kind)));
}

// A syntax kind from a raw number, which need not name a kind (kind_name prints "?N").
[[nodiscard]] constexpr SyntaxKind syntax_kind_from_number(uint16_t number) {
  return static_cast<SyntaxKind>(number);
}

[[nodiscard]] constexpr uint16_t kind_number(SyntaxKind kind) {
  return static_cast<uint16_t>(kind);
}

// The place of a token kind in a table of TOKEN_KIND_COUNT entries (its number); any
// number that names no token kind gives TOKEN_KIND_COUNT or more. For loops that index a
// table by kind without asking first.
[[nodiscard]] constexpr std::size_t token_kind_index(SyntaxKind kind) { return kind_number(kind); }

// The place of a node kind in a table of NODE_KIND_COUNT entries (its number less
// NODE_KIND_BASE); token kinds and numbers that name no kind give NODE_KIND_COUNT or more.
[[nodiscard]] constexpr std::size_t node_kind_index(SyntaxKind kind) {
  return static_cast<uint16_t>(kind_number(kind) - NODE_KIND_BASE);
}

static_assert(node_kind_index(syntax_kind_from_number(0)) >= NODE_KIND_COUNT);
static_assert(node_kind_index(syntax_kind_from_number(NODE_KIND_BASE - 1)) >= NODE_KIND_COUNT);

[[nodiscard]] constexpr bool is_token_kind(SyntaxKind kind) {
  return token_kind_index(kind) < TOKEN_KIND_COUNT;
}

[[nodiscard]] constexpr bool is_node_kind(SyntaxKind kind) {
  return node_kind_index(kind) < NODE_KIND_COUNT;
}

// The token kind a syntax kind stands for; none for node kinds and unused numbers.
[[nodiscard]] constexpr std::optional<TokenKind> as_token_kind(SyntaxKind kind) {
  if (!is_token_kind(kind)) return std::nullopt;
  return static_cast<TokenKind>(token_kind_index(kind));
}

// The node kind a syntax kind stands for; none for token kinds and unused numbers.
[[nodiscard]] constexpr std::optional<NodeKind> as_node_kind(SyntaxKind kind) {
  if (!is_node_kind(kind)) return std::nullopt;
  return static_cast<NodeKind>(node_kind_index(kind));
}

[[nodiscard]] constexpr bool is_trivia(TokenKind kind) {
  return static_cast<uint8_t>(kind) <= static_cast<uint8_t>(LAST_TRIVIA_KIND);
}

// True for the trivia token kinds 0-4 only.
[[nodiscard]] constexpr bool is_trivia(SyntaxKind kind) {
  return kind_number(kind) <= static_cast<uint16_t>(LAST_TRIVIA_KIND);
}

// The bare name of a token kind ("Whitespace" ... "Unknown"). A value outside 0-47 is a
// broken invariant and stops.
[[nodiscard]] std::string_view token_kind_name(TokenKind kind);

// The bare name of a node kind ("SelectStmt" ... "Lexical"). A value outside 0-202 is a
// broken invariant and stops.
[[nodiscard]] std::string_view node_kind_name(NodeKind kind);

// The name of any syntax kind: the token or node kind's name, or "?" and the number in
// decimal for a number that names no kind ("?48", "?65535").
[[nodiscard]] std::string kind_name(SyntaxKind kind);

// Appends what kind_name gives to `sink`, without a temporary text for named kinds.
void append_kind_name(std::string& sink, SyntaxKind kind);

}  // namespace veltrane::syntax
