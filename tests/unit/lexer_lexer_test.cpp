#include "lexer/lexer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"

namespace veltrane::lexer {
namespace {

// Tokens as «Kind«text»» joined by blanks, diagnostics as «message[start,end)».
std::string render_tokens(std::string_view text, const std::vector<Token>& tokens) {
  std::string out;
  for (const Token& token : tokens) {
    if (!out.empty()) out += ' ';
    out += syntax::token_kind_name(token.kind);
    out += "«";
    out += text.substr(token.start, token.end - token.start);
    out += "»";
  }
  return out;
}

std::string render_diagnostics(const std::vector<Diagnostic>& diagnostics) {
  std::string out;
  for (const Diagnostic& diagnostic : diagnostics) {
    if (!out.empty()) out += ' ';
    out += std::string(diagnostic.message) + "[" + std::to_string(diagnostic.start) + "," +
           std::to_string(diagnostic.end) + ")";
  }
  return out;
}

// Every token is non-empty and the tokens cover the text from 0 to its end.
void expect_covering(std::string_view text, const LexResult& result) {
  uint32_t expected_start = 0;
  for (const Token& token : result.tokens) {
    ASSERT_EQ(token.start, expected_start);
    ASSERT_LT(token.start, token.end);
    expected_start = token.end;
  }
  ASSERT_EQ(expected_start, text.size());
  for (const Diagnostic& diagnostic : result.diagnostics) {
    ASSERT_LE(diagnostic.start, diagnostic.end);
    ASSERT_LE(diagnostic.end, text.size());
    ASSERT_EQ(diagnostic.severity, Severity::Error);
  }
}

struct LexCase {
  const char* name;
  std::string_view text;
  std::string_view tokens;
  std::string_view diagnostics;
};

constexpr LexCase LEX_CASES[] = {
    {"empty", "", "", ""},
    {"assign", "a:=1", "Ident«a» Assign«:=» Number«1»", ""},
    {"colon then eq", "a: =1", "Ident«a» Colon«:» Whitespace« » Eq«=» Number«1»", ""},
    {"binds", ":1 :x$1 :ab#", "Bind«:1» Whitespace« » Bind«:x$1» Whitespace« » Bind«:ab#»", ""},
    {"quoted bind", ":\"a b\"", "Bind«:\"a b\"»", ""},
    {"colon underscore", ":_x", "Colon«:» Unknown«_» Ident«x»", "unexpected character[1,2)"},
    {"colon at end", "x:", "Ident«x» Colon«:»", ""},
    {"dot number", "x.1", "Ident«x» Number«.1»", ""},
    {"range", "1..10", "Number«1» DotDot«..» Number«10»", ""},
    {"trailing dot", "1. 1.e5 .5.5",
     "Number«1.» Whitespace« » Number«1.e5» Whitespace« » "
     "Number«.5» Number«.5»",
     ""},
    {"bare exponent", "1e 1e+", "Number«1» Ident«e» Whitespace« » Number«1» Ident«e» Plus«+»", ""},
    {"exponent", "1.5E-3 2e10", "Number«1.5E-3» Whitespace« » Number«2e10»", ""},
    {"suffixes", "1.5f 2D 1f. 1dx 1d_",
     "Number«1.5f» Whitespace« » Number«2D» Whitespace« » "
     "Number«1f» Dot«.» Whitespace« » Number«1» Ident«dx» Whitespace« » Number«1» Ident«d_»",
     ""},
    {"suffix before non-ascii", "1fé", "Number«1» Ident«fé»", ""},
    {"inquiry", "$$plsql_unit", "Inquiry«$$plsql_unit»", ""},
    {"non-ascii inquiry", "$$éa", "Inquiry«$$éa»", ""},
    {"directive", "$IF$$x", "CondDirective«$IF$$x»", ""},
    {"dollars", "$1 $$ $_",
     "Dollar«$» Number«1» Whitespace« » Dollar«$» Dollar«$» Whitespace« » "
     "Dollar«$» Unknown«_»",
     "unexpected character[7,8)"},
    {"substitution dots", "&&tab..col", "Substitution«&&tab.» Dot«.» Ident«col»", ""},
    {"glue digit", "&x.1y", "Substitution«&x.» Ident«1y»", ""},
    {"glue beats string", "&x.N'a'", "Substitution«&x.» Ident«N» String«'a'»", ""},
    {"glue beats dollar", "&x.$$y", "Substitution«&x.» Ident«$$y»", ""},
    {"glue non-ascii", "&xé", "Substitution«&x» Ident«é»", ""},
    {"glue ends at trivia", "&x 1y", "Substitution«&x» Whitespace« » Number«1» Ident«y»", ""},
    {"amps", "&&. & x &é &&",
     "Amp«&» Amp«&» Dot«.» Whitespace« » Amp«&» Whitespace« » Ident«x» "
     "Whitespace« » Amp«&» Ident«é» Whitespace« » Amp«&» Amp«&»",
     ""},
    {"q-quotes", "q'[it's]' nq'<a>' Q'aa'",
     "String«q'[it's]'» Whitespace« » String«nq'<a>'» "
     "Whitespace« » String«Q'aa'»",
     ""},
    {"q-quote blank delimiter", "q' x'", "String«q' x'»", "invalid q-quote delimiter[0,2)"},
    {"q-quote quote delimiter", "q''", "String«q''»", "invalid q-quote delimiter[0,2)"},
    {"q-quote at end", "q'", "String«q'»",
     "invalid q-quote delimiter[0,2) unterminated string[0,2)"},
    {"q-quote doubled", "q'''", "String«q'''»",
     "invalid q-quote delimiter[0,2) unterminated string[0,4)"},
    {"q-quote nbsp delimiter", "q'\u00a0a'", "String«q'\u00a0a'»",
     "invalid q-quote delimiter[0,2)"},
    {"q-quote multibyte", "q'éaé'x", "String«q'éaé'» Ident«x»", ""},
    {"q-quote no close", "q'[a]", "String«q'[a]»", "unterminated q-quoted string[0,5)"},
    {"q-quote ill-formed delimiter",
     "q'\xff"
     "a\xff'",
     "String«q'\xff"
     "a\xff'»",
     ""},
    {"strings", "'it''s' N'x' n'",
     "String«'it''s'» Whitespace« » String«N'x'» Whitespace« » "
     "String«n'»",
     "unterminated string[13,15)"},
    {"string spans lines", "'a\nb'", "String«'a\nb'»", ""},
    {"n words", "n nq nx", "Ident«n» Whitespace« » Ident«nq» Whitespace« » Ident«nx»", ""},
    {"quoted identifiers", "\"\" \"a\"\"b\"",
     "QuotedIdent«\"\"» Whitespace« » QuotedIdent«\"a\"» "
     "QuotedIdent«\"b\"»",
     ""},
    {"unterminated quoted", "\"ab\r\nx", "QuotedIdent«\"ab\r» Whitespace«\n» Ident«x»",
     "unterminated quoted identifier[0,4)"},
    {"unterminated quoted bind", ":\"ab", "Bind«:\"ab»", "unterminated quoted identifier[0,4)"},
    {"comments", "--a\r\n/* x */", "LineComment«--a\r» Whitespace«\n» BlockComment«/* x */»", ""},
    {"comment slash", "/*/", "BlockComment«/*/»", "unterminated comment[0,3)"},
    {"comments do not nest", "/* /* */ */", "BlockComment«/* /* */» Whitespace« » Star«*» Slash«/»",
     ""},
    {"operators", "<<=<=>!=~=^=<>||**=>>=>>",
     "LabelOpen«<<» Eq«=» Le«<=» Gt«>» Ne«!=» Ne«~=» "
     "Ne«^=» Ne«<>» Concat«||» Power«**» Arrow«=>» Ge«>=» LabelClose«>>»",
     ""},
    {"single operators", "!~^|*<>=%()[]{},;+?@/",
     "Unknown«!» Unknown«~» Caret«^» Pipe«|» Star«*» "
     "Ne«<>» Eq«=» Percent«%» LParen«(» RParen«)» LBracket«[» RBracket«]» LBrace«{» RBrace«}» "
     "Comma«,» Semicolon«;» Plus«+» Question«?» At«@» Slash«/»",
     "unexpected character[0,1) unexpected character[1,2)"},
    {"lt at end", "<", "Lt«<»", ""},
    {"underscore start", "_x #", "Unknown«_» Ident«x» Whitespace« » Unknown«#»",
     "unexpected character[0,1) unexpected character[3,4)"},
    {"unicode words", "straße a٣ ٣",
     "Ident«straße» Whitespace« » Ident«a٣» Whitespace« » "
     "Unknown«٣»",
     "unexpected character[12,14)"},
    {"combining mark", "e\u0301", "Ident«e» Unknown«\u0301»", "unexpected character[1,3)"},
    {"unicode white space", "a\u00a0 \u3000b\u2028",
     "Ident«a» Whitespace«\u00a0 \u3000» "
     "Ident«b» Whitespace«\u2028»",
     ""},
    {"not white space", "\u180e\u200b", "Unknown«\u180e» Unknown«\u200b»",
     "unexpected character[0,3) unexpected character[3,6)"},
    {"byte order mark first", "\ufeff\n x", "Whitespace«\ufeff\n » Ident«x»", ""},
    {"byte order mark alone", "\ufeff", "Whitespace«\ufeff»", ""},
    {"byte order mark elsewhere", "\ufeff\ufeff x\ufeff",
     "Whitespace«\ufeff» Unknown«\ufeff» Whitespace« » Ident«x» Unknown«\ufeff»",
     "unexpected character[3,6) unexpected character[8,11)"},
    {"cut byte order mark", "\xef\xbb", "Unknown«\xef» Unknown«\xbb»",
     "unexpected character[0,1) unexpected character[1,2)"},
    {"ill-formed bytes", "a\xe2\x82 \xff",
     "Ident«a» Unknown«\xe2» Unknown«\x82» Whitespace« » "
     "Unknown«\xff»",
     "unexpected character[1,2) unexpected character[2,3) "
     "unexpected character[4,5)"},
    {"control bytes", "\x01`\\\x7f", "Unknown«\x01» Unknown«`» Unknown«\\» Unknown«\x7f»",
     "unexpected character[0,1) unexpected character[1,2) unexpected character[2,3) "
     "unexpected character[3,4)"},
};

// Lexes each case's text and checks the tokens `render` shows, the diagnostics and that
// the tokens cover the text.
void expect_lex_cases(std::span<const LexCase> cases,
                      std::string (*render)(std::string_view, const std::vector<Token>&)) {
  for (const LexCase& lex_case : cases) {
    SCOPED_TRACE(lex_case.name);
    const LexResult result = lex_text(lex_case.text);
    EXPECT_EQ(render(lex_case.text, result.tokens), lex_case.tokens);
    EXPECT_EQ(render_diagnostics(result.diagnostics), lex_case.diagnostics);
    expect_covering(lex_case.text, result);
  }
}

TEST(Lexer, Cases) { expect_lex_cases(LEX_CASES, render_tokens); }

// Text SQL*Plus sends unread: only the tokens that quote or comment, the "/" and what
// cannot be read are shown.
std::string render_quoting_tokens(std::string_view text, const std::vector<Token>& tokens) {
  std::vector<Token> shown;
  for (const Token& token : tokens) {
    if (token.kind == TokenKind::String || token.kind == TokenKind::QuotedIdent ||
        token.kind == TokenKind::BlockComment || token.kind == TokenKind::Slash ||
        token.kind == TokenKind::Unknown) {
      shown.push_back(token);
    }
  }
  return render_tokens(text, shown);
}

TEST(Lexer, UnreadTextOpensNothingPastItsEnd) {
  constexpr LexCase CASES[] = {
      {"java source", "create or replace and compile java source named \"A\" as\n// it's\n/\n'x'",
       "QuotedIdent«\"A\"» Slash«/» Slash«/» String«'s\n» Slash«/» String«'x'»", ""},
      {"java resource after IS, with a heading in parentheses",
       "create java resource named r resolver ((* public) as x) is\n/* x\n  /  \n'",
       "BlockComment«/* x\n  » Slash«/» String«'»", "unterminated string[70,71)"},
      {"java class from a file has no text", "create java class using bfile (d, 'a');\n'x\n/",
       "String«'a'» String«'x\n/»", "unterminated string[40,44)"},
      {"module, nothing read unread in its heading",
       "create mle module m version '1' as\nlet s = `it's`;\n.\n'y'",
       "String«'1'» Unknown«`» String«'s`;\n» String«'y'»", ""},
      {"wrapped unit of the older format", "create package p wrapped\na\n3 X'Y:\n/\n'z'",
       "String«'Y:\n» Slash«/» String«'z'»", ""},
      {"wrapped body with a quoted, glued name",
       "create or replace package body \"S\".&x.p wrapped\n'\n/\n'",
       "QuotedIdent«\"S\"» String«'\n» Slash«/» String«'»", "unterminated string[52,53)"},
      {"a procedure named WRAPPED", "create procedure wrapped wrapped\n/*\n/\n",
       "BlockComment«/*\n» Slash«/»", ""},
      {"after a client command lexed as words",
       "set define off\ncreate java source named a as\n'\n/", "String«'\n» Slash«/»", ""},
      {"a package's own text is read as ever", "create package p is c varchar2(9) := '\n/\n'; end;",
       "String«'\n/\n'»", ""},
      {"JavaScript inline", "f as mle language javascript pure {{ /* don't }};\n'x'",
       "BlockComment«/* don't » String«'x'»", ""},
      {"JavaScript inline ends at a / line too", "mle language js {{ ' \n/\n}}'",
       "String«' \n» Slash«/» String«'»", "unterminated string[26,27)"},
      {"no }}: read as ever", "mle language js {{ 'a", "String«'a»", "unterminated string[19,21)"},
      {"{{ after anything else", "x {{ 'a }} ' ", "String«'a }} '»", ""},
  };
  expect_lex_cases(CASES, render_quoting_tokens);
}

TEST(Lexer, GlueFlagFollowsTokensAndSurvivesMoves) {
  Lexer lexer("&x  y");
  ASSERT_EQ(next_token(lexer)->kind, TokenKind::Substitution);
  EXPECT_TRUE(lexer.glue);
  lexer.move_to(3);  // a move is not a token: the glue stays
  EXPECT_TRUE(lexer.glue);
  EXPECT_EQ(next_token(lexer)->kind, TokenKind::Whitespace);
  EXPECT_FALSE(lexer.glue);
  EXPECT_EQ(next_token(lexer)->kind, TokenKind::Ident);
  EXPECT_FALSE(next_token(lexer).has_value());
  EXPECT_THROW(lexer.move_to(6), syntax::InternalStop);
}

// Random and adversarial byte strings: whatever the input, tokens cover it.
TEST(Lexer, AnyBytesAreCoveredExactly) {
  constexpr std::string_view PIECES[] = {"'",      "\"",   "q'",
                                         "nQ'",    "&",    "&&",
                                         ".",      "$",    "$$",
                                         ":",      "-",    "/",
                                         "*",      "/*",   "*/",
                                         "--",     "\n",   "\r",
                                         " ",      "1",    "e",
                                         "f",      "x",    "_",
                                         "#",      "(",    ")",
                                         "<",      ">",    "=",
                                         "!",      "é",    "\u00a0",
                                         "\u0301", "٣",    "\xe2\x82",
                                         "\xff",   "\xc3", "\xf0\x9f\x98\x80",
                                         "\x80",   "\0"};
  // Headings that open text read unread, and that text's ends.
  constexpr std::string_view UNREAD_PIECES[] = {"wrapped", "create java source a as\n",
                                                "mle language j {{", "}}"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int index = 0; index < length; ++index) {
      if (random() % 4 == 0) {
        text += static_cast<char>(random() % 256);
      } else if (random() % 8 == 0) {
        text += UNREAD_PIECES[random() % std::size(UNREAD_PIECES)];
      } else {
        text += PIECES[random() % std::size(PIECES)];
      }
    }
    SCOPED_TRACE(testing::PrintToString(text));
    // An exactly sized buffer, so that a sanitizer build catches any read
    // past the end.
    const auto buffer = std::make_unique<char[]>(text.size());
    std::copy(text.begin(), text.end(), buffer.get());
    const std::string_view exact(buffer.get(), text.size());
    expect_covering(exact, lex_text(exact));
    if (testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace veltrane::lexer
