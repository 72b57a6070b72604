#pragma once

// The errors of a file that belong to none of its items: a file in UTF-16, which is not
// read at all, and an unterminated comment, string or quoted identifier that opens between
// two items (after one statement's terminator), which hides what follows it from every
// item. The faces that list errors item by item list these as errors of the file.

#include <string_view>
#include <vector>

#include "lexer/script_splitter.hpp"
#include "syntax/diagnostic.hpp"

namespace veltrane::report {

// The one error of a file that begins with a UTF-16 byte-order mark.
inline constexpr std::string_view UTF16_TEXT_MESSAGE = "UTF-16 text: veltrane reads UTF-8";

// True when `bytes` begin with FF FE or FE FF (a UTF-16 byte-order mark).
[[nodiscard]] bool starts_as_utf16(std::string_view bytes);

// The lexer's "unterminated ..." errors of `split` (the split result of `text`) that no
// parsed item holds (see parser::held_lexer_errors), in text order.
[[nodiscard]] std::vector<syntax::Diagnostic> loose_lexer_errors(std::string_view text,
                                                                 const lexer::SplitResult& split);

}  // namespace veltrane::report
