#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "event_trees.hpp"
#include "small_stack.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"

namespace veltrane::syntax {
namespace {

using test_support::run_on_small_stack;

// Trees described by their events (event_trees.hpp).
using test_support::build;
using test_support::Built;
using test_support::close;
using test_support::open;
using test_support::token;

std::vector<uint32_t> all_tokens(const Tree& tree, uint32_t node) {
  std::vector<uint32_t> tokens;
  for (const uint32_t index : descendant_tokens(tree, node)) tokens.push_back(index);
  return tokens;
}

std::vector<std::string> node_names(const Tree& tree, uint32_t node) {
  std::vector<std::string> names;
  for (const uint32_t index : descendant_nodes(tree, node)) {
    names.push_back(kind_name(tree.nodes[index].kind));
  }
  return names;
}

// `a + f(1)` in a select statement, with a leading comment and blanks.
Built expression_tree() {
  return build({
      open(NodeKind::SelectStmt),
      token(TokenKind::LineComment, "-- c\n"),
      open(NodeKind::BinaryExpr),
      open(NodeKind::NameRef),
      token(TokenKind::Ident, "a"),
      close(),
      token(TokenKind::Whitespace, " "),
      token(TokenKind::Plus, "+"),
      token(TokenKind::Whitespace, " "),
      open(NodeKind::Call),
      open(NodeKind::NameRef),
      token(TokenKind::Ident, "f"),
      close(),
      open(NodeKind::ArgList),
      token(TokenKind::LParen, "("),
      open(NodeKind::Arg),
      open(NodeKind::Literal),
      token(TokenKind::Number, "1"),
      close(),
      close(),
      token(TokenKind::RParen, ")"),
      close(),
      close(),
      close(),
      token(TokenKind::Whitespace, " "),
      close(),
  });
}

TEST(TreeReadsTest, DescendantTokensYieldEveryTokenInSourceOrder) {
  const Built built = expression_tree();
  const Tree& tree = built.tree;
  std::vector<uint32_t> expected(tree.tokens.size());
  for (uint32_t i = 0; i < expected.size(); ++i) expected[i] = i;
  EXPECT_EQ(all_tokens(tree, tree.root), expected);

  DescendantTokens walk = descendant_tokens(tree, tree.root);
  std::vector<uint32_t> stepped;
  while (const std::optional<uint32_t> index = next_descendant_token(walk))
    stepped.push_back(*index);
  EXPECT_EQ(stepped, expected);
  EXPECT_FALSE(next_descendant_token(walk).has_value());
}

TEST(TreeReadsTest, DescendantNodesArePreOrder) {
  const Built built = expression_tree();
  const Tree& tree = built.tree;
  const auto binary = child_of_kind(tree, tree.root, syntax_kind(NodeKind::BinaryExpr));
  ASSERT_TRUE(binary.has_value());
  EXPECT_EQ(node_names(tree, *binary),
            (std::vector<std::string>{"BinaryExpr", "NameRef", "Call", "NameRef", "ArgList", "Arg",
                                      "Literal"}));
  EXPECT_EQ(node_names(tree, tree.root).front(), "SelectStmt");
}

TEST(TreeReadsTest, ChildOfKindMatchesNodeEntriesOnly) {
  const Built built = build({
      open(NodeKind::SelectStmt),
      token(TokenKind::Ident, "x"),
      open(NodeKind::Star),
      token(TokenKind::Star, "*"),
      close(),
      token(TokenKind::Star, "*"),
      open(NodeKind::Star),
      close(),
      close(),
  });
  const Tree& tree = built.tree;
  struct Case {
    std::string_view name;
    SyntaxKind kind;
    std::optional<uint32_t> expected;
  };
  const Case cases[] = {
      {"token kind Ident", syntax_kind(TokenKind::Ident), std::nullopt},
      {"token kind Star", syntax_kind(TokenKind::Star), std::nullopt},
      {"node kind Star, first of two", syntax_kind(NodeKind::Star), 0},
      {"absent node kind", syntax_kind(NodeKind::Query), std::nullopt},
      {"number naming no kind", syntax_kind_from_number(48), std::nullopt},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(child_of_kind(tree, tree.root, test_case.kind), test_case.expected);
  }
}

TEST(TreeReadsTest, NodeSpanAndText) {
  const Built built = build({
      open(NodeKind::SelectStmt),
      token(TokenKind::BlockComment, "/* lead */"),
      open(NodeKind::NameRef),
      token(TokenKind::Ident, "abc"),
      close(),
      open(NodeKind::Alias),  // no tokens
      close(),
      open(NodeKind::Query),  // only a node without tokens
      open(NodeKind::QueryBlock),
      close(),
      close(),
      token(TokenKind::Whitespace, "\n"),
      close(),
  });
  const Tree& tree = built.tree;
  const std::string_view text = built.text;
  struct Case {
    std::string_view name;
    uint32_t node;
    std::optional<Span> span;
    std::string_view text;
  };
  const Case cases[] = {
      {"root starts at the leading comment and ends after the trailing blank", tree.root,
       Span{0, 14}, "/* lead */abc\n"},
      {"name", 0, Span{10, 13}, "abc"},
      {"node without entries", 1, std::nullopt, ""},
      {"node with only empty nodes", 3, std::nullopt, ""},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(node_span(tree, test_case.node), test_case.span);
    EXPECT_EQ(node_text(tree, test_case.node, text), test_case.text);
  }
}

TEST(TreeReadsTest, PresentAndNotQuery) {
  const Built built = build({open(NodeKind::SelectStmt), open(NodeKind::Query), close(), close()});
  EXPECT_FALSE(present_and_not_query(built.tree, std::nullopt));
  EXPECT_FALSE(present_and_not_query(built.tree, 0));
  EXPECT_TRUE(present_and_not_query(built.tree, built.tree.root));
}

// Entries of the root: NameRef, Ident, Alias, NameRef, Whitespace, Alias (empty).
Built cursor_tree() {
  return build({
      open(NodeKind::SelectStmt),
      open(NodeKind::NameRef),
      token(TokenKind::Ident, "a"),
      close(),
      token(TokenKind::Ident, "b"),
      open(NodeKind::Alias),
      token(TokenKind::Ident, "c"),
      close(),
      open(NodeKind::NameRef),
      token(TokenKind::Ident, "d"),
      close(),
      token(TokenKind::Whitespace, " "),
      open(NodeKind::Alias),
      close(),
      close(),
  });
}

TEST(TreeReadsTest, NextChildOfKindAdvancesTheSharedCursor) {
  const Built built = cursor_tree();
  const Tree& tree = built.tree;
  ChildCursor cursor = child_cursor(tree, tree.root);
  EXPECT_EQ(next_child_of_kind(cursor, tree, NodeKind::Alias), 1u);
  EXPECT_EQ(cursor.position, 3u);
  // The cursor is shared: the first NameRef lies behind it now.
  EXPECT_EQ(next_child_of_kind(cursor, tree, NodeKind::NameRef), 2u);
  EXPECT_EQ(cursor.position, 4u);
  EXPECT_FALSE(next_child_of_kind(cursor, tree, NodeKind::NameRef).has_value());
  EXPECT_TRUE(cursor.at_end());
}

TEST(TreeReadsTest, LacksChildOfKindConsumesTheCursor) {
  const Built built = cursor_tree();
  const Tree& tree = built.tree;

  ChildCursor found = child_cursor(tree, tree.root);
  EXPECT_FALSE(lacks_child_of_kind(found, tree, NodeKind::Alias));
  EXPECT_EQ(found.position, 3u);  // just past the first Alias
  EXPECT_FALSE(lacks_child_of_kind(found, tree, NodeKind::Alias));
  EXPECT_TRUE(found.at_end());  // the empty Alias was the last entry
  EXPECT_TRUE(lacks_child_of_kind(found, tree, NodeKind::Alias));

  ChildCursor missing = child_cursor(tree, tree.root);
  EXPECT_TRUE(lacks_child_of_kind(missing, tree, NodeKind::Query));
  EXPECT_TRUE(missing.at_end());
}

TEST(TreeReadsTest, NextChildAfterIsStrictAndSkipsTokensAndEmptyNodes) {
  const Built built = cursor_tree();  // text "abcd ": a at 0, c at 2, d at 3
  const Tree& tree = built.tree;
  struct Case {
    std::string_view name;
    uint32_t offset;
    std::vector<uint32_t> expected;  // every node the cursor yields, in turn
  };
  const Case cases[] = {
      {"offset equal to the first child's start passes it", 0, {1, 2}},
      {"offset between children", 1, {1, 2}},
      {"offset equal to the Alias start", 2, {2}},
      {"offset past every start", 3, {}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    ChildCursor cursor = child_cursor(tree, tree.root);
    std::vector<uint32_t> yielded;
    while (const auto node = next_child_after(cursor, tree, test_case.offset))
      yielded.push_back(*node);
    EXPECT_EQ(yielded, test_case.expected);
    EXPECT_TRUE(cursor.at_end());
  }
}

TEST(TreeReadsTest, TokensFromSubprogramKeyword) {
  const Built built = build({
      open(NodeKind::CreateFunction),
      token(TokenKind::Ident, "CREATE"),
      token(TokenKind::Whitespace, " "),
      token(TokenKind::Ident, "OR"),
      token(TokenKind::Whitespace, " "),
      token(TokenKind::Ident, "REPLACE"),
      token(TokenKind::Whitespace, " "),
      token(TokenKind::QuotedIdent, "\"FUNCTION\""),
      token(TokenKind::Ident, "functions"),
      token(TokenKind::Whitespace, " "),
      token(TokenKind::Ident, "function"),
      token(TokenKind::BlockComment, "/**/"),
      open(NodeKind::ObjectName),
      token(TokenKind::Ident, "skipped"),
      close(),
      token(TokenKind::Ident, "my_fn"),
      token(TokenKind::LParen, "("),
      close(),
  });
  const Tree& tree = built.tree;
  ChildCursor cursor = child_cursor(tree, tree.root);
  bool started = false;
  std::vector<std::string> yielded;
  const auto take_one = [&] {
    const auto next = tokens_from_subprogram_keyword(cursor, tree, built.text, started);
    if (!next) return false;
    yielded.push_back(std::string(token_kind_name(next->kind)) + " " + std::string(next->text));
    return true;
  };
  ASSERT_TRUE(take_one());
  EXPECT_TRUE(started);
  while (take_one()) {
  }
  EXPECT_EQ(yielded, (std::vector<std::string>{"Ident function", "Ident my_fn", "LParen ("}));

  // The flag is the caller's: a new cursor with started set yields from the first token.
  ChildCursor again = child_cursor(tree, tree.root);
  const auto first = tokens_from_subprogram_keyword(again, tree, built.text, started);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->text, "CREATE");
}

TEST(TreeReadsTest, ContainsDotTokenRunsTheWalkToItsEnd) {
  const Built dotted = build({
      open(NodeKind::NameRef),
      token(TokenKind::Ident, "a"),
      token(TokenKind::Dot, "."),
      token(TokenKind::Ident, "b"),
      close(),
  });
  DescendantTokens walk = descendant_tokens(dotted.tree, dotted.tree.root);
  EXPECT_TRUE(contains_dot_token(walk));
  EXPECT_FALSE(walk.next().has_value());

  const Built plain = build({open(NodeKind::NameRef), token(TokenKind::Ident, "a"), close()});
  DescendantTokens plain_walk = descendant_tokens(plain.tree, plain.tree.root);
  EXPECT_FALSE(contains_dot_token(plain_walk));
}

TEST(TreeReadsTest, IndicesOutsideTheTreeStop) {
  const Built built = expression_tree();
  const Tree& tree = built.tree;
  const auto bad = static_cast<uint32_t>(tree.nodes.size());
  const std::function<void()> bodies[] = {
      [&] { (void)children(tree, bad); },
      [&] { (void)child_of_kind(tree, bad, syntax_kind(NodeKind::Call)); },
      [&] { (void)descendant_tokens(tree, bad); },
      [&] { (void)descendant_nodes(tree, bad); },
      [&] { (void)node_span(tree, bad); },
      [&] { (void)node_text(tree, bad, built.text); },
      [&] { (void)child_cursor(tree, NO_PARENT); },
      [&] { (void)present_and_not_query(tree, bad); },
  };
  for (std::size_t i = 0; i < std::size(bodies); ++i) {
    SCOPED_TRACE(i);
    EXPECT_THROW(bodies[i](), InternalStop);
  }
}

TEST(TreeReadsTest, MillionLevelChainIsWalkedWithoutRecursion) {
  constexpr uint32_t LEVELS = 1'000'000;
  struct Results {
    bool stopped = false;
    std::size_t depth = 0;
    std::size_t token_count = 0;
    std::size_t node_count = 0;
    std::optional<Span> span;
    bool has_dot = true;
  } results;
  const bool ran = run_on_small_stack([&results] {
    try {
      // 1||1||...||1, every operator opened at one checkpoint before the first operand.
      TreeBuilder builder;
      builder.reserve(2 * LEVELS + 1, 2 * LEVELS + 2);
      builder.start_node(syntax_kind(NodeKind::SelectStmt));
      const Checkpoint operand_start = builder.checkpoint();
      builder.start_node(syntax_kind(NodeKind::Literal));
      builder.token(syntax_kind(TokenKind::Number), 0, 1);
      builder.finish_node();
      for (uint32_t level = 0; level < LEVELS; ++level) {
        const uint32_t offset = 1 + 3 * level;
        builder.start_node_at(operand_start, syntax_kind(NodeKind::BinaryExpr));
        builder.token(syntax_kind(TokenKind::Concat), offset, offset + 2);
        builder.start_node(syntax_kind(NodeKind::Literal));
        builder.token(syntax_kind(TokenKind::Number), offset + 2, offset + 3);
        builder.finish_node();
        builder.finish_node();
      }
      builder.finish_node();
      const Tree tree = std::move(builder).finish();

      // Depth: follow parents up from the innermost literal (node 0).
      for (uint32_t node = 0; node != NO_PARENT; node = tree.nodes[node].parent) ++results.depth;
      for (const uint32_t index : descendant_tokens(tree, tree.root)) {
        (void)index;
        ++results.token_count;
      }
      for (const uint32_t index : descendant_nodes(tree, tree.root)) {
        (void)index;
        ++results.node_count;
      }
      results.span = node_span(tree, tree.root);
      DescendantTokens walk = descendant_tokens(tree, tree.root);
      results.has_dot = contains_dot_token(walk);
    } catch (const InternalStop&) {
      results.stopped = true;
    }
  });
  ASSERT_TRUE(ran);
  EXPECT_FALSE(results.stopped);
  EXPECT_EQ(results.depth, LEVELS + 2);  // literal, every BinaryExpr, the statement
  EXPECT_EQ(results.token_count, 2 * std::size_t{LEVELS} + 1);
  EXPECT_EQ(results.node_count, 2 * std::size_t{LEVELS} + 2);
  EXPECT_EQ(results.span, (Span{0, 1 + 3 * LEVELS}));
  EXPECT_FALSE(results.has_dot);
}

}  // namespace
}  // namespace veltrane::syntax
