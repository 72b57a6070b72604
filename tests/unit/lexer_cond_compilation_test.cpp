#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/conditional_compilation.hpp"
#include "lexer/lexer.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::lexer {
namespace {

using syntax::TokenKind;

// A short name for each message, so that expectations stay readable.
std::string message_key(std::string_view message) {
  struct Entry {
    std::string_view message;
    std::string_view key;
  };
  static const Entry ENTRIES[] = {
      {"conditional compilation: $THEN missing", "then-missing"},
      {"conditional compilation: $ELSIF without $IF", "elsif-without-if"},
      {"conditional compilation: $ELSE without $IF", "else-without-if"},
      {"conditional compilation: $END without $IF", "end-without-if"},
      {"conditional compilation: unexpected directive", "unexpected"},
      {"conditional compilation: $IF without $END", "if-without-end"},
      {"conditional compilation: a $ERROR directive is selected", "error-selected"},
      {"conditional compilation: condition needs a value the code does not "
       "give (set it as a "
       "flag); branch not taken",
       "needs-value"},
      {"conditional compilation: condition not understood; branch not taken", "not-understood"},
  };
  for (const Entry& entry : ENTRIES) {
    if (entry.message == message) return std::string(entry.key);
  }
  return "?" + std::string(message);
}

// «key@start-end» joined by ", "; warnings end in "!".
std::string render_diagnostics(const std::vector<Diagnostic>& diagnostics) {
  std::string out;
  for (const Diagnostic& diagnostic : diagnostics) {
    if (!out.empty()) out += ", ";
    out += message_key(diagnostic.message) + "@" + std::to_string(diagnostic.start) + "-" +
           std::to_string(diagnostic.end);
    if (diagnostic.severity == Severity::Warning) out += "!";
  }
  return out;
}

// The text of every token that stayed active, trivia included.
std::string active_text(std::string_view text, const std::vector<Token>& tokens) {
  std::string out;
  for (const Token& token : tokens) {
    if (token.kind != TokenKind::Inactive) out += text.substr(token.start, token.end - token.start);
  }
  return out;
}

ParseOptions options_with(CcFlags flags, OracleVersion version = {}) {
  ParseOptions options;
  options.ccflags = std::move(flags);
  options.version = version;
  return options;
}

// Lexes `text`, runs the pass and checks that only kinds changed, and only to
// Inactive.
CcResult run(std::string_view text, const ParseOptions& options) {
  const LexResult lexed = lex_text(text);
  CcResult result = apply_conditional_compilation(text, lexed.tokens, options);
  EXPECT_EQ(result.tokens.size(), lexed.tokens.size());
  for (std::size_t i = 0; i < lexed.tokens.size() && i < result.tokens.size(); ++i) {
    EXPECT_EQ(result.tokens[i].start, lexed.tokens[i].start);
    EXPECT_EQ(result.tokens[i].end, lexed.tokens[i].end);
    if (result.tokens[i].kind != lexed.tokens[i].kind) {
      EXPECT_EQ(result.tokens[i].kind, TokenKind::Inactive);
    }
  }
  return result;
}

struct PassCase {
  const char* name;
  std::string_view text;
  std::string_view active;
  std::string_view diagnostics;
};

TEST(ConditionalCompilation, DirectivePass) {
  static const PassCase CASES[] = {
      {"no directive", "begin $$x; null; end;", "begin $$x; null; end;", ""},
      {"else branch", "$IF $$debug $THEN a $ELSE b $END", " b ", ""},
      {"missing flag is silent", "$IF $$missing $THEN x $END", "", ""},
      {"word needs a value", "$IF foo $THEN", "", "needs-value@0-3!, if-without-end@8-13"},
      {"left-over token", "$IF a b $THEN x $END", "", "not-understood@0-3!"},
      {"empty condition", "$IF $THEN x $END", "", "needs-value@0-3!"},
      {"lower-case directives", "$if true $then x $else y $end", " x ", ""},
      {"elsif taken", "$IF FALSE $THEN a $ELSIF TRUE $THEN b $ELSE c $END", " b ", ""},
      {"first branch wins", "$IF TRUE $THEN a $ELSIF TRUE $THEN b $ELSE c $END", " a ", ""},
      {"second else is never active", "$IF FALSE $THEN a $ELSE b $ELSE c $END", " b ", ""},
      {"inner if in a dead branch", "$IF FALSE $THEN $IF TRUE $THEN a $END $ELSE b $END", " b ",
       ""},
      {"dead branch conditions still warn", "$IF FALSE $THEN $IF foo $THEN a $END $END", "",
       "needs-value@16-19!"},
      {"nested live", "$IF TRUE $THEN $IF FALSE $THEN a $ELSE b $END c $END", "  b  c ", ""},
      {"then search runs over anything", "$IF x $END a; $IF y $THEN b; $END", "",
       "not-understood@0-3!"},
      {"error selected", "$ERROR 'stop' $END x", " x", "error-selected@0-6!"},
      {"error in a dead branch is silent", "$IF FALSE $THEN $ERROR 'stop' $END $END", "", ""},
      {"error end does not pop", "$IF TRUE $THEN $ERROR 'x' $END a $END", "  a ",
       "error-selected@15-21!"},
      {"error without end runs to the last token", "$IF TRUE $THEN a $ERROR 'x' b", " a ",
       "error-selected@17-23!, if-without-end@28-29"},
      {"if without end", "$IF TRUE $THEN x", " x", "if-without-end@15-16"},
      {"if without end is reported once", "$IF TRUE $THEN $IF TRUE $THEN x", "  x",
       "if-without-end@30-31"},
      {"then missing", "a $IF TRUE x y", "a ", "then-missing@2-5"},
      {"then missing inside an open if still closes the check", "$IF TRUE $THEN a $ELSIF b", " a ",
       "then-missing@17-23, if-without-end@24-25"},
      {"THENX is not THEN", "$IF TRUE $THENX x $END", "", "then-missing@0-3"},
      {"elsif without if after its warning", "$ELSIF foo $THEN x", " x",
       "needs-value@0-6!, elsif-without-if@0-6"},
      {"else and end without if", "$ELSE x $END", " x ",
       "else-without-if@0-5, end-without-if@8-12"},
      {"unexpected directives", "$THEN a $FOO b $THENX", " a  b ",
       "unexpected@0-5, unexpected@8-12, unexpected@15-21"},
      {"dead branch trivia is inactive", "$IF FALSE $THEN a -- c\n /* d */ b $END z", " z", ""},
      {"if-without-end on the last token, trivia included", "$IF TRUE $THEN x\n", " x\n",
       "if-without-end@16-17"},
  };
  const ParseOptions options = options_with({{"DEBUG", false}});
  for (const PassCase& test_case : CASES) {
    SCOPED_TRACE(test_case.name);
    const CcResult result = run(test_case.text, options);
    EXPECT_EQ(active_text(test_case.text, result.tokens), test_case.active);
    EXPECT_EQ(render_diagnostics(result.diagnostics), test_case.diagnostics);
  }
}

TEST(ConditionalCompilation, FlagSelectsBranch) {
  const std::string_view text = "$IF $$debug $THEN a $ELSE b $END";
  const CcResult on = run(text, options_with({{"DEBUG", true}}));
  EXPECT_EQ(active_text(text, on.tokens), " a ");
  EXPECT_TRUE(on.diagnostics.empty());
  const CcResult unset = run(text, options_with({}));
  EXPECT_EQ(active_text(text, unset.tokens), " b ");
}

TEST(ConditionalCompilation, UnchangedWithoutDirectives) {
  const std::string_view text = "begin x := $$y; end;";
  const LexResult lexed = lex_text(text);
  const CcResult result = apply_conditional_compilation(text, lexed.tokens, options_with({}));
  EXPECT_EQ(result.tokens, lexed.tokens);
  EXPECT_TRUE(result.diagnostics.empty());
  EXPECT_TRUE(apply_conditional_compilation("", {}, options_with({})).tokens.empty());
}

struct ConditionCase {
  const char* name;
  std::string_view condition;
  bool taken;
  std::string_view warning;  // "", "needs-value" or "not-understood"
  OracleVersion version = {};
};

std::string nested(std::string_view open, std::size_t count, std::string_view middle,
                   std::string_view close) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += open;
  out += middle;
  for (std::size_t i = 0; i < count; ++i) out += close;
  return out;
}

TEST(ConditionalCompilation, Conditions) {
  const std::string deep_parens_ok = nested("(", 256, "TRUE", ")");
  const std::string deep_parens_over = nested("(", 257, "TRUE", ")");
  const std::string deep_nots_ok = nested("NOT ", 256, "TRUE", "");
  const std::string deep_nots_over = nested("NOT ", 257, "TRUE", "");
  const std::string deep_minus_over = nested("- ", 257, "1 < 0", "");
  const std::string deep_mixed_over = nested("( NOT -", 86, "1", ")");
  const std::string unclosed_parens = nested("(", 100000, "", "");
  const OracleVersion v12_2{12, 2};
  const OracleVersion v19{19, 0};
  const ConditionCase CASES[] = {
      {"true", "TRUE", true, ""},
      {"number is not a decision", "1", false, ""},
      {"text is not a decision", "'a'", false, ""},
      {"null is not a decision", "NULL", false, ""},
      {"flag compares", "$$level > 1", true, ""},
      {"flag against text", "$$level > 'x'", false, "needs-value"},
      {"flag name folds ASCII only", "$$Level = 2", true, ""},
      {"non-ASCII flag name", "$$niveaué", true, ""},
      {"text flag", "$$name = 'x'", true, ""},
      {"true or unresolved", "TRUE OR $$absent > foo", true, ""},
      {"false and unresolved", "FALSE AND foo", false, ""},
      {"null or unresolved", "NULL OR foo", false, "needs-value"},
      {"true or null", "$$absent OR TRUE", true, ""},
      {"absent is null", "$$absent IS NULL", true, ""},
      {"is without null", "$$absent IS", true, ""},
      {"is not null", "$$absent IS NOT NULL", false, ""},
      {"is not", "$$level IS NOT", true, ""},
      {"unresolved is null stays unresolved", "foo IS NULL", false, "needs-value"},
      {"not true", "NOT TRUE", false, ""},
      {"not not true", "NOT NOT TRUE", true, ""},
      {"not of a number is null", "NOT 1", false, ""},
      {"not of unresolved", "NOT foo", false, "needs-value"},
      {"not applies after is", "NOT $$absent IS NULL", false, ""},
      {"comparison takes a primary", "TRUE = NOT FALSE", false, "not-understood"},
      {"and binds tighter than or", "TRUE OR FALSE AND FALSE", true, ""},
      {"parentheses", "(TRUE OR FALSE) AND FALSE", false, ""},
      {"missing right parenthesis", "(TRUE", true, ""},
      {"bools compare", "TRUE > FALSE", true, ""},
      {"different variants", "1 = 'a'", false, "needs-value"},
      {"null in a comparison", "NULL = 1", false, ""},
      {"unresolved beats null", "NULL = foo", false, "needs-value"},
      {"text byte order", "'é' > 'z'", true, ""},
      {"proper prefix first", "'ab' < 'abc'", true, ""},
      {"quoted text value", "'it''s' = $$quote", true, ""},
      {"q-quoted text", "q'[a]' = 'a'", true, ""},
      {"nan does not compare", "$$nan = $$nan", false, "needs-value"},
      {"unary minus", "-1 < 0", true, ""},
      {"double minus", "- - 2 = 2", true, ""},
      {"minus on a bool keeps it", "-TRUE", true, ""},
      {"number suffixes", "1.5F = 1.5D", true, ""},
      {"number forms", "1. = .1e1", true, ""},
      {"overflow is infinity", "1e999 > 1e308", true, ""},
      {"underflow is zero", "2e-324 = 0", true, ""},
      {"small exponent with leading zeros", "0.000e-999 = 0", true, ""},
      {"operators", "1 <> 2 AND 1 != 2 AND 1 ~= 2 AND 1 ^= 2 AND 1 <= 1 AND 2 >= 1", true, ""},
      {"version", "DBMS_DB_VERSION.VERSION >= 23", true, ""},
      {"release from 18 on", "dbms_db_version.release = 0", true, ""},
      {"ver_le_19 at 26ai", "DBMS_DB_VERSION.VER_LE_19", false, ""},
      {"ver_le_23_0 at 26ai", "DBMS_DB_VERSION.VER_LE_23_0", true, ""},
      {"ver_le_12_2 at 12.2", "DBMS_DB_VERSION.VER_LE_12_2", true, "", v12_2},
      {"sys prefix", "SYS.DBMS_DB_VERSION.VER_LE_12_2", true, "", v12_2},
      {"ver_le_12_1 at 12.2", "DBMS_DB_VERSION.VER_LE_12_1", false, "", v12_2},
      {"release below 18", "DBMS_DB_VERSION.RELEASE = 2", true, "", v12_2},
      {"third part ignored", "DBMS_DB_VERSION.VER_LE_12_1_5", false, "", v12_2},
      {"third part ignored, true", "DBMS_DB_VERSION.VER_LE_12_2_x", true, "", v12_2},
      {"ver_le_19 at 19c", "DBMS_DB_VERSION.VER_LE_19", true, "", v19},
      {"dotted name with blanks", "dbms_db_version . version = 19", true, "", v19},
      {"empty part", "DBMS_DB_VERSION.VER_LE_", false, "needs-value"},
      {"empty minor", "DBMS_DB_VERSION.VER_LE_19_", false, "needs-value"},
      {"non-digit part", "DBMS_DB_VERSION.VER_LE_x", false, "needs-value"},
      {"largest 32-bit part", "DBMS_DB_VERSION.VER_LE_4294967295", true, ""},
      {"part too large", "DBMS_DB_VERSION.VER_LE_4294967296", false, "needs-value"},
      {"unknown constant", "DBMS_DB_VERSION.FOO", false, "needs-value"},
      {"quoted identifier never matches", "\"DBMS_DB_VERSION\".VERSION > 0", false, "needs-value"},
      {"quoted TRUE", "\"TRUE\"", false, "needs-value"},
      {"other package", "OTHER.VERSION", false, "needs-value"},
      {"nesting of 256 parentheses", deep_parens_ok, true, ""},
      {"nesting of 257 parentheses", deep_parens_over, false, "not-understood"},
      {"256 NOTs", deep_nots_ok, true, ""},
      {"257 NOTs", deep_nots_over, false, "not-understood"},
      {"257 minus signs", deep_minus_over, false, "not-understood"},
      {"mixed nesting", deep_mixed_over, false, "not-understood"},
      {"100000 unclosed parentheses", unclosed_parens, false, "not-understood"},
  };
  for (const ConditionCase& test_case : CASES) {
    SCOPED_TRACE(std::string(test_case.name));
    CcFlags flags = {{"LEVEL", 2.0},
                     {"NAME", std::string("x")},
                     {"QUOTE", std::string("it's")},
                     {"NAN", std::numeric_limits<double>::quiet_NaN()},
                     {"NIVEAUé", true}};
    const ParseOptions options = options_with(std::move(flags), test_case.version);
    const std::string text = "$IF " + std::string(test_case.condition) + " $THEN x $END";
    const CcResult result = run(text, options);
    EXPECT_EQ(active_text(text, result.tokens), test_case.taken ? " x " : "");
    std::string expected;
    if (!test_case.warning.empty()) expected = std::string(test_case.warning) + "@0-3!";
    EXPECT_EQ(render_diagnostics(result.diagnostics), expected);
  }
}

TEST(ConditionalCompilation, EvaluatorValues) {
  struct Case {
    std::string_view condition;
    CcValue value;
    bool consumed_all;
  };
  const Case CASES[] = {
      {"1e999", std::numeric_limits<double>::infinity(), true},
      {"-1e999", -std::numeric_limits<double>::infinity(), true},
      {"2e-324", 0.0, true},
      {"'a' || 'b'", std::string("a"), false},
      {"NOT 5", Null{}, true},
      {"$$absent", Null{}, true},
      {"", Unresolved{}, true},
      {"TRUE AND", Unresolved{}, true},
      {"DBMS_DB_VERSION.VERSION", 23.0, true},
      {"1 < 'a'", Unresolved{}, true},
  };
  const ParseOptions options = options_with({});
  for (const Case& test_case : CASES) {
    SCOPED_TRACE(std::string(test_case.condition));
    const LexResult lexed = lex_text(test_case.condition);
    CcEvaluator evaluator(test_case.condition, lexed.tokens, options);
    const CcValue value = eval_or(evaluator);
    EXPECT_EQ(value, test_case.value);
    EXPECT_EQ(evaluator.cursor == lexed.tokens.size(), test_case.consumed_all);
  }
}

TEST(ConditionalCompilation, FindDirective) {
  const std::string_view text = "a $if x $Then b $THENX $then";
  const LexResult lexed = lex_text(text);
  EXPECT_EQ(find_directive(text, lexed.tokens, 0, "$THEN"), std::optional<std::size_t>(6));
  EXPECT_EQ(find_directive(text, lexed.tokens, 7, "$THEN"), std::optional<std::size_t>(12));
  EXPECT_EQ(find_directive(text, lexed.tokens, 0, "$IF"), std::optional<std::size_t>(2));
  EXPECT_EQ(find_directive(text, lexed.tokens, 13, "$THEN"), std::nullopt);
  EXPECT_EQ(find_directive(text, lexed.tokens, 0, "$END"), std::nullopt);
}

// Numbers beyond a double's range: the place of the leading digit, moved by the written
// exponent, decides between infinity and 0.
TEST(ConditionalCompilation, OutOfRangeValue) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::string_view number;
    double value;
  };
  const Case cases[] = {
      {"1E400", inf},
      {"1e400", inf},
      {"1E+400", inf},
      {"1E-400", 0.0},
      {"1e-400", 0.0},
      {"10E-1", inf},
      {"0.01E1", 0.0},
      {".5E400", inf},
      {"000.000E999", 0.0},
      {"5", inf},
      {"0.5", 0.0},
      {"7E99999999999999999999", inf},
      {"7E-99999999999999999999", 0.0},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(std::string(test_case.number));
    EXPECT_EQ(out_of_range_value(test_case.number), test_case.value);
  }
}

// Random directive soups: the list keeps its length, only kinds change (to
// Inactive), and every diagnostic sits on a token of the list.
TEST(ConditionalCompilation, PropertiesHoldOnRandomTokens) {
  static const std::string_view FRAGMENTS[] = {
      "$IF ",    "$THEN ", "$ELSIF ", "$ELSE ", "$END ",
      "$ERROR ", "$FOO ",  "TRUE ",   "FALSE ", "NOT ",
      "AND ",    "OR ",    "( ",      ") ",     "$$x ",
      "1 ",      "'a' ",   "= ",      "< ",     "- ",
      "x ",      "; ",     "IS ",     "NULL ",  "DBMS_DB_VERSION.VER_LE_19 ",
      "\n"};
  std::mt19937 generator(7);
  std::uniform_int_distribution<std::size_t> fragment_count(0, 40);
  std::uniform_int_distribution<std::size_t> fragment_index(0, std::size(FRAGMENTS) - 1);
  const ParseOptions options = options_with({{"X", true}});
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const std::size_t count = fragment_count(generator);
    for (std::size_t i = 0; i < count; ++i) text += FRAGMENTS[fragment_index(generator)];
    SCOPED_TRACE(text);
    const CcResult result = run(text, options);
    for (std::size_t i = 0; i < result.diagnostics.size(); ++i) {
      const Diagnostic& diagnostic = result.diagnostics[i];
      const bool on_token =
          std::any_of(result.tokens.begin(), result.tokens.end(), [&](const Token& token) {
            return token.start == diagnostic.start && token.end == diagnostic.end;
          });
      EXPECT_TRUE(on_token);
      if (diagnostic.message == "conditional compilation: $IF without $END") {
        EXPECT_EQ(i, result.diagnostics.size() - 1) << "reported last";
        EXPECT_EQ(diagnostic.end, text.size());
      }
    }
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace veltrane::lexer
