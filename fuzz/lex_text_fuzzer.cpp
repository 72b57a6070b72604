// lex_text over any input: tokens cover the text, diagnostics lie inside it in text order,
// and the token values of names and strings can be read.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_checks.hpp"
#include "lexer/lexer.hpp"
#include "lexer/token_values.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace veltrane;
  using syntax::TokenKind;
  fuzz::run_checked([&] {
    const std::string text = fuzz::input_text(data, size);
    const lexer::LexResult lexed = lexer::lex_text(text);
    fuzz::check_token_cover(text, lexed.tokens);
    fuzz::check_diagnostics(text, lexed.diagnostics, 0, static_cast<uint32_t>(text.size()));
    for (std::size_t i = 1; i < lexed.diagnostics.size(); ++i) {
      if (lexed.diagnostics[i].start < lexed.diagnostics[i - 1].start) {
        fuzz::fail("lexer diagnostics out of text order", i);
      }
    }
    for (const lexer::Token& token : lexed.tokens) {
      if (token.kind == TokenKind::LineContinuation || token.kind == TokenKind::Inactive) {
        fuzz::fail("lexer made a splitter or conditional-compilation kind", token.start);
      }
      const std::string_view token_text =
          std::string_view(text).substr(token.start, token.end - token.start);
      if (token.kind == TokenKind::Ident || token.kind == TokenKind::QuotedIdent ||
          token.kind == TokenKind::Bind) {
        static_cast<void>(lexer::identifier_text(token.kind, token_text));
      } else if (token.kind == TokenKind::String) {
        static_cast<void>(lexer::string_literal_value(token_text));
      }
    }
  });
  return 0;
}
