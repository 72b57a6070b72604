// Size and depth limits of the parser and of every walk over its trees, all run on a
// thread with a 1 MiB stack: long left-nested chains (trees as deep as the chain is long)
// through referenced_tables, node spans, the descendant walks, the shared walk and the
// dump; and 100,000-deep nests of every recursive construct through the parse entries,
// which must stop with "nesting too deep" and still keep every token.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/conditional_compilation.hpp"
#include "lexer/lexer.hpp"
#include "lexer/script_splitter.hpp"
#include "limits_scale.hpp"
#include "parser/parse_entries.hpp"
#include "small_stack.hpp"
#include "syntax/dump.hpp"
#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/walk.hpp"
#include "views/referenced_tables.hpp"

namespace {

using veltrane::lexer::Diagnostic;
using veltrane::lexer::ScriptItemKind;
using veltrane::lexer::Severity;
using veltrane::lexer::Token;
using veltrane::parser::ParsedStatement;
using veltrane::syntax::NodeKind;
using veltrane::syntax::syntax_kind;
using veltrane::syntax::Tree;

// Reduced builds run the long chains at a tenth and the nests at a quarter of their size,
// still far past every limit.
constexpr std::size_t CHAIN_SCALE = veltrane::test_support::LIMITS_REDUCED ? 10 : 1;
constexpr std::size_t NEST_SCALE = veltrane::test_support::LIMITS_REDUCED ? 4 : 1;

constexpr std::string_view TOO_DEEP = "nesting too deep";

// Runs `body` on a thread with a 1 MiB stack. An exception leaving the body (a broken
// invariant) is reported as a failure instead of crossing the thread's entry function.
void on_small_stack(const std::function<void()>& body) {
  bool threw = false;
  ASSERT_TRUE(veltrane::test_support::run_on_small_stack([&] {
    try {
      body();
    } catch (...) {
      threw = true;
    }
  }));
  EXPECT_FALSE(threw) << "the body stopped with an exception";
}

std::string repeat(std::string_view piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

// The one statement or unit of `text`, split and parsed by the entry its kind asks for.
struct Parsed {
  ParsedStatement result;
  std::size_t items = 0;  // statements and units the splitter found
  std::size_t lexed_tokens = 0;
};

Parsed parse_one(const std::string& text) {
  const veltrane::lexer::SplitResult split = veltrane::lexer::split_script(text);
  const veltrane::lexer::ParseOptions options{};
  Parsed parsed;
  parsed.lexed_tokens = split.tokens.size();
  for (const auto& item : split.items) {
    auto result = veltrane::parser::parse_item(text, split, item, options);
    if (!result) continue;
    ++parsed.items;
    parsed.result = std::move(*result);
  }
  return parsed;
}

std::size_t count_message(const std::vector<Diagnostic>& diagnostics, std::string_view message) {
  return static_cast<std::size_t>(
      std::count_if(diagnostics.begin(), diagnostics.end(),
                    [&](const Diagnostic& diagnostic) { return diagnostic.message == message; }));
}

std::size_t count_errors(const std::vector<Diagnostic>& diagnostics) {
  return static_cast<std::size_t>(std::count_if(
      diagnostics.begin(), diagnostics.end(),
      [](const Diagnostic& diagnostic) { return diagnostic.severity == Severity::Error; }));
}

// The tree's tokens, in order, spell `text` from its first byte to its end (the scripts
// here are one item without a terminator, so the item is the whole text up to trailing
// trivia the splitter keeps outside).
bool tokens_spell(const Tree& tree, std::string_view text) {
  uint32_t at = 0;
  for (const auto& token : tree.tokens) {
    if (token.start != at) return false;
    at = token.end;
  }
  return text.substr(at).find_first_not_of(" \n;/") == std::string_view::npos;
}

// Depth of the deepest node, read off the parent links (post-order numbering puts every
// parent after its children, so one backward pass suffices).
uint32_t tree_depth(const Tree& tree) {
  std::vector<uint32_t> depth(tree.nodes.size(), 0);
  uint32_t deepest = 0;
  for (std::size_t node = tree.nodes.size(); node-- > 0;) {
    const uint32_t parent = tree.nodes[node].parent;
    if (parent == veltrane::syntax::NO_PARENT) continue;
    depth[node] = depth[parent] + 1;
    deepest = std::max(deepest, depth[node]);
  }
  return deepest;
}

// Runs the shared walk over the whole tree and counts what goes wrong: a node entered
// twice, left before it is entered or left twice, a token out of order, a node or token
// never reached, a depth that disagrees with the parent links.
std::size_t shared_walk_faults(const Tree& tree) {
  using veltrane::syntax::WalkEvent;
  std::vector<uint8_t> state(tree.nodes.size(), 0);  // 0 unseen, 1 entered, 2 left
  std::vector<uint32_t> depth(tree.nodes.size(), 0);
  std::size_t faults = 0;
  uint32_t next_token = 0;
  veltrane::syntax::TreeWalk walk(tree, tree.root);
  while (const std::optional<veltrane::syntax::WalkStep> step = walk.next()) {
    switch (step->event) {
      case WalkEvent::Enter: {
        faults += state[step->index] != 0;
        state[step->index] = 1;
        const uint32_t parent = tree.nodes[step->index].parent;
        depth[step->index] = step->depth;
        faults += step->index != tree.root && step->depth != depth[parent] + 1;
        break;
      }
      case WalkEvent::Leave:
        faults += state[step->index] != 1;
        state[step->index] = 2;
        break;
      case WalkEvent::Token:
        faults += step->index != next_token;
        ++next_token;
        break;
    }
  }
  faults += static_cast<std::size_t>(
      std::count_if(state.begin(), state.end(), [](uint8_t seen) { return seen != 2; }));
  faults += tree.tokens.size() - next_token;
  return faults;
}

// ---- long chains: every walk over very deep trees ----

struct ChainCase {
  const char* name;
  std::string text;
  std::size_t min_depth;  // the tree is at least this deep
  std::vector<std::string> first_tables;
  std::size_t table_count;  // every name is the first one repeated, this often
};

TEST(Limits, LongChainsThroughEveryWalk) {
  const std::size_t terms = 1'000'000 / CHAIN_SCALE;
  const std::size_t set_operators = 100'000 / CHAIN_SCALE;
  const std::size_t joins = 100'000 / CHAIN_SCALE;
  std::string with_queries;
  for (std::size_t i = 0; i < joins; ++i) {
    with_queries += "q" + std::to_string(i) + " as (select 1 from t), ";
  }
  const ChainCase cases[] = {
      {"concatenation chain",
       "select " + repeat("1||", terms - 1) + "1 from dual",
       terms - 1,
       {"DUAL"},
       1},
      {"union chain",
       "select 1 from t" + repeat(" union select 1 from t", set_operators),
       set_operators,
       {"T"},
       set_operators + 1},
      {"join chain",
       "select * from t" + repeat(" join t on 1 = 1", joins),
       joins,
       {"T"},
       joins + 1},
      // Wide rather than deep: each name is looked up among every WITH query in scope.
      {"long WITH list",
       "with " + with_queries + "b as (select 1 from t) select * from b",
       0,
       {"T"},
       joins + 1},
      {"chain inside a PL/SQL block",
       "begin x := " + repeat("1||", set_operators) + "1; end;\n/\n",
       set_operators,
       {},
       0},
  };
  for (const ChainCase& c : cases) {
    on_small_stack([&] {
      // Traces belong to the thread that sets them.
      SCOPED_TRACE(c.name);
      const Parsed parsed = parse_one(c.text);
      ASSERT_EQ(parsed.items, 1u);
      const Tree& tree = parsed.result.tree;
      EXPECT_TRUE(parsed.result.diagnostics.empty());
      EXPECT_TRUE(tokens_spell(tree, c.text));
      EXPECT_GE(tree_depth(tree), c.min_depth);

      // referenced_tables
      const std::vector<std::string> tables = veltrane::views::referenced_tables(tree, c.text);
      EXPECT_EQ(tables.size(), c.table_count);
      if (!c.first_tables.empty()) {
        EXPECT_EQ(std::count(tables.begin(), tables.end(), c.first_tables[0]),
                  static_cast<std::ptrdiff_t>(c.table_count));
      }

      // node spans: the root, each of its children and the deepest node
      const std::optional<veltrane::syntax::Span> root_span =
          veltrane::syntax::node_span(tree, tree.root);
      ASSERT_TRUE(root_span.has_value());
      EXPECT_EQ(root_span->start, 0u);
      EXPECT_EQ(root_span->end, tree.tokens.back().end);
      EXPECT_EQ(veltrane::syntax::node_text(tree, tree.root, c.text),
                std::string_view(c.text).substr(0, tree.tokens.back().end));
      uint32_t child_bytes = 0;
      for (const veltrane::syntax::Child entry : veltrane::syntax::children(tree, tree.root)) {
        if (veltrane::syntax::is_token_entry(entry)) {
          const auto& token = tree.tokens[veltrane::syntax::entry_index(entry)];
          child_bytes += token.end - token.start;
          continue;
        }
        const auto span = veltrane::syntax::node_span(tree, veltrane::syntax::entry_index(entry));
        if (span) child_bytes += span->end - span->start;
      }
      EXPECT_EQ(child_bytes, root_span->end);
      ASSERT_FALSE(tree.nodes.empty());
      EXPECT_TRUE(veltrane::syntax::node_span(tree, 0).has_value());

      // descendant walks: every node once, every token once and in order
      std::size_t nodes = 0;
      for (const uint32_t node : veltrane::syntax::descendant_nodes(tree, tree.root)) {
        (void)node;
        ++nodes;
      }
      EXPECT_EQ(nodes, tree.nodes.size());
      uint32_t expected_token = 0;
      bool in_order = true;
      for (const uint32_t token : veltrane::syntax::descendant_tokens(tree, tree.root)) {
        in_order = in_order && token == expected_token;
        ++expected_token;
      }
      EXPECT_TRUE(in_order);
      EXPECT_EQ(expected_token, tree.tokens.size());
      veltrane::syntax::DescendantTokens walk =
          veltrane::syntax::descendant_tokens(tree, tree.root);
      EXPECT_FALSE(veltrane::syntax::contains_dot_token(walk));

      // the shared Enter/Leave walk: every node entered once and then left once, every
      // token once and in order, as deep as the tree
      EXPECT_EQ(shared_walk_faults(tree), 0u);
    });
  }
}

// The dump of a 20,000-term chain, 20,000 levels deep: its size is worked out from the
// parent links alone (2 blanks per level, the kind name, and the quoted text of each
// significant token one level below its node), and its last line is the deepest-indented
// name of the FROM clause.
TEST(Limits, DumpOfADeepChain) {
  constexpr std::size_t TERMS = 20'000;
  const std::string text = "select " + repeat("1||", TERMS - 1) + "1 from dual";
  on_small_stack([&] {
    const Parsed parsed = parse_one(text);
    const Tree& tree = parsed.result.tree;
    ASSERT_TRUE(parsed.result.diagnostics.empty());
    EXPECT_GE(tree_depth(tree), TERMS - 1);

    std::vector<std::size_t> depth(tree.nodes.size(), 0);
    std::size_t expected = 0;
    for (std::size_t node = tree.nodes.size(); node-- > 0;) {
      const uint32_t parent = tree.nodes[node].parent;
      if (parent != veltrane::syntax::NO_PARENT) depth[node] = depth[parent] + 1;
      expected += 2 * depth[node] + veltrane::syntax::kind_name(tree.nodes[node].kind).size() + 1;
    }
    for (std::size_t token = 0; token < tree.tokens.size(); ++token) {
      const auto& record = tree.tokens[token];
      if (veltrane::syntax::is_trivia(record.kind)) continue;
      const std::string_view token_text =
          std::string_view(text).substr(record.start, record.end - record.start);
      expected += 2 * (depth[tree.token_parents[token]] + 1) +
                  veltrane::syntax::kind_name(record.kind).size() + 1 +
                  veltrane::syntax::quoted(token_text).size() + 1;
    }

    std::string dump;
    dump.reserve(expected);
    veltrane::syntax::dump_tree(tree, tree.root, 0, text, dump);
    EXPECT_EQ(dump.size(), expected);
    EXPECT_TRUE(dump.starts_with("SelectStmt\n"));
    EXPECT_TRUE(dump.ends_with("\n            Ident \"dual\"\n"));
  });
}

// ---- deep nests: every recursive construct through the parse entries ----

struct NestCase {
  const char* name;
  std::string text;
  std::size_t too_deep;  // "nesting too deep" diagnostics expected
  std::size_t errors;    // errors expected in all, "nesting too deep" included
};

TEST(Limits, DeepNestsStopAtTheLimit) {
  const std::size_t N = 100'000 / NEST_SCALE;
  const std::string subprograms = "create procedure p is " + repeat("procedure q is ", N) +
                                  repeat("begin null; end; ", N + 1) + "\n/\n";
  const NestCase cases[] = {
      // SQL
      {"parentheses", "select " + repeat("(", N) + "1" + repeat(")", N) + " from dual", 1, 1},
      // The level past the limit keeps the rest of the item, so ")" is missing too.
      {"unclosed parentheses", "select " + repeat("(", N) + "1 from dual", 1, 2},
      {"function calls", "select " + repeat("f(", N) + "1" + repeat(")", N) + " from dual", 1, 1},
      {"subqueries in FROM",
       "select * from " + repeat("(select * from ", N) + "dual" + repeat(")", N), 1, 1},
      {"scalar subqueries",
       "select " + repeat("(select ", N) + "1" + repeat(" from dual)", N) + " from dual", 1, 1},
      // As above: the innermost open CASE then misses its THEN.
      {"CASE expressions",
       "select " + repeat("case when 1 = 1 then ", N) + "1" + repeat(" end", N) + " from dual", 1,
       2},
      {"NOT chain", "select * from t where " + repeat("not ", N) + "1 = 1", 1, 1},
      {"unary minus chain", "select " + repeat("- ", N) + "1 from dual", 1, 1},
      {"parenthesised joins",
       "select * from " + repeat("(", N) + "a join b on 1 = 1" + repeat(")", N), 1, 1},
      {"GROUPING SETS",
       "select a from t group by " + repeat("grouping sets (", N) + "a" + repeat(")", N), 1, 1},
      {"COLUMNS clauses",
       "select * from json_table(j, '$' columns (" + repeat("nested path '$' columns (", N) +
           "a number path '$.a'" + repeat(")", N) + "))",
       1, 1},
      {"EXPLAIN chain", repeat("explain plan for ", N) + "commit", 1, 1},
      // PL/SQL
      {"nested blocks", repeat("begin ", N) + "null; " + repeat("end; ", N) + "\n/\n", 1, 1},
      {"nested DECLARE blocks",
       repeat("declare x number; begin ", N) + "null; " + repeat("end; ", N) + "\n/\n", 1, 1},
      {"IF", "begin " + repeat("if a then ", N) + "null; " + repeat("end if; ", N) + "end;\n/\n", 1,
       1},
      {"LOOP", "begin " + repeat("loop ", N) + "null; " + repeat("end loop; ", N) + "end;\n/\n", 1,
       1},
      {"WHILE",
       "begin " + repeat("while a loop ", N) + "null; " + repeat("end loop; ", N) + "end;\n/\n", 1,
       1},
      {"CASE statements",
       "begin " + repeat("case when a then ", N) + "null; " + repeat("end case; ", N) + "end;\n/\n",
       1, 1},
      {"nested subprograms", subprograms, 1, 1},
      {"expression in a block",
       "begin x := " + repeat("(", N) + "1" + repeat(")", N) + "; end;\n/\n", 1, 1},
      {"conditional-compilation $IFs",
       "begin " + repeat("$if true $then ", N) + "null; " + repeat("$end ", N) + "end;\n/\n", 0, 0},
      {"conditional-compilation condition",
       "begin $if " + repeat("(", N) + "true" + repeat(")", N) + " $then null; $end end;\n/\n", 0,
       0},
      // Long but flat: no limit applies.
      {"ELSIF chain",
       "begin if a then null; " + repeat("elsif a then null; ", N) + "end if; end;\n/\n", 0, 0},
      {"AND chain", "select * from t where 1 = 1" + repeat(" and 1 = 1", N), 0, 0},
      {"block of many statements", "begin " + repeat("x := x + 1; ", N) + "end;\n/\n", 0, 0},
  };
  for (const NestCase& c : cases) {
    on_small_stack([&] {
      // Traces belong to the thread that sets them.
      SCOPED_TRACE(c.name);
      const Parsed parsed = parse_one(c.text);
      ASSERT_EQ(parsed.items, 1u);
      const std::vector<Diagnostic>& diagnostics = parsed.result.diagnostics;
      EXPECT_EQ(count_message(diagnostics, TOO_DEEP), c.too_deep);
      EXPECT_EQ(count_errors(diagnostics), c.errors);
      EXPECT_TRUE(tokens_spell(parsed.result.tree, c.text));
    });
  }
}

}  // namespace
