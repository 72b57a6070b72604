#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"

namespace veltrane::syntax {
namespace {

// The token kind names in number order, as every dump and JSON result writes them.
constexpr std::array<std::string_view, 48> EXPECTED_TOKEN_NAMES = {
    "Whitespace",   "LineComment", "BlockComment", "LineContinuation",
    "Inactive",     "Ident",       "QuotedIdent",  "Number",
    "String",       "Bind",        "Inquiry",      "CondDirective",
    "Substitution", "Assign",      "Arrow",        "DotDot",
    "Concat",       "Power",       "Ne",           "Le",
    "Ge",           "LabelOpen",   "LabelClose",   "LParen",
    "RParen",       "LBracket",    "RBracket",     "LBrace",
    "RBrace",       "Comma",       "Semicolon",    "Dot",
    "Colon",        "Plus",        "Minus",        "Star",
    "Slash",        "Percent",     "Eq",           "Lt",
    "Gt",           "At",          "Amp",          "Pipe",
    "Question",     "Caret",       "Dollar",       "Unknown"};

TEST(KindsTest, TokenKindNamesMatchTheListInOrder) {
  for (std::size_t i = 0; i < EXPECTED_TOKEN_NAMES.size(); ++i) {
    SCOPED_TRACE(i);
    const auto kind = static_cast<TokenKind>(i);
    EXPECT_EQ(token_kind_name(kind), EXPECTED_TOKEN_NAMES[i]);
    EXPECT_EQ(kind_name(syntax_kind(kind)), EXPECTED_TOKEN_NAMES[i]);
    EXPECT_EQ(token_kind_index(syntax_kind(kind)), i);
    EXPECT_GE(node_kind_index(syntax_kind(kind)), NODE_KIND_COUNT);
  }
}

TEST(KindsTest, KindNameCoversNamedAndUnnamedNumbers) {
  struct Case {
    uint16_t number;
    std::string_view name;
  };
  constexpr Case CASES[] = {
      {0, "Whitespace"},
      {47, "Unknown"},
      {48, "?48"},
      {512, "?512"},
      {999, "?999"},
      {1000, "SelectStmt"},
      {1007, "CreateMview"},
      {1024, "OtherStmt"},
      {1025, "Query"},
      {1050, "PartitionExt"},
      {1059, "Hierarchical"},
      {1069, "ForUpdate"},
      {1070, "Literal"},
      {1079, "Star"},
      {1105, "CallModifier"},
      {1106, "InsertInto"},
      {1125, "MrRowsPerMatch"},
      {1136, "CellFor"},
      {1137, "CreatePackage"},
      {1189, "NewExpr"},
      {1200, "TypeModifiers"},
      {1201, "Error"},
      {1202, "Lexical"},
      {1203, "IntervalExpr"},
      {1204, "?1204"},
      {32767, "?32767"},
      {32768, "?32768"},
      {65535, "?65535"},
  };
  for (const Case& test_case : CASES) {
    SCOPED_TRACE(test_case.number);
    EXPECT_EQ(kind_name(syntax_kind_from_number(test_case.number)), test_case.name);
    std::string sink = "x";
    append_kind_name(sink, syntax_kind_from_number(test_case.number));
    EXPECT_EQ(sink, "x" + std::string(test_case.name));
  }
}

TEST(KindsTest, StarIsBothATokenAndANodeKindWithDifferentNumbers) {
  EXPECT_EQ(kind_number(syntax_kind(TokenKind::Star)), 35);
  EXPECT_EQ(kind_number(syntax_kind(NodeKind::Star)), 1079);
  EXPECT_EQ(kind_name(syntax_kind(TokenKind::Star)), "Star");
  EXPECT_EQ(kind_name(syntax_kind(NodeKind::Star)), "Star");
  EXPECT_NE(syntax_kind(TokenKind::Star), syntax_kind(NodeKind::Star));
}

TEST(KindsTest, EveryNodeKindRoundTripsThroughItsSyntaxKind) {
  for (std::size_t i = 0; i < NODE_KIND_COUNT; ++i) {
    SCOPED_TRACE(i);
    const auto kind = static_cast<NodeKind>(i);
    const SyntaxKind number = syntax_kind(kind);
    EXPECT_EQ(kind_number(number), 1000 + i);
    EXPECT_EQ(node_kind_index(number), i);
    EXPECT_EQ(as_node_kind(number), kind);
    EXPECT_FALSE(as_token_kind(number).has_value());
    EXPECT_EQ(kind_name(number), node_kind_name(kind));
    EXPECT_FALSE(is_trivia(number));
  }
}

TEST(KindsTest, ConversionsRefuseNumbersThatNameNoKind) {
  for (const uint16_t number : {uint16_t{48}, uint16_t{999}, uint16_t{1204}, uint16_t{65535}}) {
    SCOPED_TRACE(number);
    const SyntaxKind kind = syntax_kind_from_number(number);
    EXPECT_FALSE(as_token_kind(kind).has_value());
    EXPECT_FALSE(as_node_kind(kind).has_value());
    EXPECT_GE(token_kind_index(kind), TOKEN_KIND_COUNT);
    EXPECT_GE(node_kind_index(kind), NODE_KIND_COUNT);
    EXPECT_FALSE(is_trivia(kind));
  }
}

TEST(KindsTest, OnlyTheFirstFiveTokenKindsAreTrivia) {
  for (std::size_t i = 0; i < TOKEN_KIND_COUNT; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(is_trivia(static_cast<TokenKind>(i)), i <= 4);
    EXPECT_EQ(is_trivia(syntax_kind(static_cast<TokenKind>(i))), i <= 4);
  }
}

TEST(KindsTest, NameOfAnOutOfRangeEnumValueStops) {
  EXPECT_THROW((void)token_kind_name(static_cast<TokenKind>(48)), InternalStop);
  EXPECT_THROW((void)node_kind_name(static_cast<NodeKind>(204)), InternalStop);
}

}  // namespace
}  // namespace veltrane::syntax
