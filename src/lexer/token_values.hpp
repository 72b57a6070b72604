#pragma once
// What a name token or a string literal means, as opposed to how it is
// written.

#include <string>
#include <string_view>

#include "lexer/token.hpp"

namespace veltrane::lexer {

// The identifier normal form of a token's text, as a fresh text:
// - QuotedIdent: every leading and every trailing double quote removed, case
//   kept («"Emp"» gives «Emp», an unterminated «"abc» gives «abc»);
// - Bind: the text after the ":"; quoted as above when a double quote
//   follows, else upper-cased;
// - any other kind: the whole text upper-cased by the full Unicode mapping of
//   the root locale, so the result may be longer than the text («straße»
//   gives «STRASSE»).
[[nodiscard]] std::string identifier_text(TokenKind kind, std::string_view text);
// The same normal form appended to `sink`, which keeps what it held.
void append_identifier_text(std::string& sink, TokenKind kind, std::string_view text);

// The value of a String token's text, as a fresh text. An N/n prefix is
// dropped; a q-quoted literal gives its body unchanged (an unterminated one
// every character after its delimiter); any other text loses one leading and
// one trailing "'" and has each "''" turned into "'".
[[nodiscard]] std::string string_literal_value(std::string_view text);

}  // namespace veltrane::lexer
