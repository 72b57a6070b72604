// The parser core: lookahead and tree primitives, the repeat rule of diagnostics, the
// RAII guards, the parse entries, statement dispatch, version gates, word tables and
// names.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/conditional_compilation.hpp"
#include "lexer/lexer.hpp"
#include "lexer/script_splitter.hpp"
#include "limits_scale.hpp"
#include "parser/names.hpp"
#include "parser/parse_entries.hpp"
#include "parser/parser.hpp"
#include "parser/version_gates.hpp"
#include "parser/word_tables.hpp"
#include "small_stack.hpp"
#include "sql/statement_dispatch.hpp"
#include "syntax/dump.hpp"
#include "syntax/tree_reads.hpp"

namespace {

using veltrane::lexer::OracleVersion;
using veltrane::lexer::ParseOptions;
using veltrane::parser::Parser;
using veltrane::syntax::Diagnostic;
using veltrane::syntax::NodeKind;
using veltrane::syntax::Severity;
using veltrane::syntax::TokenKind;
using veltrane::test_support::run_on_small_stack;
using Rule = std::function<void(Parser&)>;

// A parser over the lexed text, kept together with its tokens.
struct Fixture {
  std::string text;
  veltrane::lexer::LexResult lexed;
  std::optional<Parser> parser;

  explicit Fixture(std::string source, ParseOptions options = {}, uint32_t item_start = 0)
      : text(std::move(source)), lexed(veltrane::lexer::lex_text(text)) {
    parser.emplace(text, lexed.tokens, std::move(options), item_start);
  }
  Parser& p() { return *parser; }
};

struct RuleResult {
  std::string dump;
  std::vector<Diagnostic> diagnostics;
  veltrane::syntax::Tree tree;
};

// Runs `rule` over the text, puts what is left in an Error node, wraps everything in an
// OtherStmt root and returns the dump (trivia left out) and the diagnostics.
RuleResult run_rule(const std::string& text, const Rule& rule) {
  Fixture fixture(text);
  Parser& p = fixture.p();
  const veltrane::syntax::Checkpoint root = p.builder.checkpoint();
  rule(p);
  veltrane::parser::finish_item(p, root, NodeKind::OtherStmt, "left over");
  RuleResult result{{}, std::move(p.diagnostics), std::move(p.builder).finish()};
  veltrane::syntax::dump_tree(result.tree, result.tree.root, 0, fixture.text, result.dump);
  return result;
}

std::string dump_statement(const std::string& text,
                           const veltrane::parser::ParsedStatement& parsed) {
  std::string out;
  veltrane::syntax::dump_tree(parsed.tree, parsed.tree.root, 0, text, out);
  return out;
}

veltrane::parser::ParsedStatement parse_sql(const std::string& text, ParseOptions options = {}) {
  const veltrane::lexer::LexResult lexed = veltrane::lexer::lex_text(text);
  return veltrane::parser::parse_statement(text, lexed.tokens, options);
}

std::string root_kind_name(const veltrane::syntax::Tree& tree) {
  return veltrane::syntax::kind_name(tree.nodes[tree.root].kind);
}

size_t count_message(const std::vector<Diagnostic>& diagnostics, std::string_view message) {
  return static_cast<size_t>(
      std::count_if(diagnostics.begin(), diagnostics.end(),
                    [&](const Diagnostic& d) { return d.message == message; }));
}

// The tree's tokens are the text's tokens, in order.
void expect_lossless(const veltrane::syntax::Tree& tree, std::string_view text) {
  std::string rebuilt;
  for (const auto& token : tree.tokens) {
    rebuilt += text.substr(token.start, token.end - token.start);
  }
  EXPECT_EQ(rebuilt, text);
}

// ---- lookahead ----

TEST(ParserLookahead, AtWordFoldsAsciiOnlyWithExactLength) {
  struct Case {
    const char* name;
    std::string text;
    std::string_view word;
    bool expected;
  };
  const Case cases[] = {
      {"lower", "select", "SELECT", true},
      {"mixed", "Select", "SELECT", true},
      {"upper", "SELECT", "SELECT", true},
      {"quoted identifier", "\"SELECT\"", "SELECT", false},
      {"longer word", "SELECTS", "SELECT", false},
      {"shorter word", "SELEC", "SELECT", false},
      {"non-ASCII letter is not folded", "caf\xC3\xA9", "CAF\xC3\x89", false},
      {"non-ASCII letter equal bytes", "caf\xC3\xA9", "CAF\xC3\xA9", true},
      {"digits and underscore", "like2", "LIKE2", true},
      {"long word", "match_recognize", "MATCH_RECOGNIZE", true},
      {"long word differs at the end", "match_recognizf", "MATCH_RECOGNIZE", false},
      {"substitution", "&select", "SELECT", false},
      {"no token", "", "SELECT", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture fixture(c.text);
    EXPECT_EQ(fixture.p().at_word(0, c.word), c.expected);
  }
}

TEST(ParserLookahead, NameContinuation) {
  struct Case {
    const char* name;
    std::string text;
    uint32_t bumps;
    uint32_t n;
    uint32_t expected;
  };
  const Case cases[] = {
      {"dot and star", "t . *", 0, 1, 2},
      {"dot and word", "a.b", 0, 1, 2},
      {"dot and substitution", "a.&b", 0, 1, 2},
      {"at and link", "t @ remote", 0, 1, 2},
      {"dot before (", "a . (", 0, 1, 0},
      {"dot before number", "a . 1", 0, 1, 0},
      {"at before number", "a @ 1", 0, 1, 0},
      {"substitution glued to a word", "emp_&sfx", 0, 1, 1},
      {"substitution after a blank", "emp_ &sfx", 0, 1, 0},
      {"word glued to a substitution", "&pre.fix", 0, 1, 1},
      {"substitution glued to a substitution", "&a&b", 0, 1, 1},
      {"substitution glued to a quoted name", "\"q\"&b", 0, 1, 1},
      {"word glued to a word is no piece", "a\"b\"", 0, 1, 0},
      {"first token of the item", "&x", 0, 0, 0},
      {"looks back at a consumed token", "emp_&sfx", 1, 0, 1},
      {"no token", "a", 0, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture fixture(c.text);
    for (uint32_t i = 0; i < c.bumps; ++i) {
      fixture.p().bump();
    }
    EXPECT_EQ(fixture.p().name_continuation(c.n), c.expected);
  }
}

TEST(ParserLookahead, IsGluedAndPeeks) {
  Fixture fixture("a.b  c");
  Parser& p = fixture.p();
  EXPECT_FALSE(p.is_glued(0));  // pos + n == 0
  EXPECT_TRUE(p.is_glued(1));
  EXPECT_TRUE(p.is_glued(2));
  EXPECT_FALSE(p.is_glued(3));
  EXPECT_FALSE(p.is_glued(4));  // past the end
  p.bump();
  EXPECT_TRUE(p.is_glued(0));  // the dot touches the consumed a
  EXPECT_EQ(p.kind_at(0), TokenKind::Dot);
  EXPECT_EQ(p.kind_at(3), std::nullopt);
  EXPECT_FALSE(p.at(TokenKind::Whitespace, 3));
  EXPECT_EQ(p.text_at(2), "c");
  EXPECT_EQ(p.text_at(3), "");
}

TEST(ParserLookahead, OnlyTriviaIsEndOfInput) {
  Fixture fixture("  -- note\n /* c */ ");
  Parser& p = fixture.p();
  EXPECT_TRUE(p.sig.empty());
  EXPECT_TRUE(p.at_end());
  EXPECT_EQ(p.kind_at(0), std::nullopt);
  EXPECT_TRUE(p.at_item_end(0, 0));
  EXPECT_FALSE(p.at_word(0, "SELECT"));
  EXPECT_EQ(p.name_continuation(0), 0u);
  p.error("first");
  p.error("second");
  ASSERT_EQ(p.diagnostics.size(), 1u);
  const auto end = static_cast<uint32_t>(fixture.text.size());
  EXPECT_EQ(p.diagnostics[0].start, end);
  EXPECT_EQ(p.diagnostics[0].end, end);
}

TEST(ParserLookahead, AtItemEnd) {
  struct Case {
    const char* name;
    std::string text;
    uint8_t mode;
    bool expected;
  };
  const Case cases[] = {
      {"substitution", "&x", 0, true},
      {"closing parenthesis", ")", 2, true},
      {"comma", ",", 1, true},
      {"semicolon", ";", 0, true},
      {"plain name", "total", 0, false},
      {"reserved word", "FROM", 0, true},
      {"join word in mode 1", "join", 1, true},
      {"join word in mode 0", "join", 0, false},
      {"NULLS in mode 2", "nulls", 2, true},
      {"NULLS in mode 1", "nulls", 1, false},
      {"number", "1", 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture fixture(c.text);
    EXPECT_EQ(fixture.p().at_item_end(0, c.mode), c.expected);
  }
}

// ---- diagnostics ----

TEST(ParserDiagnostics, RepeatRuleComparesWithTheLastSpanOnly) {
  Fixture fixture("a b");
  Parser& p = fixture.p();
  p.error("one");
  p.error("two");  // same token: dropped
  ASSERT_EQ(p.diagnostics.size(), 1u);
  p.bump();
  p.error("three");  // at b
  p.push_unchecked("warning at a", {0, 1});
  p.error("four");  // at b again, but the last span is a's
  ASSERT_EQ(p.diagnostics.size(), 4u);
  EXPECT_EQ(p.diagnostics[3].message, "four");
  p.push_unchecked("warning at b", {2, 3});
  p.push_unchecked("second warning at b", {2, 3});  // never dropped
  p.error("five");                                  // dropped after the warnings
  ASSERT_EQ(p.diagnostics.size(), 6u);
  EXPECT_EQ(p.diagnostics[5].severity, Severity::Warning);
}

TEST(ParserDiagnostics, ErrorBumpWrapsEvenWhenTheMessageIsDropped) {
  const RuleResult result = run_rule("x y", [](Parser& p) {
    p.error("first");
    p.error_bump("second");
  });
  EXPECT_EQ(result.dump, "OtherStmt\n  Error\n    Ident \"x\"\n  Error\n    Ident \"y\"\n");
  ASSERT_EQ(result.diagnostics.size(), 2u);  // "left over" at y is the second
  EXPECT_EQ(result.diagnostics[0].message, "first");
}

TEST(ParserDiagnostics, ExpectAndExpectName) {
  struct Case {
    const char* name;
    std::string text;
    Rule rule;
    std::string dump;
    size_t diagnostics;
  };
  const Case cases[] = {
      {"expect matches", "(", [](Parser& p) { p.expect(TokenKind::LParen, "expected ("); },
       "OtherStmt\n  LParen \"(\"\n", 0},
      {"expect fails without consuming", "x",
       [](Parser& p) { p.expect(TokenKind::LParen, "expected ("); },
       "OtherStmt\n  Error\n    Ident \"x\"\n", 1},
      {"expect_name takes a quoted name", "\"X\"", [](Parser& p) { p.expect_name("name"); },
       "OtherStmt\n  QuotedIdent \"\\\"X\\\"\"\n", 0},
      {"expect_name refuses a substitution", "&x", [](Parser& p) { p.expect_name("name"); },
       "OtherStmt\n  Error\n    Substitution \"&x\"\n", 1},
      {"expect_name at the end", "", [](Parser& p) { p.expect_name("name"); }, "OtherStmt\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RuleResult result = run_rule(c.text, c.rule);
    EXPECT_EQ(result.dump, c.dump);
    EXPECT_EQ(result.diagnostics.size(), c.diagnostics);
  }
}

// ---- tree primitives ----

TEST(ParserPrimitives, SkipClause) {
  struct Case {
    const char* name;
    std::string text;
    std::string dump;
  };
  const Case cases[] = {
      {"a whole parenthesis group", "( a , ( b ) ) c",
       "OtherStmt\n  SkippedClause\n    LParen \"(\"\n    Ident \"a\"\n    Comma \",\"\n"
       "    LParen \"(\"\n    Ident \"b\"\n    RParen \")\"\n    RParen \")\"\n"
       "  Error\n    Ident \"c\"\n"},
      {"one word", "x (y)",
       "OtherStmt\n  SkippedClause\n    Ident \"x\"\n  Error\n    LParen \"(\"\n"
       "    Ident \"y\"\n    RParen \")\"\n"},
      {"a closing parenthesis alone", ") x",
       "OtherStmt\n  SkippedClause\n    RParen \")\"\n  Error\n    Ident \"x\"\n"},
      {"an unclosed group runs to the end", "( a ; b",
       "OtherStmt\n  SkippedClause\n    LParen \"(\"\n    Ident \"a\"\n    Semicolon \";\"\n"
       "    Ident \"b\"\n"},
      {"end of input", "", "OtherStmt\n  SkippedClause\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RuleResult result = run_rule(c.text, [](Parser& p) { p.skip_clause(); });
    EXPECT_EQ(result.dump, c.dump);
  }
}

TEST(ParserPrimitives, EatAndEatWordConsumeOnlyWhatIsThere) {
  struct Case {
    const char* name;
    std::string text;
    bool by_word;
    std::string_view word;  // for eat_word
    TokenKind kind;         // for eat
    bool eaten;
    uint32_t pos_after;
  };
  const Case cases[] = {
      {"the word, folded", "nowait x", true, "NOWAIT", TokenKind::Ident, true, 1},
      {"another word", "wait x", true, "NOWAIT", TokenKind::Ident, false, 0},
      {"a longer word", "nowaits", true, "NOWAIT", TokenKind::Ident, false, 0},
      {"a quoted name is no word", "\"NOWAIT\"", true, "NOWAIT", TokenKind::Ident, false, 0},
      {"end of input", "  ", true, "NOWAIT", TokenKind::Ident, false, 0},
      {"the kind, after trivia", " /* c */ ; x", false, "", TokenKind::Semicolon, true, 1},
      {"another kind", ", x", false, "", TokenKind::Semicolon, false, 0},
      {"kind at end of input", "", false, "", TokenKind::Semicolon, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture fixture(c.text);
    Parser& p = fixture.p();
    const bool eaten = c.by_word ? p.eat_word(c.word) : p.eat(c.kind);
    EXPECT_EQ(eaten, c.eaten);
    EXPECT_EQ(p.pos, c.pos_after);
    EXPECT_TRUE(p.diagnostics.empty());
  }
}

TEST(ParserPrimitives, SkipClauseWarnsBeforeTheRepeatTest) {
  const RuleResult result = run_rule("x", [](Parser& p) {
    p.error("an error at x");
    p.skip_clause("skipped");
  });
  ASSERT_EQ(result.diagnostics.size(), 2u);
  EXPECT_EQ(result.diagnostics[1].message, "skipped");
  EXPECT_EQ(result.diagnostics[1].severity, Severity::Warning);
}

TEST(ParserPrimitives, SkipToStatementEnd) {
  struct Case {
    const char* name;
    std::string text;
    std::string rest;  // text of the token where the walk stopped
    uint32_t stopped_at;
  };
  const Case cases[] = {
      {"semicolon inside parentheses is bumped", "a ( b ; c ) d ; e", ";", 7},
      {"unmatched ) lets the next ; stop", "a ) b ; c", ";", 3},
      {"no semicolon", "a b", "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture fixture(c.text);
    fixture.p().skip_to_statement_end();
    EXPECT_EQ(fixture.p().pos, c.stopped_at);
    EXPECT_EQ(fixture.p().text_at(0), c.rest);
  }
}

TEST(ParserPrimitives, TriviaLandsBeforeNodesAndInsideThem) {
  // a /*1*/ b /*2*/ c /*3*/ with b and c in one NameRef-like node.
  const std::string text = "a /*1*/ b /*2*/ c /*3*/";
  Fixture fixture(text);
  Parser& p = fixture.p();
  const veltrane::syntax::Checkpoint root = p.builder.checkpoint();
  p.bump();
  p.start_node(NodeKind::NameRef);
  p.bump();
  p.bump();
  p.finish_node();
  veltrane::parser::finish_item(p, root, NodeKind::OtherStmt, "left over");
  const veltrane::syntax::Tree tree = std::move(p.builder).finish();
  const uint32_t name_ref = 0;
  ASSERT_EQ(tree.nodes[name_ref].kind, veltrane::syntax::syntax_kind(NodeKind::NameRef));
  // Tokens: a, ws, /*1*/, ws, b, ws, /*2*/, ws, c, ws, /*3*/
  ASSERT_EQ(tree.tokens.size(), 11u);
  EXPECT_EQ(tree.token_parents[2], tree.root);  // before the node: in the parent
  EXPECT_EQ(tree.token_parents[3], tree.root);
  EXPECT_EQ(tree.token_parents[6], name_ref);   // between two tokens of the node
  EXPECT_EQ(tree.token_parents[9], tree.root);  // trailing trivia: in the root
  EXPECT_EQ(tree.token_parents[10], tree.root);
  expect_lossless(tree, text);
}

TEST(ParserPrimitives, NodeOpenedAtEndOfInputLeavesTriviaToItsParent) {
  const std::string text = "x -- tail";
  Fixture fixture(text);
  Parser& p = fixture.p();
  const veltrane::syntax::Checkpoint root = p.builder.checkpoint();
  p.bump();
  p.start_node(NodeKind::Alias);
  p.bump();  // nothing at end of input
  p.finish_node();
  veltrane::parser::finish_item(p, root, NodeKind::OtherStmt, "left over");
  const veltrane::syntax::Tree tree = std::move(p.builder).finish();
  EXPECT_EQ(tree.nodes[0].count, 0u);  // the empty Alias
  EXPECT_EQ(tree.token_parents[2], tree.root);
  EXPECT_TRUE(p.diagnostics.empty());
}

// ---- guards ----

TEST(ParserGuards, FlagsAreRestoredOnEveryPath) {
  Fixture fixture("x");
  Parser& p = fixture.p();
  p.in_plsql = true;
  {
    veltrane::parser::ConditionGuard condition(p, true);
    EXPECT_TRUE(p.in_condition);
    {
      veltrane::parser::ClearFlagsGuard cleared(p);
      EXPECT_FALSE(p.in_condition);
      EXPECT_FALSE(p.in_plsql);
    }
    EXPECT_TRUE(p.in_condition);
    EXPECT_TRUE(p.in_plsql);
  }
  EXPECT_FALSE(p.in_condition);
  const auto throwing = [&] {
    veltrane::parser::PlsqlGuard plsql(p, false);
    throw 1;
  };
  EXPECT_THROW(throwing(), int);
  EXPECT_TRUE(p.in_plsql);
}

TEST(ParserGuards, DepthGuardsChangeNothingAtTheLimit) {
  Fixture fixture("x");
  Parser& p = fixture.p();
  p.depth = veltrane::parser::MAX_DEPTH - 1;
  {
    veltrane::parser::DepthGuard below(p);
    EXPECT_TRUE(below.entered());
    EXPECT_EQ(p.depth, veltrane::parser::MAX_DEPTH);
    veltrane::parser::DepthGuard at_limit(p);
    EXPECT_FALSE(at_limit.entered());
    EXPECT_EQ(p.depth, veltrane::parser::MAX_DEPTH);
  }
  EXPECT_EQ(p.depth, veltrane::parser::MAX_DEPTH - 1);
  p.structure_depth = veltrane::parser::MAX_STRUCTURE_DEPTH;
  {
    veltrane::parser::StructureGuard at_limit(p);
    EXPECT_FALSE(at_limit.entered());
  }
  EXPECT_EQ(p.structure_depth, veltrane::parser::MAX_STRUCTURE_DEPTH);
}

TEST(ParserGuards, RecoverTooDeep) {
  struct Case {
    const char* name;
    std::string text;
    std::string dump;
  };
  const Case cases[] = {
      {"runs to the unmatched ), crossing ;", "a ( b ) ; c ) d",
       "OtherStmt\n  Error\n    Ident \"a\"\n    LParen \"(\"\n    Ident \"b\"\n"
       "    RParen \")\"\n    Semicolon \";\"\n    Ident \"c\"\n  Error\n    RParen \")\"\n"
       "    Ident \"d\"\n"},
      {"at ) builds nothing", ") d", "OtherStmt\n  Error\n    RParen \")\"\n    Ident \"d\"\n"},
      {"counts [ ] and { } with ( ), and stops at an unmatched ]", "a [ ( ] ) { } ] d",
       "OtherStmt\n  Error\n    Ident \"a\"\n    LBracket \"[\"\n    LParen \"(\"\n"
       "    RBracket \"]\"\n    RParen \")\"\n    LBrace \"{\"\n    RBrace \"}\"\n  Error\n"
       "    RBracket \"]\"\n    Ident \"d\"\n"},
      {"at the end builds nothing", "", "OtherStmt\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RuleResult result = run_rule(c.text, veltrane::parser::recover_too_deep);
    EXPECT_EQ(result.dump, c.dump);
    ASSERT_FALSE(result.diagnostics.empty());
    EXPECT_EQ(result.diagnostics[0].message, "nesting too deep");
  }
}

// ---- parse entries ----

TEST(ParseEntries, LeftoversGoToOneErrorNodeWithTriviaAroundIt) {
  const std::string text = "/* lead */ explain plan ) /* mid */ x -- tail";
  const veltrane::parser::ParsedStatement parsed = parse_sql(text);
  EXPECT_EQ(dump_statement(text, parsed),
            "ExplainStmt\n  Ident \"explain\"\n  SkippedClause\n    Ident \"plan\"\n"
            "  Error\n    RParen \")\"\n    Ident \"x\"\n");
  ASSERT_EQ(parsed.diagnostics.size(), 1u);
  EXPECT_EQ(parsed.diagnostics[0].message, "unexpected tokens after the statement");
  EXPECT_EQ(parsed.diagnostics[0].start, text.find(')'));
  const veltrane::syntax::Tree& tree = parsed.tree;
  const uint32_t error_node = tree.root - 1;
  ASSERT_EQ(tree.nodes[error_node].kind, veltrane::syntax::syntax_kind(NodeKind::Error));
  // Tokens: /* lead */, ws, explain, ws, plan, ws, ), ws, /* mid */, ws, x, ws, -- tail
  EXPECT_EQ(tree.token_parents[0], tree.root);
  EXPECT_EQ(tree.token_parents[5], tree.root);
  EXPECT_EQ(tree.token_parents[8], error_node);
  EXPECT_EQ(tree.token_parents[12], tree.root);
  expect_lossless(tree, text);
}

TEST(ParseEntries, ItemsWithoutSignificantTokens) {
  const std::string text = "commit;  ;";
  const ParseOptions options{};
  {
    SCOPED_TRACE("no tokens: the span is the item's start");
    const veltrane::parser::ParsedStatement parsed =
        veltrane::parser::parse_statement(text, {}, options, 9);
    EXPECT_EQ(root_kind_name(parsed.tree), "OtherStmt");
    ASSERT_EQ(parsed.diagnostics.size(), 1u);
    EXPECT_EQ(parsed.diagnostics[0].start, 9u);
    EXPECT_EQ(parsed.diagnostics[0].end, 9u);
    EXPECT_EQ(parsed.diagnostics[0].severity, Severity::Warning);
  }
  {
    SCOPED_TRACE("only trivia: the end of the last token");
    const std::string comment = "x /* only */";
    const veltrane::lexer::LexResult lexed = veltrane::lexer::lex_text(comment);
    const std::span<const veltrane::lexer::Token> trivia =
        std::span<const veltrane::lexer::Token>(lexed.tokens).subspan(1);
    const veltrane::parser::ParsedStatement parsed =
        veltrane::parser::parse_statement(comment, trivia, options, 1);
    EXPECT_EQ(root_kind_name(parsed.tree), "OtherStmt");
    EXPECT_EQ(parsed.tree.tokens.size(), 2u);
    ASSERT_EQ(parsed.diagnostics.size(), 1u);
    EXPECT_EQ(parsed.diagnostics[0].start, comment.size());
  }
}

TEST(ParseEntries, ConditionalCompilationDiagnosticsComeFirst) {
  const std::string text = "begin x := 1; $IF $$debug $THEN y := 2; end;";
  const veltrane::lexer::LexResult lexed = veltrane::lexer::lex_text(text);
  const ParseOptions options{};
  const veltrane::lexer::CcResult compiled =
      veltrane::lexer::apply_conditional_compilation(text, lexed.tokens, options);
  ASSERT_FALSE(compiled.diagnostics.empty());
  const veltrane::parser::ParsedStatement parsed =
      veltrane::parser::parse_plsql_unit(text, lexed.tokens, options);
  ASSERT_GE(parsed.diagnostics.size(), compiled.diagnostics.size());
  for (size_t i = 0; i < compiled.diagnostics.size(); ++i) {
    EXPECT_EQ(parsed.diagnostics[i], compiled.diagnostics[i]);
  }
  expect_lossless(parsed.tree, text);
}

TEST(ParseEntries, ParseItemTakesTheEntryOfTheItemsKind) {
  struct Case {
    const char* name;
    std::string text;
    // Root kind per item; empty where the item gives no tree.
    std::vector<std::string> roots;
  };
  const std::vector<Case> cases = {
      {"command, statement, stray terminator",
       "set echo on\nselect 1 from dual;\n;\n",
       {"", "SelectStmt", ""}},
      {"unit and its slash line", "begin null; end;\n/\nprompt done\n", {"AnonymousBlock", ""}},
      {"unterminated statement at the end", "delete from t", {"DeleteStmt"}},
      {"unit with a directive", "begin $if $$x $then null; $end end;\n/\n", {"AnonymousBlock"}},
  };
  const ParseOptions options{};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const veltrane::lexer::SplitResult split = veltrane::lexer::split_script(c.text);
    ASSERT_EQ(split.items.size(), c.roots.size());
    for (size_t i = 0; i < split.items.size(); ++i) {
      SCOPED_TRACE(i);
      const veltrane::lexer::ScriptItem& item = split.items[i];
      const std::optional<veltrane::parser::ParsedStatement> parsed =
          veltrane::parser::parse_item(c.text, split, item, options);
      if (c.roots[i].empty()) {
        EXPECT_FALSE(parsed.has_value());
        continue;
      }
      ASSERT_TRUE(parsed.has_value());
      EXPECT_EQ(root_kind_name(parsed->tree), c.roots[i]);
      // The same tree and diagnostics as the entry of the item's kind over its slice.
      const std::span<const veltrane::lexer::Token> slice =
          std::span<const veltrane::lexer::Token>(split.tokens)
              .subspan(item.first_token, item.end_token - item.first_token);
      const veltrane::parser::ParsedStatement direct =
          item.kind == veltrane::lexer::ScriptItemKind::PlSql
              ? veltrane::parser::parse_plsql_unit(c.text, slice, options, item.start)
              : veltrane::parser::parse_statement(c.text, slice, options, item.start);
      EXPECT_EQ(dump_statement(c.text, *parsed), dump_statement(c.text, direct));
      EXPECT_EQ(parsed->diagnostics, direct.diagnostics);
      EXPECT_EQ(veltrane::syntax::node_text(parsed->tree, parsed->tree.root, c.text),
                std::string_view(c.text).substr(item.start, item.end - item.start));
    }
  }
}

TEST(ParseEntries, FlagsDoNotChangeSqlTrees) {
  const std::string text = "select $$flag, $if from t where a = 1 x";
  ParseOptions with_flags{};
  with_flags.ccflags.emplace("FLAG", veltrane::lexer::CcValue{true});
  const veltrane::parser::ParsedStatement plain = parse_sql(text);
  const veltrane::parser::ParsedStatement flagged = parse_sql(text, with_flags);
  EXPECT_EQ(dump_statement(text, plain), dump_statement(text, flagged));
  EXPECT_EQ(plain.diagnostics, flagged.diagnostics);
}

// ---- statement dispatch ----

TEST(StatementDispatch, FirstWordsChooseTheKind) {
  struct Case {
    std::string text;
    const char* root;
    bool not_modelled_warning;
  };
  const Case cases[] = {
      {"Insert into t values (1)", "InsertStmt", false},
      {"insert into t select * from s", "InsertStmt", false},
      {"\"INSERT\" into t values (1)", "OtherStmt", true},
      {"values (1, 2)", "SelectStmt", false},
      {"values", "OtherStmt", true},
      {"values 1", "OtherStmt", true},
      {"((select 1 from dual))", "SelectStmt", false},
      {"with q as (select 1 from dual) select * from q", "SelectStmt", false},
      {"update t set a = 1", "UpdateStmt", false},
      {"delete from t", "DeleteStmt", false},
      {"merge into t using s on (t.a = s.a) when matched then update set b = 1", "MergeStmt",
       false},
      {"create table t (a number)", "CreateTable", false},
      {"alter table t add c number", "AlterTable", false},
      {"ALTER INDEX i REBUILD", "OtherStmt", true},
      {"drop table t (x; y)", "DropStmt", false},
      {"truncate table t", "TruncateStmt", false},
      {"comment on table t is 'x'", "CommentStmt", false},
      {"comment \"ON\" x", "OtherStmt", true},
      {"grant select on t to u", "GrantStmt", false},
      {"revoke select on t from u", "RevokeStmt", false},
      {"commit work", "CommitStmt", false},
      {"rollback", "RollbackStmt", false},
      {"savepoint s", "SavepointStmt", false},
      {"set transaction read only", "SetTransactionStmt", false},
      {"SET ROLE ALL", "OtherStmt", true},
      {"lock table t in exclusive mode", "LockTableStmt", false},
      {"LOCK", "OtherStmt", true},
      {"call p(1)", "CallStmt", false},
      {"explain plan for select 1 from dual", "ExplainStmt", false},
      {"analyze table t validate structure", "OtherStmt", true},
      {"", "OtherStmt", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const veltrane::parser::ParsedStatement parsed = parse_sql(c.text);
    EXPECT_EQ(root_kind_name(parsed.tree), c.root);
    EXPECT_EQ(count_message(parsed.diagnostics, "statement kind not modelled: kept as tokens"),
              c.not_modelled_warning ? 1u : 0u);
    EXPECT_EQ(count_message(parsed.diagnostics, "unexpected tokens after the statement"), 0u);
    expect_lossless(parsed.tree, c.text);
  }
}

TEST(StatementDispatch, NotModelledWarningIsNotSubjectToTheRepeatTest) {
  // The warning stands at ALTER, and nothing else is reported.
  const veltrane::parser::ParsedStatement parsed = parse_sql("ALTER INDEX i REBUILD");
  ASSERT_EQ(parsed.diagnostics.size(), 1u);
  EXPECT_EQ(parsed.diagnostics[0].start, 0u);
  EXPECT_EQ(parsed.diagnostics[0].end, 5u);
  EXPECT_EQ(dump_statement("ALTER INDEX i REBUILD", parsed),
            "OtherStmt\n  Ident \"ALTER\"\n  Ident \"INDEX\"\n  Ident \"i\"\n"
            "  Ident \"REBUILD\"\n");
}

std::string explain_chain(size_t levels) {
  std::string text;
  text.reserve(levels * 18 + 8);
  for (size_t i = 0; i < levels; ++i) {
    text += "explain plan for ";
  }
  text += "commit";
  return text;
}

TEST(StatementDispatch, ExplainChainsStopAtTheStructuralLimit) {
  const std::string text = explain_chain(300);
  const veltrane::parser::ParsedStatement parsed = parse_sql(text);
  ASSERT_EQ(parsed.diagnostics.size(), 1u);
  EXPECT_EQ(parsed.diagnostics[0].message, "nesting too deep");
  const size_t explain_nodes = static_cast<size_t>(std::count_if(
      parsed.tree.nodes.begin(), parsed.tree.nodes.end(), [](const veltrane::syntax::Node& node) {
        return node.kind == veltrane::syntax::syntax_kind(NodeKind::ExplainStmt);
      }));
  EXPECT_EQ(explain_nodes, veltrane::parser::MAX_STRUCTURE_DEPTH + 1);
  // The level that was not opened starts the leftover Error node.
  const veltrane::syntax::Node& last = parsed.tree.nodes[parsed.tree.root - 1];
  EXPECT_EQ(last.kind, veltrane::syntax::syntax_kind(NodeKind::Error));
  expect_lossless(parsed.tree, text);
}

TEST(StatementDispatch, LongExplainChainOnASmallStack) {
  const std::string text = explain_chain(100000);
  size_t diagnostics = 0;
  bool lossless = false;
  EXPECT_TRUE(run_on_small_stack([&] {
    const veltrane::parser::ParsedStatement parsed = parse_sql(text);
    diagnostics = parsed.diagnostics.size();
    size_t length = 0;
    for (const auto& token : parsed.tree.tokens) {
      length += token.end - token.start;
    }
    lossless = length == text.size();
  }));
  EXPECT_EQ(diagnostics, 1u);
  EXPECT_TRUE(lossless);
}

// Deep nesting of every recursive construct: one "nesting too deep", no crash on a
// 1 MiB stack, and every token kept.
TEST(ParserDepth, DeepNestingOnASmallStack) {
  struct Case {
    const char* name;
    std::string open;
    std::string middle;
    std::string close;
    std::string prefix;
    std::string suffix;
  };
  const Case cases[] = {
      {"parentheses", "(", "1", ")", "select ", " from dual"},
      {"subqueries", "(select ", "1 from dual", ")", "select * from ", ""},
      {"parenthesised joins", "(", "a join b on 1 = 1", ")", "select * from ", ""},
      {"grouping sets", "grouping sets (", "a", ")", "select a from t group by ", ""},
      {"nested COLUMNS", "nested path '$' columns (", "a number path '$.a'", ")",
       "select * from json_table(j, '$' columns (", "))"},
      // The argument tail's own lists, and the forms around them.
      {"JSON_TRANSFORM NESTED PATH", "nested path '$' (", "set '$.a' = 1", ")",
       "select json_transform(j, ", ") from t"},
      {"KEEP before NESTED PATH", "nested path '$' (", "set '$.a' = 1", ")",
       "select json_transform(j, keep ", ") from t"},
      {"JSON_TRANSFORM CASE", "case when 1 = 1 then (", "set '$.a' = 1", ") end",
       "select json_transform(j, ", ") from t"},
      {"member arrays", "1:[", "1", "]", "select f(", ") from dual"},
      {"member arrays in JSON {}", "['k' : ", "1", "]", "select json{'k' : ", "} from dual"},
      {"[ select ] arrays", "json{'k' : [select ", "1", " from dual]}", "select ", " from dual"},
      {"cost matrices", "prediction(m cost (a) values ((", "1", ")) using *)", "select ",
       " from t"},
      {"VALUES items", "(values ((select * from ", "dual", "))) v", "select * from ", ""},
      {"NESTED FROM", "nested path '$.a' columns (", "x number", ")",
       "select * from t nested j columns (", ")"},
      {"qualified-expression keys", "t(", "1", " => 2)", "select ", " from dual"},
  };
  // A tenth in the sanitizer and unoptimised builds: still far past what recursion holds.
  constexpr size_t levels = veltrane::test_support::LIMITS_REDUCED ? 10000 : 100000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.prefix;
    text.reserve(levels * (c.open.size() + c.close.size()) + 64);
    for (size_t i = 0; i < levels; ++i) {
      text += c.open;
    }
    text += c.middle;
    for (size_t i = 0; i < levels; ++i) {
      text += c.close;
    }
    text += c.suffix;
    size_t too_deep = 0;
    bool lossless = false;
    EXPECT_TRUE(run_on_small_stack([&] {
      const veltrane::parser::ParsedStatement parsed = parse_sql(text);
      too_deep = count_message(parsed.diagnostics, "nesting too deep");
      size_t length = 0;
      for (const auto& token : parsed.tree.tokens) {
        length += token.end - token.start;
      }
      lossless = length == text.size() &&
                 parsed.tree.tokens.size() == veltrane::lexer::lex_text(text).tokens.size();
    }));
    EXPECT_EQ(too_deep, 1u);
    EXPECT_TRUE(lossless);
  }
}

// ---- version gates ----

OracleVersion version(uint16_t major, uint16_t minor) { return OracleVersion{major, minor}; }

TEST(VersionGates, ReleaseTests) {
  using veltrane::parser::GateTest;
  struct Case {
    OracleVersion target;
    bool v12_1, v12_2, v18, v21, v23;  // true: warns
  };
  const Case cases[] = {
      {version(11, 2), true, true, true, true, true},
      {version(12, 0), true, true, true, true, true},
      {version(12, 1), false, true, true, true, true},
      {version(12, 2), false, false, true, true, true},
      {version(18, 0), false, false, false, true, true},
      {version(19, 0), false, false, false, true, true},
      {version(21, 0), false, false, false, false, true},
      {version(23, 0), false, false, false, false, false},
      {version(23, 26), false, false, false, false, false},
      {version(26, 1), false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.target.major) + "." + std::to_string(c.target.minor));
    EXPECT_EQ(veltrane::parser::version_fails(c.target, GateTest::V12_1), c.v12_1);
    EXPECT_EQ(veltrane::parser::version_fails(c.target, GateTest::V12_2), c.v12_2);
    EXPECT_EQ(veltrane::parser::version_fails(c.target, GateTest::V18), c.v18);
    EXPECT_EQ(veltrane::parser::version_fails(c.target, GateTest::V21), c.v21);
    EXPECT_EQ(veltrane::parser::version_fails(c.target, GateTest::V23), c.v23);
  }
  // "12c" reads as 12.0, so it fails the 12.1 test.
  const std::optional<OracleVersion> twelve_c = veltrane::lexer::parse_oracle_version("12c");
  ASSERT_TRUE(twelve_c.has_value());
  EXPECT_TRUE(veltrane::parser::version_fails(*twelve_c, GateTest::V12_1));
}

TEST(VersionGates, WarningsIgnoreTheRepeatTestButCountForIt) {
  ParseOptions old_target{};
  old_target.version = version(11, 2);
  {
    SCOPED_TRACE("gate then error at the same token");
    Fixture fixture("offset", old_target);
    Parser& p = fixture.p();
    EXPECT_TRUE(veltrane::parser::check_gate(p, veltrane::parser::Gate::RowLimiting));
    EXPECT_TRUE(veltrane::parser::check_gate(p, veltrane::parser::Gate::RowLimiting));
    p.error("dropped");
    ASSERT_EQ(p.diagnostics.size(), 2u);
    EXPECT_EQ(p.diagnostics[0].severity, Severity::Warning);
    EXPECT_EQ(p.diagnostics[0].message, "FETCH FIRST / OFFSET needs Oracle 12.1 or later");
  }
  {
    SCOPED_TRACE("error then gate at the same token");
    Fixture fixture("offset", old_target);
    Parser& p = fixture.p();
    p.error("kept");
    EXPECT_TRUE(veltrane::parser::check_gate(p, veltrane::parser::Gate::RowLimiting));
    EXPECT_EQ(p.diagnostics.size(), 2u);
  }
  {
    SCOPED_TRACE("at the end of the item: the empty span at its last token's end");
    Fixture fixture("select 1 ", old_target);
    Parser& p = fixture.p();
    p.bump();
    p.bump();
    EXPECT_TRUE(veltrane::parser::check_gate(p, veltrane::parser::Gate::SelectWithoutFrom));
    EXPECT_EQ(p.diagnostics[0].start, 9u);
    EXPECT_EQ(p.diagnostics[0].end, 9u);
  }
  {
    SCOPED_TRACE("a new enough target records nothing");
    Fixture fixture("offset");
    EXPECT_FALSE(veltrane::parser::check_gate(fixture.p(), veltrane::parser::Gate::RowLimiting));
    EXPECT_TRUE(fixture.p().diagnostics.empty());
  }
}

// Each gate fired through the grammar, once below its first release and once at it.
TEST(VersionGates, EachGateBelowAndAtItsFirstRelease) {
  using veltrane::parser::Gate;
  struct Case {
    Gate gate;
    std::string text;
    bool plsql;
    OracleVersion below;
    OracleVersion first;
    size_t warnings_below;
  };
  const Case cases[] = {
      {Gate::IdentityColumns, "create table t (id number generated always as identity)", false,
       version(12, 0), version(12, 1), 1},
      {Gate::RowLimiting, "select 1 from t offset 5 rows fetch next 5 rows only", false,
       version(11, 2), version(12, 1), 2},
      {Gate::Apply, "select * from a cross apply b", false, version(12, 0), version(12, 1), 1},
      {Gate::Apply, "select * from a outer apply (select 1 from dual)", false, version(12, 0),
       version(12, 1), 1},
      {Gate::Lateral, "select * from a, lateral (select 1 from dual)", false, version(12, 0),
       version(12, 1), 1},
      {Gate::WithFunction,
       "with function f return number is begin return 1; end; select f from dual", false,
       version(12, 0), version(12, 1), 1},
      {Gate::MatchRecognize, "select * from t match_recognize (pattern (a) define a as 1 = 1)",
       false, version(12, 0), version(12, 1), 1},
      {Gate::AccessibleBy, "create procedure p accessible by (q) is begin null; end;", true,
       version(12, 0), version(12, 1), 1},
      {Gate::ListaggOverflow,
       "select listagg(x, ',' on overflow truncate) within group (order by x) from t", false,
       version(12, 1), version(12, 2), 1},
      {Gate::ConversionError, "select to_number(x default 0 on conversion error) from t", false,
       version(12, 1), version(12, 2), 1},
      {Gate::ValidateConversion, "select validate_conversion(x as number) from t", false,
       version(12, 1), version(12, 2), 1},
      {Gate::PrivateTemporaryTables,
       "create private temporary table ora$ptt_x (a number) on commit drop definition", false,
       version(12, 2), version(18, 0), 1},
      {Gate::SqlMacros, "create function f return varchar2 sql_macro is begin return 'x'; end;",
       true, version(19, 0), version(21, 0), 1},
      {Gate::ExceptAndSetAll, "select 1 from a except select 1 from b", false, version(19, 0),
       version(21, 0), 1},
      {Gate::ExceptAndSetAll, "select 1 from a minus all select 1 from b", false, version(19, 0),
       version(21, 0), 1},
      {Gate::IfExists, "create table if not exists t (a number)", false, version(21, 0),
       version(23, 0), 1},
      {Gate::SelectWithoutFrom, "select 1", false, version(19, 0), version(23, 0), 1},
      {Gate::ValuesRowConstructors, "values (1, 2)", false, version(19, 0), version(23, 0), 1},
      {Gate::ValuesRowConstructors, "insert into t values (1), (2)", false, version(19, 0),
       version(23, 0), 1},
      {Gate::DmlFromOrJoins, "update t set a = 1 from s where t.k = s.k", false, version(19, 0),
       version(23, 0), 1},
      {Gate::ReturningOldNew, "update t set a = 1 returning old a into :x", false, version(19, 0),
       version(23, 0), 1},
      {Gate::VectorType, "create table t (v vector(768, int8), w vector(*, float32, sparse))",
       false, version(19, 0), version(23, 0), 2},
      {Gate::VectorType, "declare v vector(3); w vector; begin null; end;", true, version(19, 0),
       version(23, 0), 1},
      {Gate::ApproximateFetch,
       "select * from t order by v fetch approx first 3 rows only with target accuracy 90 percent",
       false, version(19, 0), version(23, 0), 1},
      {Gate::ApproximateFetch, "select * from t fetch exact first 3 rows only", false,
       version(19, 0), version(23, 0), 1},
      {Gate::PartitionedFetch, "select * from t fetch first 2 partitions by g, 4 rows only", false,
       version(19, 0), version(23, 0), 1},
      {Gate::CaseChoices, "begin x := case y when 1, 2 then 'a' when < 0 then 'b' end; end;", true,
       version(21, 0), version(23, 0), 2},
      {Gate::CaseChoices,
       "begin case y when is null, 1, 2 then null; when 3 then null; end case; end;", true,
       version(19, 0), version(23, 0), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string_view message = veltrane::parser::gate_row(c.gate).message;
    const veltrane::lexer::LexResult lexed = veltrane::lexer::lex_text(c.text);
    for (const auto& [target, expected] :
         {std::pair{c.below, c.warnings_below}, std::pair{c.first, size_t{0}}}) {
      ParseOptions options{};
      options.version = target;
      const veltrane::parser::ParsedStatement parsed =
          c.plsql ? veltrane::parser::parse_plsql_unit(c.text, lexed.tokens, options)
                  : veltrane::parser::parse_statement(c.text, lexed.tokens, options);
      EXPECT_EQ(count_message(parsed.diagnostics, message), expected)
          << "target " << target.major << "." << target.minor;
      for (const Diagnostic& diagnostic : parsed.diagnostics) {
        EXPECT_EQ(diagnostic.severity, Severity::Warning) << diagnostic.message;
      }
    }
  }
}

TEST(VersionGates, UnionAllNeverWarns) {
  ParseOptions options{};
  options.version = version(11, 2);
  const veltrane::parser::ParsedStatement parsed =
      parse_sql("select 1 from a union all select 2 from b", options);
  EXPECT_TRUE(parsed.diagnostics.empty());
}

// ---- word tables ----

TEST(WordTables, IsReservedByMode) {
  struct Case {
    std::string word;
    bool mode0, mode1, mode2;
  };
  const Case cases[] = {
      {"select", true, true, true},
      {"SELECT", true, true, true},
      {"\"SELECT\"", false, false, false},
      {"rowid", true, true, true},
      {"level", true, true, true},
      {"uid", true, true, true},
      {"join", false, true, false},
      {"pivot", false, true, false},
      {"returning", false, true, false},
      {"log", false, true, false},
      {"bulk", true, false, false},
      {"fetch", true, true, true},
      {"offset", true, true, true},
      {"window", true, true, true},
      {"except", true, true, false},
      {"range", false, false, true},
      {"groups", false, false, true},
      {"nulls", false, false, true},
      {"rows", true, true, true},
      {"total", false, false, false},
      {"&x", false, false, false},
      {"1", false, false, false},
      {"s\xC3\x89lect", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    Fixture fixture(c.word);
    EXPECT_EQ(veltrane::parser::is_reserved(fixture.p(), 0, 0), c.mode0);
    EXPECT_EQ(veltrane::parser::is_reserved(fixture.p(), 0, 1), c.mode1);
    EXPECT_EQ(veltrane::parser::is_reserved(fixture.p(), 0, 2), c.mode2);
    EXPECT_FALSE(veltrane::parser::is_reserved(fixture.p(), 1, 2));  // past the end
  }
}

TEST(WordTables, PublicTablesKeepTheirOrderAndStopListsMatchIdentsOnly) {
  EXPECT_EQ(veltrane::parser::RESERVED_WORDS.front(), "ACCESS");
  EXPECT_EQ(veltrane::parser::RESERVED_WORDS.back(), "WITH");
  EXPECT_EQ(veltrane::parser::PLSQL_RESERVED_WORDS.front(), "ALL");
  EXPECT_EQ(veltrane::parser::PLSQL_RESERVED_WORDS.back(), "WITH");
  Fixture quoted("\"END\" end");
  EXPECT_FALSE(quoted.p().at_any_word(0, veltrane::parser::END_STOP_WORDS));
  EXPECT_TRUE(quoted.p().at_any_word(1, veltrane::parser::END_STOP_WORDS));
  EXPECT_FALSE(veltrane::parser::word_in(veltrane::parser::RESERVED_WORDS, "SELECTS"));
  EXPECT_TRUE(veltrane::parser::word_in(veltrane::parser::RESERVED_WORDS, "varchar2"));
}

// ---- names ----

TEST(Names, NameRules) {
  struct Case {
    const char* name;
    std::string text;
    Rule rule;
    std::string dump;
    size_t diagnostics;  // besides "left over"
  };
  const Rule name_ref = veltrane::parser::parse_name_ref;
  const Rule object_name = veltrane::parser::parse_object_name;
  const Rule lexical = veltrane::parser::parse_lexical;
  const Case cases[] = {
      {"two parts and a link", "s.t@db", name_ref,
       "OtherStmt\n  NameRef\n    Ident \"s\"\n    Dot \".\"\n    Ident \"t\"\n    At \"@\"\n"
       "    Ident \"db\"\n",
       0},
      {"dotted star", "t.*", name_ref,
       "OtherStmt\n  NameRef\n    Ident \"t\"\n    Dot \".\"\n    Star \"*\"\n", 0},
      {"spaces around the dot", "a . b", name_ref,
       "OtherStmt\n  NameRef\n    Ident \"a\"\n    Dot \".\"\n    Ident \"b\"\n", 0},
      {"stops before (", "pkg.proc(", name_ref,
       "OtherStmt\n  NameRef\n    Ident \"pkg\"\n    Dot \".\"\n    Ident \"proc\"\n"
       "  Error\n    LParen \"(\"\n",
       0},
      {"glued substitution", "emp_&sfx", name_ref,
       "OtherStmt\n  NameRef\n    Ident \"emp_\"\n    Substitution \"&sfx\"\n", 0},
      {"spaced substitution", "emp_ &sfx", name_ref,
       "OtherStmt\n  NameRef\n    Ident \"emp_\"\n  Error\n    Substitution \"&sfx\"\n", 0},
      {"substitution with its dot", "&schema.orders", name_ref,
       "OtherStmt\n  NameRef\n    Substitution \"&schema.\"\n    Ident \"orders\"\n", 0},
      {"object name", "s.t", object_name,
       "OtherStmt\n  ObjectName\n    NameRef\n      Ident \"s\"\n      Dot \".\"\n"
       "      Ident \"t\"\n",
       0},
      {"object name at a number", "5", object_name,
       "OtherStmt\n  ObjectName\n  Error\n    Number \"5\"\n", 1},
      {"object name at the end", "", object_name, "OtherStmt\n  ObjectName\n", 1},
      {"lexical piece", "&a.b&c x", lexical,
       "OtherStmt\n  Lexical\n    Substitution \"&a.\"\n    Ident \"b\"\n"
       "    Substitution \"&c\"\n  Error\n    Ident \"x\"\n",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RuleResult result = run_rule(c.text, c.rule);
    EXPECT_EQ(result.dump, c.dump);
    EXPECT_EQ(result.diagnostics.size() - count_message(result.diagnostics, "left over"),
              c.diagnostics);
  }
}

TEST(Names, ObjectNameErrorLeavesAnEmptyNode) {
  const RuleResult result = run_rule("5", veltrane::parser::parse_object_name);
  ASSERT_FALSE(result.diagnostics.empty());
  EXPECT_EQ(result.diagnostics[0].message, "expected a name");
}

TEST(Names, AtLexical) {
  struct Case {
    std::string text;
    bool mode0, mode1, mode2;
  };
  const Case cases[] = {
      {"&p AND x = 1", false, false, false}, {"&p x = 1", true, true, true},
      {"&cols, x", false, false, false},     {"&col alias FROM t", false, false, true},
      {"&col alias", false, false, true},    {"&col \"Alias\" , x", false, false, true},
      {"&x (+)", false, false, false},       {"&x ( 1 )", true, true, true},
      {"&x(1)", false, false, false},        {"&x 1", true, true, true},
      {"&x 'a'", true, true, true},          {"&x :b", true, true, true},
      {"&x &y", true, true, true},           {"&x.y z w", true, true, true},
      {"&x sysdate", true, false, true},     {"&x not", false, false, false},
      {"&x from", false, false, false},      {"&x join y", true, false, true},
      {"&x", false, false, false},           {"&x = 1", false, false, false},
      {"x y", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Fixture fixture(c.text);
    EXPECT_EQ(veltrane::parser::at_lexical(fixture.p(), 0), c.mode0);
    EXPECT_EQ(veltrane::parser::at_lexical(fixture.p(), 1), c.mode1);
    EXPECT_EQ(veltrane::parser::at_lexical(fixture.p(), 2), c.mode2);
  }
}

}  // namespace
