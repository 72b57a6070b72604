#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "event_trees.hpp"
#include "small_stack.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"
#include "syntax/walk.hpp"

namespace veltrane::syntax {
namespace {

using test_support::build;
using test_support::Built;
using test_support::close;
using test_support::open;
using test_support::run_on_small_stack;
using test_support::token;

// `-- c` LF `a + f(1)` in a select statement.
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
      token(TokenKind::Number, "1"),
      token(TokenKind::RParen, ")"),
      close(),
      close(),
      close(),
      close(),
  });
}

// One line per event: ">" Enter, "<" Leave, "." Token, then the depth and the kind name
// (and the token text).
std::vector<std::string> trace(const Built& built, uint32_t node, WalkTokens tokens,
                               std::optional<NodeKind> skip_kind, WalkOrder order,
                               WalkStack& stack) {
  std::vector<std::string> lines;
  TreeWalk walk(built.tree, node, tokens, order, stack);
  while (const std::optional<WalkStep> step = walk.next()) {
    std::string line;
    switch (step->event) {
      case WalkEvent::Enter:
        line = ">";
        break;
      case WalkEvent::Token:
        line = ".";
        break;
      case WalkEvent::Leave:
        line = "<";
        break;
    }
    line += std::to_string(step->depth) + " ";
    if (step->is_token()) {
      const TreeToken& record = built.tree.tokens[step->index];
      line +=
          kind_name(record.kind) + " " + built.text.substr(record.start, record.end - record.start);
    } else {
      line += kind_name(built.tree.nodes[step->index].kind);
      if (step->event == WalkEvent::Enter && skip_kind &&
          built.tree.nodes[step->index].kind == syntax_kind(*skip_kind)) {
        walk.skip();
      }
    }
    lines.push_back(line);
  }
  return lines;
}

uint32_t find_node(const Tree& tree, NodeKind kind) {
  for (uint32_t index = 0; index < tree.nodes.size(); ++index) {
    if (tree.nodes[index].kind == syntax_kind(kind)) return index;
  }
  ADD_FAILURE() << "no such node";
  return tree.root;
}

struct WalkCase {
  const char* name;
  std::optional<NodeKind> start;  // none: the root
  WalkTokens tokens;
  std::optional<NodeKind> skip;  // skip() right after entering a node of this kind
  std::vector<std::string> expected;
  WalkOrder order = WalkOrder::Source;
};

TEST(TreeWalk, EventsInOrder) {
  const Built built = expression_tree();
  const WalkCase cases[] = {
      {"whole tree, every token",
       std::nullopt,
       WalkTokens::All,
       std::nullopt,
       {">0 SelectStmt",   ".1 LineComment -- c\n",
        ">1 BinaryExpr",   ">2 NameRef",
        ".3 Ident a",      "<2 NameRef",
        ".2 Whitespace  ", ".2 Plus +",
        ".2 Whitespace  ", ">2 Call",
        ">3 NameRef",      ".4 Ident f",
        "<3 NameRef",      ">3 ArgList",
        ".4 LParen (",     ".4 Number 1",
        ".4 RParen )",     "<3 ArgList",
        "<2 Call",         "<1 BinaryExpr",
        "<0 SelectStmt"}},
      {"significant tokens only",
       std::nullopt,
       WalkTokens::Significant,
       std::nullopt,
       {">0 SelectStmt", ">1 BinaryExpr", ">2 NameRef", ".3 Ident a", "<2 NameRef", ".2 Plus +",
        ">2 Call", ">3 NameRef", ".4 Ident f", "<3 NameRef", ">3 ArgList", ".4 LParen (",
        ".4 Number 1", ".4 RParen )", "<3 ArgList", "<2 Call", "<1 BinaryExpr", "<0 SelectStmt"}},
      {"nodes only",
       std::nullopt,
       WalkTokens::None,
       std::nullopt,
       {">0 SelectStmt", ">1 BinaryExpr", ">2 NameRef", "<2 NameRef", ">2 Call", ">3 NameRef",
        "<3 NameRef", ">3 ArgList", "<3 ArgList", "<2 Call", "<1 BinaryExpr", "<0 SelectStmt"}},
      {"a subtree, depths from its node",
       NodeKind::Call,
       WalkTokens::All,
       std::nullopt,
       {">0 Call", ">1 NameRef", ".2 Ident f", "<1 NameRef", ">1 ArgList", ".2 LParen (",
        ".2 Number 1", ".2 RParen )", "<1 ArgList", "<0 Call"}},
      {"a skipped node still has its Leave",
       std::nullopt,
       WalkTokens::Significant,
       NodeKind::Call,
       {">0 SelectStmt", ">1 BinaryExpr", ">2 NameRef", ".3 Ident a", "<2 NameRef", ".2 Plus +",
        ">2 Call", "<2 Call", "<1 BinaryExpr", "<0 SelectStmt"}},
      {"skipping the starting node",
       NodeKind::Call,
       WalkTokens::All,
       NodeKind::Call,
       {">0 Call", "<0 Call"}},
      {"a leaf node",
       NodeKind::ArgList,
       WalkTokens::None,
       std::nullopt,
       {">0 ArgList", "<0 ArgList"}},
      {"reverse order: children last to first",
       std::nullopt,
       WalkTokens::Significant,
       std::nullopt,
       {">0 SelectStmt", ">1 BinaryExpr", ">2 Call", ">3 ArgList", ".4 RParen )", ".4 Number 1",
        ".4 LParen (", "<3 ArgList", ">3 NameRef", ".4 Ident f", "<3 NameRef", "<2 Call",
        ".2 Plus +", ">2 NameRef", ".3 Ident a", "<2 NameRef", "<1 BinaryExpr", "<0 SelectStmt"},
       WalkOrder::Reverse},
      {"reverse order with a skipped node",
       std::nullopt,
       WalkTokens::All,
       NodeKind::Call,
       {">0 SelectStmt", ">1 BinaryExpr", ">2 Call", "<2 Call", ".2 Whitespace  ", ".2 Plus +",
        ".2 Whitespace  ", ">2 NameRef", ".3 Ident a", "<2 NameRef", "<1 BinaryExpr",
        ".1 LineComment -- c\n", "<0 SelectStmt"},
       WalkOrder::Reverse},
  };
  // One stack lent to every walk: each starts afresh whatever the one before left in it.
  WalkStack stack;
  for (const WalkCase& c : cases) {
    SCOPED_TRACE(c.name);
    const uint32_t start = c.start ? find_node(built.tree, *c.start) : built.tree.root;
    EXPECT_EQ(trace(built, start, c.tokens, c.skip, c.order, stack), c.expected);
  }
}

// A walk that stopped halfway leaves its frames on a lent stack; the next walk on it
// starts from its own node all the same.
TEST(TreeWalk, LentStackLeftHalfwayServesTheNextWalk) {
  const Built built = expression_tree();
  WalkStack stack;
  {
    TreeWalk walk(built.tree, built.tree.root, WalkTokens::All, WalkOrder::Source, stack);
    for (int events = 0; events < 4; ++events) ASSERT_TRUE(walk.next().has_value());
    EXPECT_EQ(walk.open_count(), 3u);
  }
  const uint32_t call = find_node(built.tree, NodeKind::Call);
  TreeWalk walk(built.tree, call, WalkTokens::None, WalkOrder::Source, stack);
  std::vector<uint32_t> entered;
  while (const std::optional<WalkStep> step = walk.next()) {
    if (step->event == WalkEvent::Enter) entered.push_back(step->index);
  }
  EXPECT_EQ(entered.size(), 3u);  // Call, NameRef, ArgList
  EXPECT_EQ(entered.front(), call);
}

TEST(TreeWalk, EdgeTokens) {
  const Built built = expression_tree();
  // A node without tokens: an empty ArgList in a Call with no name.
  const Built empty =
      build({open(NodeKind::SelectStmt), open(NodeKind::Call), open(NodeKind::ArgList), close(),
             close(), token(TokenKind::Whitespace, " "), close()});
  struct EdgeCase {
    const char* name;
    const Built* built;
    std::optional<NodeKind> start;  // none: the root
    WalkTokens tokens;
    WalkOrder order;
    std::optional<std::string> expected;  // the token's text
  };
  const EdgeCase cases[] = {
      {"first token, trivia included", &built, std::nullopt, WalkTokens::All, WalkOrder::Source,
       "-- c\n"},
      {"first significant token passes over a comment", &built, std::nullopt,
       WalkTokens::Significant, WalkOrder::Source, "a"},
      {"last token", &built, std::nullopt, WalkTokens::All, WalkOrder::Reverse, ")"},
      {"last token of a subtree", &built, NodeKind::NameRef, WalkTokens::All, WalkOrder::Reverse,
       "a"},
      {"no token events, no token", &built, std::nullopt, WalkTokens::None, WalkOrder::Source,
       std::nullopt},
      {"past an empty node to the trivia after it", &empty, std::nullopt, WalkTokens::All,
       WalkOrder::Source, " "},
      {"only trivia: no significant token", &empty, std::nullopt, WalkTokens::Significant,
       WalkOrder::Reverse, std::nullopt},
      {"a node without tokens", &empty, NodeKind::Call, WalkTokens::All, WalkOrder::Reverse,
       std::nullopt},
  };
  WalkStack stack;
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Tree& tree = c.built->tree;
    const uint32_t start = c.start ? find_node(tree, *c.start) : tree.root;
    const std::optional<uint32_t> found = edge_token(tree, start, c.tokens, c.order, stack);
    ASSERT_EQ(found.has_value(), c.expected.has_value());
    if (!found) continue;
    const TreeToken& record = tree.tokens[*found];
    EXPECT_EQ(c.built->text.substr(record.start, record.end - record.start), *c.expected);
  }
}

TEST(TreeWalk, OpenNodesAndEnd) {
  const Built built = expression_tree();
  for (const WalkOrder order : {WalkOrder::Source, WalkOrder::Reverse}) {
    SCOPED_TRACE(order == WalkOrder::Source ? "source order" : "reverse order");
    TreeWalk walk(built.tree, built.tree.root, WalkTokens::All, order);
    EXPECT_EQ(walk.open_count(), 0u);
    EXPECT_FALSE(walk.open_node(0).has_value());
    while (const std::optional<WalkStep> step = walk.next()) {
      if (step->event == WalkEvent::Enter) {
        EXPECT_EQ(walk.open_count(), step->depth + 1);
        EXPECT_EQ(walk.open_node(0), step->index);
        if (step->depth > 0) {
          EXPECT_EQ(walk.open_node(1), built.tree.nodes[step->index].parent);
        }
        EXPECT_FALSE(walk.open_node(step->depth + 1).has_value());
      } else if (step->event == WalkEvent::Token) {
        EXPECT_EQ(walk.open_node(0), built.tree.token_parents[step->index]);
      }
      // The position names this very entry in the parent's child list.
      const std::optional<uint32_t> parent =
          step->event == WalkEvent::Enter ? walk.open_node(1) : walk.open_node(0);
      if (parent && (step->event != WalkEvent::Leave || step->depth > 0)) {
        const Node& record =
            built.tree.nodes[step->event == WalkEvent::Leave ? built.tree.nodes[step->index].parent
                                                             : *parent];
        const Child expected =
            step->is_token() ? token_entry(step->index) : node_entry(step->index);
        EXPECT_EQ(built.tree.children[record.first + step->position], expected);
      } else {
        EXPECT_EQ(step->position, 0u);
      }
    }
    EXPECT_EQ(walk.open_count(), 0u);
    EXPECT_FALSE(walk.next().has_value());
    walk.skip();  // nothing open: no effect
    EXPECT_FALSE(walk.next().has_value());
  }
}

TEST(TreeWalk, StartOutsideTheTreeStops) {
  const Built built = expression_tree();
  const auto count = static_cast<uint32_t>(built.tree.nodes.size());
  EXPECT_THROW(TreeWalk(built.tree, count), InternalStop);
}

// A left-nested chain of `levels` BinaryExpr nodes, as `select 1||1||…||1 from dual`
// builds it: each operator node adopts the one before at one checkpoint.
Tree deep_chain(std::size_t levels) {
  TreeBuilder builder;
  builder.reserve(2 * levels + 4, levels + 2);
  uint32_t at = 0;
  const auto add = [&](TokenKind kind, uint32_t length) {
    builder.token(syntax_kind(kind), at, at + length);
    at += length;
  };
  builder.start_node(syntax_kind(NodeKind::SelectStmt));
  const Checkpoint chain_start = builder.checkpoint();
  add(TokenKind::Number, 1);
  for (std::size_t i = 0; i < levels; ++i) {
    builder.start_node_at(chain_start, syntax_kind(NodeKind::BinaryExpr));
    add(TokenKind::Concat, 2);
    add(TokenKind::Number, 1);
    builder.finish_node();
  }
  add(TokenKind::Whitespace, 1);
  add(TokenKind::Ident, 4);
  builder.finish_node();
  return std::move(builder).finish();
}

// A million levels on a 1 MiB stack: every node entered once and left once, Enter before
// Leave, tokens in source order, and the depths as deep as the chain.
TEST(TreeWalk, MillionLevelChainOnASmallStack) {
  constexpr std::size_t LEVELS = 1'000'000;
  bool ran_to_end = false;
  ASSERT_TRUE(run_on_small_stack([&] {
    const Tree tree = deep_chain(LEVELS);
    std::vector<uint8_t> entered(tree.nodes.size(), 0);
    std::vector<uint8_t> left(tree.nodes.size(), 0);
    std::size_t faults = 0;
    uint32_t next_token = 0;
    uint32_t deepest = 0;
    TreeWalk walk(tree, tree.root);
    while (const std::optional<WalkStep> step = walk.next()) {
      switch (step->event) {
        case WalkEvent::Enter:
          faults += entered[step->index] != 0 || left[step->index] != 0;
          entered[step->index] = 1;
          deepest = std::max(deepest, step->depth);
          break;
        case WalkEvent::Leave:
          faults += entered[step->index] != 1 || left[step->index] != 0;
          left[step->index] = 1;
          break;
        case WalkEvent::Token:
          faults += step->index != next_token;
          ++next_token;
          break;
      }
    }
    std::size_t unvisited = 0;
    for (std::size_t i = 0; i < tree.nodes.size(); ++i) unvisited += !entered[i] || !left[i];
    EXPECT_EQ(faults, 0u);
    EXPECT_EQ(unvisited, 0u);
    EXPECT_EQ(next_token, tree.tokens.size());
    EXPECT_EQ(deepest, LEVELS);
    ran_to_end = true;
  }));
  EXPECT_TRUE(ran_to_end);
}

}  // namespace
}  // namespace veltrane::syntax
