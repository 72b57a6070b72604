// The fuzz checks must fire: each case breaks one property of a correct result (taken
// from the real lexer, splitter, conditional compilation and parser, or built by hand)
// and expects the check to abort with its message. A check that never fires would let
// the fuzzers pass anything.

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalog/catalog.hpp"
#include "fuzz_checks.hpp"
#include "lexer/conditional_compilation.hpp"
#include "lexer/lexer.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_statement.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"

namespace veltrane::fuzz {
namespace {

using lexer::Diagnostic;
using lexer::Token;
using syntax::NodeKind;
using syntax::TokenKind;

struct BreakCase {
  std::string name;
  std::function<void()> broken;
  std::string message;
};

void expect_each_fires(const std::vector<BreakCase>& cases) {
  for (const BreakCase& breaking : cases) {
    SCOPED_TRACE(breaking.name);
    EXPECT_DEATH(breaking.broken(), "fuzz check failed: .*" + breaking.message);
  }
}

constexpr std::string_view SCRIPT = "select 1;\nprompt hi\nbegin null; end;\n/\n";

TEST(FuzzChecksTest, CorrectResultsPass) {
  const lexer::LexResult lexed = lexer::lex_text(SCRIPT);
  check_token_cover(SCRIPT, lexed.tokens);
  const lexer::SplitResult split = lexer::split_script(SCRIPT);
  check_split(SCRIPT, split);
  const lexer::ScriptItem& block = split.items[2];
  const std::span<const Token> tokens =
      std::span<const Token>(split.tokens)
          .subspan(block.first_token, block.end_token - block.first_token);
  const lexer::CcResult compiled = lexer::apply_conditional_compilation(SCRIPT, tokens, {});
  check_conditional_compilation(tokens, compiled.tokens);
  const parser::ParsedStatement parsed = parser::parse_plsql_unit(SCRIPT, tokens, {});
  check_tree(parsed.tree, compiled.tokens);
  check_diagnostics(SCRIPT, parsed.diagnostics, block.start, block.end);
}

TEST(FuzzChecksTest, TokenCoverChecksFire) {
  const std::string_view text = "select 1";
  const std::vector<Token> tokens = lexer::lex_text(text).tokens;
  const auto broken = [&](auto change) {
    return [=] {
      std::vector<Token> copy = tokens;
      change(copy);
      check_token_cover(text, copy);
    };
  };
  expect_each_fires({
      {"gap", broken([](std::vector<Token>& t) { t.erase(t.begin() + 1); }), "tokens leave a gap"},
      {"overlap", broken([](std::vector<Token>& t) { --t[1].start; }), "tokens leave a gap"},
      {"short", broken([](std::vector<Token>& t) { t.pop_back(); }), "tokens stop before the end"},
      {"empty", broken([](std::vector<Token>& t) { t[0].end = t[0].start; }), "empty or reversed"},
      {"past the end", broken([](std::vector<Token>& t) { ++t.back().end; }), "token end outside"},
      {"inside a character",
       [] {
         check_token_cover(
             "\xC3\xA9", std::vector<Token>{{0, 1, TokenKind::Ident}, {1, 2, TokenKind::Unknown}});
       },
       "token end outside the text or inside a character"},
  });
}

TEST(FuzzChecksTest, DiagnosticChecksFire) {
  const std::string_view text = "ab \xC3\xA9";
  const auto with = [&](Diagnostic diagnostic, uint32_t high) {
    return [=] { check_diagnostics(text, std::vector<Diagnostic>{diagnostic}, 0, high); };
  };
  expect_each_fires({
      {"reversed", with({"m", 2, 1}, 5), "diagnostic span reversed"},
      {"past the text", with({"m", 0, 6}, 6), "diagnostic end outside the text"},
      {"outside its item", with({"m", 0, 3}, 2), "diagnostic span outside its text"},
      {"start inside a character", with({"m", 4, 5}, 5),
       "diagnostic start outside the text or inside a character"},
      {"no message", with({"", 0, 1}, 5), "diagnostic without a message"},
  });
}

TEST(FuzzChecksTest, ConditionalCompilationChecksFire) {
  const std::vector<Token> before = lexer::lex_text("x := 1;").tokens;
  const auto broken = [&](auto change) {
    return [=] {
      std::vector<Token> after = before;
      change(after);
      check_conditional_compilation(before, after);
    };
  };
  expect_each_fires({
      {"moved", broken([](std::vector<Token>& t) { ++t[0].end; }), "moved a token"},
      {"dropped", broken([](std::vector<Token>& t) { t.pop_back(); }), "changed the token count"},
      {"other kind", broken([](std::vector<Token>& t) { t[0].kind = TokenKind::Number; }),
       "made a kind other than Inactive"},
  });
}

TEST(FuzzChecksTest, TreeChecksFire) {
  // SelectStmt(NameRef("a") " " "b"): node 0 NameRef, node 1 the root; children lists
  // [token 0] then [node 0, token 1, token 2].
  const std::vector<Token> tokens = {
      {0, 1, TokenKind::Ident}, {1, 2, TokenKind::Whitespace}, {2, 3, TokenKind::Ident}};
  syntax::TreeBuilder builder;
  builder.start_node(syntax::syntax_kind(NodeKind::SelectStmt));
  builder.start_node(syntax::syntax_kind(NodeKind::NameRef));
  for (const Token& token : tokens) {
    builder.token(syntax::syntax_kind(token.kind), token.start, token.end);
    if (token.start == 0) builder.finish_node();
  }
  builder.finish_node();
  const syntax::Tree tree = std::move(builder).finish();
  check_tree(tree, tokens);

  const auto broken = [&](auto change) {
    return [=] {
      syntax::Tree copy = tree;
      change(copy);
      check_tree(copy, tokens);
    };
  };
  expect_each_fires({
      {"root not last", broken([](syntax::Tree& t) { t.root = 0; }), "root is not the last node"},
      {"node parent", broken([](syntax::Tree& t) { t.nodes[0].parent = syntax::NO_PARENT; }),
       "node parent wrong"},
      {"token parent", broken([](syntax::Tree& t) { t.token_parents[1] = 0; }),
       "token parent wrong"},
      {"entry in two lists", broken([](syntax::Tree& t) {
         t.nodes[1].first = 0;
         t.nodes[1].count = 4;
       }),
       "child entry in two child lists"},
      {"entry in no list", broken([](syntax::Tree& t) { t.nodes[1].count = 2; }),
       "child entry in no child list"},
      {"tokens out of order",
       broken([](syntax::Tree& t) { std::swap(t.children[2], t.children[3]); }),
       "tokens out of source order"},
      {"token kind",
       broken([](syntax::Tree& t) { t.tokens[2].kind = syntax::syntax_kind(TokenKind::Number); }),
       "tree token differs"},
      {"node kind",
       broken([](syntax::Tree& t) { t.nodes[0].kind = syntax::syntax_kind(TokenKind::Ident); }),
       "node kind out of range"},
  });
}

TEST(FuzzChecksTest, SplitChecksFire) {
  const lexer::SplitResult split = lexer::split_script(SCRIPT);
  ASSERT_EQ(split.items.size(), 3u);  // select, prompt, the block ended by "/"
  const auto broken = [&](auto change) {
    return [=] {
      lexer::SplitResult copy = split;
      change(copy);
      check_split(SCRIPT, copy);
    };
  };
  expect_each_fires({
      {"token dropped", broken([](lexer::SplitResult& s) { s.tokens.erase(s.tokens.begin() + 1); }),
       "leave a gap or overlap"},
      {"command moved", broken([](lexer::SplitResult& s) { ++s.items[1].start; }),
       "leave a gap or overlap"},
      {"command named statement", broken([](lexer::SplitResult& s) { s.items[0].command = "SET"; }),
       "statement item with a command name"},
      {"range past the end", broken([](lexer::SplitResult& s) { ++s.items[0].end_token; }),
       "statement end is not its last token's end"},
      {"token lost", broken([](lexer::SplitResult& s) { --s.items[2].end_token; }),
       "statement end is not its last token's end"},
      {"terminator moved", broken([](lexer::SplitResult& s) { s.items[0].terminator_start = 0; }),
       "terminator token not found"},
      {"terminator dropped", broken([](lexer::SplitResult& s) {
         s.items[0].terminated = 0;
         s.items[0].terminator_start = 0;
         s.items[0].terminator_end = 0;
       }),
       "significant token outside every statement"},
  });
}

TEST(FuzzChecksTest, ResolutionChecksFire) {
  // 1/0 V VARIABLE DECLARATION, 2/0 SELECT, 3/2 V VARIABLE ASSIGNMENT.
  constexpr std::string_view BLOCK = "declare v number; begin select 1 into v from dual; end;";
  const lexer::SplitResult split = lexer::split_script(BLOCK);
  ASSERT_EQ(split.items.size(), 1u);
  const std::optional<parser::ParsedStatement> parsed =
      parser::parse_item(BLOCK, split, split.items[0], {});
  ASSERT_TRUE(parsed.has_value());
  const catalog::Catalog catalog;
  const std::unordered_map<std::string, resolve::PackageSpec> package_specs;
  const resolve::ResolvedRecords records =
      resolve::resolve_statement(*parsed, BLOCK, {"APP", catalog, nullptr, package_specs});
  ASSERT_EQ(records.identifiers.size(), 2u);
  ASSERT_EQ(records.statements.size(), 1u);
  ASSERT_EQ(records.statements[0].id, 2u);
  ASSERT_EQ(records.identifiers[1].parent, 2u);
  check_resolved(parsed->tree, records);
  check_resolved(parsed->tree, resolve::ResolvedRecords{});

  const syntax::Tree& tree = parsed->tree;
  const auto broken = [&](auto change) {
    return [=, &tree] {
      resolve::ResolvedRecords copy = records;
      change(copy);
      check_resolved(tree, copy);
    };
  };
  using Records = resolve::ResolvedRecords;
  expect_each_fires({
      {"id zero", broken([](Records& r) { r.identifiers[0].id = 0; }), "record id outside"},
      {"id past the count", broken([](Records& r) { r.identifiers[1].id = 4; }),
       "record id outside"},
      {"ids out of order",
       broken([](Records& r) { std::swap(r.identifiers[0], r.identifiers[1]); }),
       "record ids not increasing"},
      {"id in both lists", broken([](Records& r) { r.statements[0].id = 1; }),
       "record id used twice"},
      {"parent is itself", broken([](Records& r) { r.identifiers[1].parent = 3; }),
       "record parent is not an earlier id"},
      {"parent is later", broken([](Records& r) { r.statements[0].parent = 3; }),
       "record parent is not an earlier id"},
      {"start inside a token", broken([](Records& r) { r.identifiers[0].start = 1; }),
       "identifier record does not start on a token"},
      {"on a semicolon", broken([](Records& r) {
         r.identifiers[0].start = 16;  // the ";" after "number"
         r.identifiers[0].end = 17;
       }),
       "identifier record is not on a name token"},
      {"end past its token", broken([](Records& r) { ++r.identifiers[1].end; }),
       "identifier record does not end with its name token"},
      {"statement on whitespace", broken([](Records& r) { --r.statements[0].start; }),
       "statement record does not start on a significant token"},
      {"statement end inside a token", broken([](Records& r) { --r.statements[0].end; }),
       "statement record does not end on a token end"},
      {"statement end before its start",
       broken([](Records& r) { r.statements[0].end = r.statements[0].start - 1; }),
       "statement record does not end on a token end"},
  });
}

}  // namespace
}  // namespace veltrane::fuzz

namespace veltrane::fuzz {
namespace {

TEST(FuzzChecksTest, WhatEscapesAHarnessFails) {
  expect_each_fires({
      {"internal stop", [] { run_checked([] { syntax::stop("checkpoint is stale"); }); },
       "internal stop: checkpoint is stale"},
      {"exhausted allocator", [] { run_checked([] { throw std::bad_alloc(); }); }, "out of memory"},
      {"unexpected exception", [] { run_checked([] { throw std::runtime_error("boom"); }); },
       "unexpected exception: boom"},
  });
  bool ran = false;
  run_checked([&] { ran = true; });
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace veltrane::fuzz
