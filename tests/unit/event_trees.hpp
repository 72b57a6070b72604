#pragma once
// Test support: small syntax trees written as a list of events (open a node, a token,
// close the node), the token texts glued together into the source text.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"

namespace veltrane::test_support {

struct Event {
  enum class Type { Open, Token, Close } type;
  syntax::SyntaxKind kind;
  std::string_view text;
};

inline Event open(syntax::NodeKind kind) {
  return {Event::Type::Open, syntax::syntax_kind(kind), {}};
}
inline Event token(syntax::TokenKind kind, std::string_view text) {
  return {Event::Type::Token, syntax::syntax_kind(kind), text};
}
inline Event close() { return {Event::Type::Close, syntax::SyntaxKind{}, {}}; }

struct Built {
  std::string text;
  syntax::Tree tree;
};

// The tree the events describe and its source text.
inline Built build(std::initializer_list<Event> events) {
  std::string text;
  syntax::TreeBuilder builder;
  for (const Event& event : events) {
    switch (event.type) {
      case Event::Type::Open:
        builder.start_node(event.kind);
        break;
      case Event::Type::Token: {
        const auto start = static_cast<uint32_t>(text.size());
        text += event.text;
        builder.token(event.kind, start, static_cast<uint32_t>(text.size()));
        break;
      }
      case Event::Type::Close:
        builder.finish_node();
        break;
    }
  }
  return Built{std::move(text), std::move(builder).finish()};
}

}  // namespace veltrane::test_support
