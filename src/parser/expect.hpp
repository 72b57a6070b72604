#pragma once
// The word counterpart of Parser::expect, for the rules of every grammar folder.

#include <string_view>

namespace veltrane::parser {

class Parser;

// Bumps the current token when it is `word`; otherwise records `message`.
void expect_word(Parser& p, std::string_view word, std::string_view message);

}  // namespace veltrane::parser
