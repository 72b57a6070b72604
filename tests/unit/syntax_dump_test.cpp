#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "event_trees.hpp"
#include "small_stack.hpp"
#include "syntax/dump.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"

namespace veltrane::syntax {
namespace {

using test_support::run_on_small_stack;

// Trees described by their events (event_trees.hpp).
using test_support::close;
using test_support::Event;
using test_support::open;
using test_support::token;

Event open_number(uint16_t number) {
  return {Event::Type::Open, syntax_kind_from_number(number), {}};
}

// The dump of the tree the events describe, from its root at `depth`.
std::string dump_of(std::initializer_list<Event> events, uint32_t depth = 0) {
  const test_support::Built built = test_support::build(events);
  std::string sink;
  dump_tree(built.tree, built.tree.root, depth, built.text, sink);
  return sink;
}

TEST(DumpTreeTest, SelectStatementShape) {
  const std::string dump = dump_of({
      open(NodeKind::SelectStmt),
      open(NodeKind::Query),
      open(NodeKind::QueryBlock),
      token(TokenKind::Ident, "select"),
      token(TokenKind::Whitespace, " "),
      open(NodeKind::SelectList),
      open(NodeKind::SelectItem),
      open(NodeKind::Literal),
      token(TokenKind::Number, "1"),
      close(),
      close(),
      close(),
      token(TokenKind::Whitespace, " "),
      open(NodeKind::FromClause),
      token(TokenKind::Ident, "from"),
      token(TokenKind::Whitespace, " "),
      open(NodeKind::TableRef),
      open(NodeKind::ObjectName),
      token(TokenKind::Ident, "dual"),
      close(),
      close(),
      close(),
      close(),
      close(),
      close(),
  });
  EXPECT_EQ(dump,
            "SelectStmt\n"
            "  Query\n"
            "    QueryBlock\n"
            "      Ident \"select\"\n"
            "      SelectList\n"
            "        SelectItem\n"
            "          Literal\n"
            "            Number \"1\"\n"
            "      FromClause\n"
            "        Ident \"from\"\n"
            "        TableRef\n"
            "          ObjectName\n"
            "            Ident \"dual\"\n");
}

TEST(DumpTreeTest, LinesForTokensNodesAndTrivia) {
  struct Case {
    std::string_view name;
    std::string dump;
    std::string_view expected;
  };
  const Case cases[] = {
      {"string keeps its single quotes",
       dump_of({open(NodeKind::Literal), token(TokenKind::String, "'it''s'"), close()}),
       "Literal\n  String \"'it''s'\"\n"},
      {"quoted identifier",
       dump_of({open(NodeKind::NameRef), token(TokenKind::QuotedIdent, "\"Emp\""), close()}),
       "NameRef\n  QuotedIdent \"\\\"Emp\\\"\"\n"},
      {"no line for any trivia kind",
       dump_of({open(NodeKind::Block), token(TokenKind::Whitespace, " "),
                token(TokenKind::LineComment, "-- x"), token(TokenKind::BlockComment, "/**/"),
                token(TokenKind::LineContinuation, "-"), token(TokenKind::Inactive, "$IF"),
                token(TokenKind::Semicolon, ";"), close()}),
       "Block\n  Semicolon \";\"\n"},
      {"token with a tab and a line break stays on one line",
       dump_of({open(NodeKind::Literal), token(TokenKind::String, "'a\tb\nc'"), close()}),
       "Literal\n  String \"'a\\tb\\nc'\"\n"},
      {"empty node", dump_of({open(NodeKind::Error), close()}), "Error\n"},
      {"star token and star node",
       dump_of({open(NodeKind::Star), token(TokenKind::Star, "*"), close()}),
       "Star\n  Star \"*\"\n"},
      {"number naming no kind", dump_of({open_number(1500), token(TokenKind::Ident, "x"), close()}),
       "?1500\n  Ident \"x\"\n"},
      {"starting depth indents every line",
       dump_of({open(NodeKind::NameRef), token(TokenKind::Ident, "x"), close()}, 2),
       "    NameRef\n      Ident \"x\"\n"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(test_case.dump, test_case.expected);
  }
}

TEST(QuotedTextTest, EscapesAndCharactersKeptAsTheyStand) {
  struct Case {
    std::string_view name;
    std::string_view text;
    std::string_view expected;
  };
  const Case cases[] = {
      {"empty", "", R"("")"},
      {"plain ASCII and the blank", "a b", R"("a b")"},
      {"single quote", "'", R"("'")"},
      {"double quote and backslash", "\"\\", R"("\"\\")"},
      {"short escapes", "\t\n\r", R"("\t\n\r")"},
      {"NUL", std::string_view("a\0b", 3), R"("a\0b")"},
      {"other controls and DEL", "\x01\x1F\x7F", R"("\u{1}\u{1f}\u{7f}")"},
      {"combining acute after a letter", "e\xCC\x81", R"("e\u{301}")"},
      {"no-break space", "\xC2\xA0", R"("\u{a0}")"},
      {"ideographic space", "\xE3\x80\x80", R"("\u{3000}")"},
      {"next line control", "\xC2\x85", R"("\u{85}")"},
      {"C1 control", "\xC2\x9F", R"("\u{9f}")"},
      {"soft hyphen", "\xC2\xAD", R"("\u{ad}")"},
      {"zero width space", "\xE2\x80\x8B", R"("\u{200b}")"},
      {"byte order mark", "\xEF\xBB\xBF", R"("\u{feff}")"},
      {"line and paragraph separators", "\xE2\x80\xA8\xE2\x80\xA9", R"("\u{2028}\u{2029}")"},
      {"private use", "\xEE\x80\x80", R"("\u{e000}")"},
      {"unassigned", "\xCD\xB8", R"("\u{378}")"},
      {"noncharacter U+FFFF", "\xEF\xBF\xBF", R"("\u{ffff}")"},
      {"variation selector", "\xEF\xB8\x8F", R"("\u{fe0f}")"},
      {"zero width non-joiner", "\xE2\x80\x8C", R"("\u{200c}")"},
      {"alphabetic yet Grapheme_Extend", "a\xCD\x85", R"("a\u{345}")"},
      {"spacing mark that extends a grapheme", "\xE0\xA6\xBE", R"("\u{9be}")"},
      {"modifier letter that extends a grapheme", "\xEF\xBE\x9E", R"("\u{ff9e}")"},
      {"printable non-ASCII unchanged", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
      {"ill-formed bytes become one replacement each", "a\xE2\x82x\xFF",
       "\"a\xEF\xBF\xBDx\xEF\xBF\xBD\""},
      {"truncated sequence at the end", "\xF0\x9F\x98", "\"\xEF\xBF\xBD\""},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(quoted(test_case.text), test_case.expected);
    std::string sink = ">";
    append_quoted(sink, test_case.text);
    EXPECT_EQ(sink, ">" + std::string(test_case.expected));
  }
}

TEST(DumpTreeTest, AppendsToTheSinkAndStopsOnABadNodeIndex) {
  TreeBuilder builder;
  builder.start_node(syntax_kind(NodeKind::NameRef));
  builder.token(syntax_kind(TokenKind::Ident), 0, 1);
  builder.finish_node();
  const Tree tree = std::move(builder).finish();
  std::string sink = "before\n";
  dump_tree(tree, tree.root, 0, "x", sink);
  EXPECT_EQ(sink, "before\nNameRef\n  Ident \"x\"\n");
  EXPECT_THROW(dump_tree(tree, 1, 0, "x", sink), InternalStop);
}

// A left-nested chain `a||a||...||a` of `links` operators: as deep as it is long.
Tree concatenation_chain(uint32_t links, std::string& text) {
  text = "a";
  TreeBuilder builder;
  for (uint32_t link = 0; link < links; ++link)
    builder.start_node(syntax_kind(NodeKind::BinaryExpr));
  builder.token(syntax_kind(TokenKind::Ident), 0, 1);
  for (uint32_t link = 0; link < links; ++link) {
    const auto start = static_cast<uint32_t>(text.size());
    text += "||a";
    builder.token(syntax_kind(TokenKind::Concat), start, start + 2);
    builder.token(syntax_kind(TokenKind::Ident), start + 2, start + 3);
    builder.finish_node();
  }
  return std::move(builder).finish();
}

// Several statements under one root, one of them a chain, and a token longer than a piece.
Tree several_statements(std::string& text) {
  text.clear();
  TreeBuilder builder;
  builder.start_node(syntax_kind(NodeKind::Block));
  const auto add_token = [&](TokenKind kind, std::string_view token_text) {
    const auto start = static_cast<uint32_t>(text.size());
    text += token_text;
    builder.token(syntax_kind(kind), start, static_cast<uint32_t>(text.size()));
  };
  for (int statement = 0; statement < 3; ++statement) {
    builder.start_node(syntax_kind(NodeKind::SelectStmt));
    add_token(TokenKind::Ident, "select");
    add_token(TokenKind::Whitespace, " ");
    for (int link = 0; link < 700; ++link) builder.start_node(syntax_kind(NodeKind::BinaryExpr));
    add_token(TokenKind::Number, "1");
    for (int link = 0; link < 700; ++link) {
      add_token(TokenKind::Plus, "+");
      add_token(TokenKind::String, statement == 1 && link == 0 ? "'" + std::string(9000, 'x') + "'"
                                                               : std::string("'\t'"));
      builder.finish_node();
    }
    add_token(TokenKind::Semicolon, ";");
    builder.finish_node();
  }
  builder.finish_node();
  return std::move(builder).finish();
}

TEST(DumpTreeTest, StreamedPiecesJoinToTheOneTextDump) {
  struct Case {
    std::string_view name;
    std::function<Tree(std::string&)> make;
    uint32_t depth;
  };
  const Case cases[] = {
      {"chain of 3,000 links", [](std::string& text) { return concatenation_chain(3000, text); },
       0},
      {"chain of 10 links started 5,000 deep",
       [](std::string& text) { return concatenation_chain(10, text); }, 5000},
      {"several statements", several_statements, 0},
      {"one short node", [](std::string& text) { return concatenation_chain(1, text); }, 0},
  };
  constexpr std::size_t PIECE_SIZES[] = {1, 100, 5000, DUMP_PIECE_BYTES};
  for (const Case& test_case : cases) {
    std::string text;
    const Tree tree = test_case.make(text);
    std::string whole;
    dump_tree(tree, tree.root, test_case.depth, text, whole);
    for (const std::size_t piece_bytes : PIECE_SIZES) {
      SCOPED_TRACE(std::string(test_case.name) + ", pieces of " + std::to_string(piece_bytes));
      std::vector<std::size_t> sizes;
      std::string joined;
      dump_tree(
          tree, tree.root, test_case.depth, text,
          [&](std::string_view piece) {
            sizes.push_back(piece.size());
            joined.append(piece);
          },
          piece_bytes);
      EXPECT_EQ(joined, whole);
      ASSERT_FALSE(sizes.empty());
      // Every piece but the last is full; none runs far past the size but by a long token.
      EXPECT_TRUE(std::all_of(sizes.begin(), sizes.end() - 1,
                              [&](std::size_t size) { return size >= piece_bytes; }));
      const std::size_t largest = *std::max_element(sizes.begin(), sizes.end());
      EXPECT_LT(largest, piece_bytes + 8192 + 9000);
    }
  }
}

TEST(DumpTreeTest, TwentyThousandLevelsStreamWithoutRecursion) {
  constexpr uint32_t LEVELS = 20'000;
  bool stopped = false;
  std::size_t size = 0;
  std::size_t line_count = 0;
  std::size_t largest_piece = 0;
  std::string tail;
  const bool ran = run_on_small_stack([&] {
    try {
      TreeBuilder builder;
      for (uint32_t level = 0; level < LEVELS; ++level) {
        builder.start_node(syntax_kind(NodeKind::ParenExpr));
      }
      builder.token(syntax_kind(TokenKind::Number), 0, 1);
      for (uint32_t level = 0; level < LEVELS; ++level) builder.finish_node();
      const Tree tree = std::move(builder).finish();
      // The dump is about 400 MB; only its last two lines are kept.
      const std::size_t tail_size = 4 * std::size_t{LEVELS} + 32;
      dump_tree(tree, tree.root, 0, "7", [&](std::string_view piece) {
        size += piece.size();
        largest_piece = std::max(largest_piece, piece.size());
        line_count += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
        tail.append(piece);
        if (tail.size() > 2 * tail_size) tail.erase(0, tail.size() - tail_size);
      });
    } catch (const InternalStop&) {
      stopped = true;
    }
  });
  ASSERT_TRUE(ran);
  EXPECT_FALSE(stopped);
  // Node lines: 2d blanks + "ParenExpr\n" for d < LEVELS; one token line at depth LEVELS.
  const std::size_t node_lines = std::size_t{LEVELS} * (LEVELS - 1) + std::size_t{LEVELS} * 10;
  const std::size_t token_line =
      2 * std::size_t{LEVELS} + std::string_view("Number \"7\"\n").size();
  EXPECT_EQ(size, node_lines + token_line);
  EXPECT_EQ(line_count, LEVELS + 1);
  EXPECT_LT(largest_piece, 2 * DUMP_PIECE_BYTES);
  const std::string deepest_lines = std::string(2 * (LEVELS - 1), ' ') + "ParenExpr\n" +
                                    std::string(2 * LEVELS, ' ') + "Number \"7\"\n";
  ASSERT_GE(tail.size(), deepest_lines.size());
  EXPECT_EQ(tail.substr(tail.size() - deepest_lines.size()), deepest_lines);
}

}  // namespace
}  // namespace veltrane::syntax
