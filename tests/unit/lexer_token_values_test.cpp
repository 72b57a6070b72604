#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "lexer/lexer.hpp"
#include "lexer/token_values.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::lexer {
namespace {

struct IdentifierCase {
  const char* name;
  TokenKind kind;
  std::string_view text;
  std::string_view expected;
};

constexpr IdentifierCase IDENTIFIER_CASES[] = {
    {"word", TokenKind::Ident, "emp_id", "EMP_ID"},
    {"full mapping grows", TokenKind::Ident, "straße", "STRASSE"},
    {"non-ascii letters", TokenKind::Ident, "éa", "ÉA"},
    {"substitution", TokenKind::Substitution, "&x.", "&X."},
    {"quoted keeps case", TokenKind::QuotedIdent, "\"emp_id\"", "emp_id"},
    {"quoted unterminated", TokenKind::QuotedIdent, "\"abc", "abc"},
    {"quoted empty", TokenKind::QuotedIdent, "\"\"", ""},
    {"quoted lone quote", TokenKind::QuotedIdent, "\"", ""},
    {"bind", TokenKind::Bind, ":x1", "X1"},
    {"bind non-ascii", TokenKind::Bind, ":straße", "STRASSE"},
    {"quoted bind", TokenKind::Bind, ":\"Mixed\"", "Mixed"},
    {"quoted bind unterminated", TokenKind::Bind, ":\"Mi", "Mi"},
    {"bind colon only", TokenKind::Bind, ":", ""},
};

TEST(TokenValues, IdentifierText) {
  for (const IdentifierCase& identifier_case : IDENTIFIER_CASES) {
    SCOPED_TRACE(identifier_case.name);
    EXPECT_EQ(identifier_text(identifier_case.kind, identifier_case.text),
              identifier_case.expected);
  }
}

TEST(TokenValues, AppendedIdentifierTextKeepsWhatTheSinkHeld) {
  // The sink is reused: a non-ASCII byte met after some ASCII restarts the mapping at the
  // sink's old end.
  std::string sink = "held";
  for (const IdentifierCase& identifier_case : IDENTIFIER_CASES) {
    SCOPED_TRACE(identifier_case.name);
    sink.resize(4);
    append_identifier_text(sink, identifier_case.kind, identifier_case.text);
    EXPECT_EQ(sink, "held" + std::string(identifier_case.expected));
  }
}

struct StringCase {
  const char* name;
  std::string_view text;
  std::string_view expected;
};

constexpr StringCase STRING_CASES[] = {
    {"doubled quote", "'it''s'", "it's"},
    {"empty", "''", ""},
    {"lone quote", "'", ""},
    {"quotes only", "''''", "'"},
    {"unterminated", "'abc", "abc"},
    {"national", "N'abc'", "abc"},
    {"national letter only", "N", ""},
    {"q-quote bracket", "q'[a'b]'", "a'b"},
    {"nq-quote brace", "nq'{x}'", "x"},
    {"q-quote empty body", "Q'<>'", ""},
    {"q-quote same delimiter", "q'!a!'", "a"},
    {"q-quote multibyte delimiter", "q'éabcé'", "abc"},
    {"q-quote short is plain", "q''", "q'"},
    {"q-quote unterminated", "q'[abc", "abc"},
    {"q-quote quote without closer", "q'[ab'", "ab'"},
    {"q-quote multibyte unterminated", "q'éabc", "abc"},
    {"q-quote invalid delimiter", "q' x'", ""},
    {"q-quote invalid multibyte delimiter", "q'\u00a0ab'", "a"},
    {"q-quote invalid unterminated", "q'  ab", " ab"},
    {"q-quote ill-formed delimiter",
     "q'\xff"
     "a\xff'",
     "a"},
};

TEST(TokenValues, StringLiteralValue) {
  for (const StringCase& string_case : STRING_CASES) {
    SCOPED_TRACE(string_case.name);
    EXPECT_EQ(string_literal_value(string_case.text), string_case.expected);
  }
}

bool is_valid_utf8(std::string_view text) {
  for (size_t offset = 0; offset < text.size();) {
    const syntax::DecodedChar decoded = syntax::decode_utf8(text, offset);
    if (decoded.code_point < 0) return false;
    offset += decoded.length;
  }
  return true;
}

// Whatever string literals the lexer cuts out of well-formed text, their
// values are no longer than the literal and never split a character.
TEST(TokenValues, ValuesOfLexedLiteralsKeepCharactersWhole) {
  constexpr std::string_view PIECES[] = {"'",      "''", "q'",     "Nq'",       "n'", "é",
                                         "\u00a0", "[",  "]",      "<",         ">",  "x",
                                         " ",      "\n", "\u20ac", "\U0001f600"};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 16);
    for (int index = 0; index < length; ++index) text += PIECES[random() % std::size(PIECES)];
    SCOPED_TRACE(testing::PrintToString(text));
    for (const Token& token : lex_text(text).tokens) {
      if (token.kind != TokenKind::String) continue;
      const std::string_view literal =
          std::string_view(text).substr(token.start, token.end - token.start);
      const std::string value = string_literal_value(literal);
      EXPECT_LE(value.size(), literal.size());
      EXPECT_TRUE(is_valid_utf8(value)) << testing::PrintToString(value);
    }
  }
}

}  // namespace
}  // namespace veltrane::lexer
