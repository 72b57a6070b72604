#pragma once
// The lexer's errors that an item holds, for the faces that list each parsed item with its
// own errors: an unterminated string, q-quoted string, quoted identifier or comment runs
// over what follows it (to the end of its line or of the text), so the item it swallows
// the rest into must not look clean.

#include <optional>
#include <string_view>
#include <vector>

#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/diagnostic.hpp"

namespace veltrane::parser {

// The lexer's "unterminated ..." errors of `split` (the split result of `source`) that
// start inside `item`: from its start up to its terminator, or, for an item without one,
// up to the next item or the end of the text (so trailing trivia that ran to the end,
// such as an unterminated comment after its last token, count). In text order, as the
// lexer gave them; empty for a command item. The lexer's other messages are left out.
[[nodiscard]] std::vector<syntax::Diagnostic> held_lexer_errors(std::string_view source,
                                                                const lexer::SplitResult& split,
                                                                const lexer::ScriptItem& item);

// parse_item, with the errors held_lexer_errors finds for the item put before the parse's
// own diagnostics. The parse command, the Python parse, the report and the Lab list items
// this way; the analysis result lists the lexer's diagnostics once on their own instead.
[[nodiscard]] std::optional<ParsedStatement> parse_item_with_lexer_errors(
    std::string_view source, const lexer::SplitResult& split, const lexer::ScriptItem& item,
    const lexer::ParseOptions& options);

}  // namespace veltrane::parser
