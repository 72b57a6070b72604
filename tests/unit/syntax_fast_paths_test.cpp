// The shortcuts of the hot reads: the UTF-8 check that takes 32 or 8 ASCII bytes at a time,
// and node_span, which looks for the first and the last token from each end of the node
// (and must pass over nodes without tokens at either edge).

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "syntax/kinds.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/span.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"

namespace veltrane::syntax {
namespace {

// Every placement of a sequence in a run of ASCII: before, across and after each aligned
// group of eight bytes, and at the very end.
TEST(FastPathsTest, Utf8CheckAtEveryOffset) {
  struct Case {
    const char* name;
    std::string_view sequence;
    bool valid;
  };
  const Case cases[] = {
      {"two-byte character", "\xC3\xA9", true},
      {"four-byte character", "\xF0\x9F\x98\x80", true},
      {"stray continuation byte", "\x80", false},
      {"FF", "\xFF", false},
      {"truncated three-byte sequence", "\xE2\x82", false},
      {"surrogate", "\xED\xA0\x80", false},
  };
  // 24 bytes take the eight-byte steps only; 72 also the thirty-two-byte ones.
  for (const std::size_t length : {std::size_t{24}, std::size_t{72}}) {
    for (const Case& c : cases) {
      for (std::size_t offset = 0; offset + c.sequence.size() <= length; ++offset) {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(offset) + " of " +
                     std::to_string(length));
        std::string text(length - c.sequence.size(), 'a');
        text.insert(offset, c.sequence);
        EXPECT_EQ(is_valid_utf8(text), c.valid);
      }
    }
  }
  EXPECT_TRUE(is_valid_utf8(std::string(64, 'x')));
  EXPECT_FALSE(is_valid_utf8(std::string(64, 'x') + "\xC3"));
}

// One tree per case: `shape` lists the root's entries, "t" a token (one byte each, "a",
// "b", ...), "e" an empty node, "E" a node holding only an empty node, "(" and ")" a node
// around what stands between. The expected span is that of the root.
Tree build(std::string_view shape) {
  TreeBuilder builder;
  builder.start_node(syntax_kind(NodeKind::SelectStmt));
  uint32_t offset = 0;
  for (const char c : shape) {
    switch (c) {
      case 't':
        builder.token(syntax_kind(TokenKind::Ident), offset, offset + 1);
        ++offset;
        break;
      case 'e':
        builder.start_node(syntax_kind(NodeKind::Alias));
        builder.finish_node();
        break;
      case 'E':
        builder.start_node(syntax_kind(NodeKind::Query));
        builder.start_node(syntax_kind(NodeKind::QueryBlock));
        builder.finish_node();
        builder.finish_node();
        break;
      case '(':
        builder.start_node(syntax_kind(NodeKind::ParenExpr));
        break;
      case ')':
        builder.finish_node();
        break;
      default:
        break;
    }
  }
  builder.finish_node();
  return std::move(builder).finish();
}

TEST(FastPathsTest, NodeSpanPassesOverEmptyNodesAtBothEdges) {
  struct Case {
    const char* shape;
    std::optional<Span> span;
  };
  const Case cases[] = {
      {"", std::nullopt},
      {"eE", std::nullopt},
      {"(e(E))", std::nullopt},
      {"t", Span{0, 1}},
      {"ttt", Span{0, 3}},
      {"etE", Span{0, 1}},
      {"Ette", Span{0, 2}},
      {"(e(t)E)e", Span{0, 1}},
      {"((t)(e))(E)", Span{0, 1}},
      {"e(E(t)t(E))(e)E", Span{0, 2}},
      {"(((t)))t(((t)e)E)", Span{0, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shape);
    const Tree tree = build(c.shape);
    EXPECT_EQ(node_span(tree, tree.root), c.span);
  }
}

}  // namespace
}  // namespace veltrane::syntax
