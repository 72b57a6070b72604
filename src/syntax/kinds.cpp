#include "syntax/kinds.hpp"

#include <array>
#include <charconv>

#include "syntax/stop.hpp"

namespace veltrane::syntax {

namespace {

constexpr std::array<std::string_view, TOKEN_KIND_COUNT> TOKEN_KIND_NAMES = {
#define VELTRANE_TOKEN_KIND(name) #name,
#include "syntax/kinds.def"
};

constexpr std::array<std::string_view, NODE_KIND_COUNT> NODE_KIND_NAMES = {
#define VELTRANE_NODE_KIND(name) #name,
#include "syntax/kinds.def"
};

// The name of a syntax kind that names a kind; empty for any other number.
constexpr std::string_view known_kind_name(SyntaxKind kind) {
  if (is_token_kind(kind)) return TOKEN_KIND_NAMES[token_kind_index(kind)];
  if (is_node_kind(kind)) return NODE_KIND_NAMES[node_kind_index(kind)];
  return {};
}

}  // namespace

std::string_view token_kind_name(TokenKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  if (index >= TOKEN_KIND_COUNT) stop("token kind out of range");
  return TOKEN_KIND_NAMES[index];
}

std::string_view node_kind_name(NodeKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  if (index >= NODE_KIND_COUNT) stop("node kind out of range");
  return NODE_KIND_NAMES[index];
}

void append_kind_name(std::string& sink, SyntaxKind kind) {
  const std::string_view name = known_kind_name(kind);
  if (!name.empty()) {
    sink.append(name);
    return;
  }
  // Kept unsigned 16-bit up to here, so 65535 prints as "?65535".
  std::array<char, 8> digits{};
  const auto result =
      std::to_chars(digits.data(), digits.data() + digits.size(), kind_number(kind));
  sink.push_back('?');
  sink.append(digits.data(), result.ptr);
}

std::string kind_name(SyntaxKind kind) {
  std::string name;
  append_kind_name(name, kind);
  return name;
}

}  // namespace veltrane::syntax
