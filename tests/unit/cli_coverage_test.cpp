// The coverage checks of `lex` and `split`: contiguous and in order, not only lengths that
// add up.

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "cli/commands.hpp"
#include "lexer/script_splitter.hpp"

namespace veltrane::cli {
namespace {

using lexer::ScriptItem;
using lexer::ScriptItemKind;
using lexer::Token;
using lexer::TokenKind;

Token token(uint32_t start, uint32_t end) { return Token{start, end, TokenKind::Ident}; }

ScriptItem item(uint32_t start, uint32_t end, ScriptItemKind kind) {
  ScriptItem result;
  result.start = start;
  result.end = end;
  result.kind = kind;
  if (kind == ScriptItemKind::SqlPlus) result.command = "SET";
  return result;
}

struct CoverCase {
  const char* name;
  std::vector<Token> tokens;
  std::vector<ScriptItem> items;
  std::size_t length;
  bool covers;
};

TEST(CliCoverage, LexAndSplitCoverage) {
  const std::vector<CoverCase> cases = {
      {"empty text, no tokens", {}, {}, 0, true},
      {"contiguous", {token(0, 2), token(2, 5)}, {}, 5, true},
      {"gap", {token(0, 2), token(3, 5)}, {}, 5, false},
      {"lengths add up but out of order", {token(0, 2), token(3, 4), token(2, 3)}, {}, 4, false},
      {"lengths add up with a gap and an overlap",
       {token(0, 2), token(1, 3), token(4, 5)},
       {},
       5,
       false},
      {"first token not at 0", {token(1, 3)}, {}, 3, false},
      {"stops short of the end", {token(0, 3)}, {}, 4, false},
      {"command between tokens",
       {token(0, 1), token(8, 9)},
       {item(1, 8, ScriptItemKind::SqlPlus)},
       9,
       true},
      {"statement items are not part of the cover",
       {token(0, 4)},
       {item(0, 4, ScriptItemKind::Sql)},
       4,
       true},
      {"command overlapping a token",
       {token(0, 3), token(3, 6)},
       {item(2, 3, ScriptItemKind::SqlPlus)},
       6,
       false},
      {"only a command", {}, {item(0, 12, ScriptItemKind::SqlPlus)}, 12, true},
      {"command missing", {token(0, 1), token(8, 9)}, {}, 9, false},
  };
  for (const CoverCase& test : cases) {
    SCOPED_TRACE(test.name);
    if (test.items.empty()) {
      EXPECT_EQ(tokens_cover(test.tokens, test.length), test.covers);
    }
    EXPECT_EQ(tokens_and_commands_cover(test.tokens, test.items, test.length), test.covers);
  }
}

}  // namespace
}  // namespace veltrane::cli
