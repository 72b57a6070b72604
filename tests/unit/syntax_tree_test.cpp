#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"

namespace veltrane::syntax {
namespace {

constexpr SyntaxKind IDENT = syntax_kind(TokenKind::Ident);
constexpr SyntaxKind WHITESPACE = syntax_kind(TokenKind::Whitespace);
constexpr SyntaxKind SELECT_STMT = syntax_kind(NodeKind::SelectStmt);
constexpr SyntaxKind NAME_REF = syntax_kind(NodeKind::NameRef);
constexpr SyntaxKind LITERAL = syntax_kind(NodeKind::Literal);
constexpr SyntaxKind BINARY_EXPR = syntax_kind(NodeKind::BinaryExpr);

std::vector<Child> entries_of(const Tree& tree, uint32_t node) {
  const Node& record = tree.nodes[node];
  return {tree.children.begin() + record.first,
          tree.children.begin() + record.first + record.count};
}

// Runs `body` and returns the message of the stop it raised ("" when none).
std::string stop_message(const std::function<void()>& body) {
  try {
    body();
  } catch (const InternalStop& stop) {
    return stop.message;
  }
  return "";
}

TEST(TreeBuilderTest, OneNodeWithOneToken) {
  TreeBuilder builder;
  builder.start_node(SELECT_STMT);
  builder.token(IDENT, 0, 6);
  builder.finish_node();
  const Tree tree = std::move(builder).finish();

  ASSERT_EQ(tree.nodes.size(), 1u);
  EXPECT_EQ(tree.root, 0u);
  EXPECT_EQ(tree.nodes[0].parent, NO_PARENT);
  EXPECT_EQ(tree.nodes[0].kind, SELECT_STMT);
  EXPECT_EQ(entries_of(tree, 0), std::vector<Child>{TOKEN_FLAG | 0u});
  EXPECT_EQ(tree.token_parents, std::vector<uint32_t>{0});
  EXPECT_EQ(tree.tokens[0].start, 0u);
  EXPECT_EQ(tree.tokens[0].end, 6u);
  EXPECT_EQ(tree.tokens[0].kind, IDENT);
}

TEST(TreeBuilderTest, StartNodeAtAdoptsSiblingsFinishedSinceTheCheckpoint) {
  TreeBuilder builder;
  const Checkpoint before_a = builder.checkpoint();
  builder.start_node(NAME_REF);  // A
  builder.token(IDENT, 0, 1);
  builder.finish_node();
  builder.start_node(LITERAL);  // B
  builder.token(syntax_kind(TokenKind::Number), 1, 2);
  builder.finish_node();
  builder.start_node_at(before_a, BINARY_EXPR);  // C
  builder.finish_node();
  const Tree tree = std::move(builder).finish();

  ASSERT_EQ(tree.nodes.size(), 3u);
  EXPECT_EQ(tree.root, 2u);
  EXPECT_EQ(tree.nodes[2].kind, BINARY_EXPR);
  EXPECT_EQ(entries_of(tree, 2), (std::vector<Child>{0, 1}));
  EXPECT_EQ(tree.nodes[0].parent, 2u);
  EXPECT_EQ(tree.nodes[1].parent, 2u);
  EXPECT_EQ(tree.nodes[2].parent, NO_PARENT);
  EXPECT_EQ(tree.token_parents, (std::vector<uint32_t>{0, 1}));
}

// The shape of `a + b + c` built the way the expression parser builds it: every operator
// node is opened at one checkpoint taken before the first operand.
TEST(TreeBuilderTest, RepeatedStartNodeAtOneCheckpointNestsToTheLeft) {
  TreeBuilder builder;
  builder.start_node(SELECT_STMT);
  const Checkpoint operand_start = builder.checkpoint();
  builder.token(IDENT, 0, 1);
  for (uint32_t i = 0; i < 2; ++i) {
    builder.start_node_at(operand_start, BINARY_EXPR);
    builder.token(syntax_kind(TokenKind::Plus), 1 + 2 * i, 2 + 2 * i);
    builder.token(IDENT, 2 + 2 * i, 3 + 2 * i);
    builder.finish_node();
  }
  builder.finish_node();
  const Tree tree = std::move(builder).finish();

  ASSERT_EQ(tree.nodes.size(), 3u);
  EXPECT_EQ(entries_of(tree, 0),
            (std::vector<Child>{TOKEN_FLAG | 0, TOKEN_FLAG | 1, TOKEN_FLAG | 2}));
  EXPECT_EQ(entries_of(tree, 1), (std::vector<Child>{0, TOKEN_FLAG | 3, TOKEN_FLAG | 4}));
  EXPECT_EQ(entries_of(tree, 2), (std::vector<Child>{1}));
  EXPECT_EQ(tree.nodes[0].parent, 1u);
  EXPECT_EQ(tree.nodes[1].parent, 2u);
  EXPECT_EQ(tree.token_parents, (std::vector<uint32_t>{0, 0, 0, 1, 1}));
}

TEST(TreeBuilderTest, EmptyNodeHasNoEntriesAndStartsAtTheCurrentChildrenLength) {
  TreeBuilder builder;
  builder.start_node(SELECT_STMT);
  builder.start_node(NAME_REF);
  builder.token(IDENT, 0, 1);
  builder.finish_node();  // writes one child entry
  builder.start_node(LITERAL);
  builder.finish_node();  // empty
  builder.token(WHITESPACE, 1, 2);
  builder.finish_node();
  const Tree tree = std::move(builder).finish();

  EXPECT_EQ(tree.nodes[1].count, 0u);
  EXPECT_EQ(tree.nodes[1].first, 1u);
  EXPECT_EQ(tree.nodes[1].parent, 2u);
  EXPECT_EQ(entries_of(tree, 2), (std::vector<Child>{0, 1, TOKEN_FLAG | 1}));
}

TEST(TreeBuilderTest, NodesAreNumberedInPostOrderAndTheRootIsLast) {
  TreeBuilder builder;
  builder.start_node(SELECT_STMT);  // finished last
  builder.start_node(BINARY_EXPR);
  builder.start_node(NAME_REF);
  builder.token(IDENT, 0, 1);
  builder.finish_node();
  builder.finish_node();
  builder.start_node(LITERAL);
  builder.token(IDENT, 1, 2);
  builder.finish_node();
  builder.finish_node();
  const Tree tree = std::move(builder).finish();

  ASSERT_EQ(tree.nodes.size(), 4u);
  EXPECT_EQ(tree.nodes[0].kind, NAME_REF);
  EXPECT_EQ(tree.nodes[1].kind, BINARY_EXPR);
  EXPECT_EQ(tree.nodes[2].kind, LITERAL);
  EXPECT_EQ(tree.nodes[3].kind, SELECT_STMT);
  EXPECT_EQ(tree.root, 3u);
  for (uint32_t node = 0; node < 3; ++node) {
    SCOPED_TRACE(node);
    EXPECT_GT(tree.nodes[node].parent, node);
  }
  // Inner child lists lie before their parent's list.
  EXPECT_LT(tree.nodes[1].first, tree.nodes[3].first);
}

TEST(TreeBuilderTest, BrokenInvariantsStopWithTheirMessages) {
  struct Case {
    std::string_view name;
    std::function<void()> body;
    std::string_view message;  // the message starts with these words
  };
  const Case cases[] = {
      {"finish on an empty builder", [] { (void)TreeBuilder().finish(); },
       "a tree has exactly one root node"},
      {"two root nodes",
       [] {
         TreeBuilder builder;
         builder.start_node(SELECT_STMT);
         builder.finish_node();
         builder.start_node(SELECT_STMT);
         builder.finish_node();
         (void)std::move(builder).finish();
       },
       "a tree has exactly one root node"},
      {"open node checked before the root count",
       [] {
         TreeBuilder builder;
         builder.start_node(SELECT_STMT);
         (void)std::move(builder).finish();
       },
       "unfinished nodes"},
      {"open node beside a finished one",
       [] {
         TreeBuilder builder;
         builder.start_node(SELECT_STMT);
         builder.finish_node();
         builder.start_node(SELECT_STMT);
         (void)std::move(builder).finish();
       },
       "unfinished nodes"},
      {"only a token",
       [] {
         TreeBuilder builder;
         builder.token(IDENT, 0, 1);
         (void)std::move(builder).finish();
       },
       "the root must be a node"},
      {"finish_node on a new builder", [] { TreeBuilder().finish_node(); },
       "finish_node without start_node"},
      {"one finish_node too many",
       [] {
         TreeBuilder builder;
         builder.start_node(SELECT_STMT);
         builder.finish_node();
         builder.finish_node();
       },
       "finish_node without start_node"},
      {"checkpoint taken inside a node that was finished since",
       [] {
         TreeBuilder builder;
         builder.start_node(SELECT_STMT);
         builder.token(IDENT, 0, 1);
         builder.token(IDENT, 1, 2);
         const Checkpoint inside = builder.checkpoint();  // 2
         builder.finish_node();                           // pending is 1 long now
         builder.start_node_at(inside, BINARY_EXPR);
       },
       "checkpoint is stale"},
      {"checkpoint taken before the innermost open node",
       [] {
         TreeBuilder builder;
         builder.start_node(SELECT_STMT);
         const Checkpoint outside = builder.checkpoint();  // 0
         builder.token(IDENT, 0, 1);
         builder.start_node(BINARY_EXPR);  // mark 1
         builder.start_node_at(outside, BINARY_EXPR);
       },
       "checkpoint is outside the open node"},
      {"stale checkpoint while a node is open",
       [] {
         TreeBuilder builder;
         builder.token(IDENT, 0, 1);
         builder.token(IDENT, 1, 2);
         builder.token(IDENT, 2, 3);
         const Checkpoint late = builder.checkpoint();  // 3
         builder.start_node_at(Checkpoint{0}, SELECT_STMT);
         builder.finish_node();  // pending is 1 long
         builder.start_node(BINARY_EXPR);
         builder.start_node_at(late, NAME_REF);
       },
       "checkpoint is stale"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const std::string message = stop_message(test_case.body);
    EXPECT_EQ(message.substr(0, test_case.message.size()), test_case.message) << message;
  }
}

TEST(TreeBuilderTest, RootCountMessageNamesBothNumbers) {
  TreeBuilder builder;
  builder.token(IDENT, 0, 1);
  builder.token(IDENT, 1, 2);
  const std::string message = stop_message([&] { (void)std::move(builder).finish(); });
  EXPECT_NE(message.find("a tree has exactly one root node"), std::string::npos);
  EXPECT_NE(message.find('2'), std::string::npos);
  EXPECT_NE(message.find('1'), std::string::npos);
}

TEST(TreeBuilderTest, CheckpointAtTheOpenNodesMarkIsAccepted) {
  TreeBuilder builder;
  builder.start_node(SELECT_STMT);
  const Checkpoint at_mark = builder.checkpoint();
  builder.token(IDENT, 0, 1);
  builder.start_node_at(at_mark, NAME_REF);
  builder.finish_node();
  builder.finish_node();
  const Tree tree = std::move(builder).finish();
  EXPECT_EQ(entries_of(tree, 1), std::vector<Child>{0});
  EXPECT_EQ(entries_of(tree, 0), std::vector<Child>{TOKEN_FLAG | 0});
}

}  // namespace
}  // namespace veltrane::syntax
