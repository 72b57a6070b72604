#pragma once
// The parse entries: one SQL statement item or one PL/SQL unit item in, a finished
// lossless tree and its diagnostics out; and `parse_item`, the one road from a split
// script's item to the entry of its kind.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "lexer/token.hpp"
#include "syntax/diagnostic.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"

namespace veltrane::parser {

// The tree of one item and its diagnostics, owned by the caller. The statement kind is
// the kind of the tree's root node.
struct ParsedStatement {
  syntax::Tree tree;
  std::vector<syntax::Diagnostic> diagnostics;
};

// Parses one "Sql" item. `source` is the whole text, `tokens` the item's slice of the
// script's token list (offsets stay offsets into `source`). `item_start` is where
// end-of-input diagnostics point when the slice is empty.
[[nodiscard]] ParsedStatement parse_statement(std::string_view source,
                                              std::span<const lexer::Token> tokens,
                                              const lexer::ParseOptions& options,
                                              uint32_t item_start = 0);

// Parses one "PlSql" item: conditional compilation over its tokens first, then the
// unit grammar. Conditional-compilation diagnostics come first in the result.
[[nodiscard]] ParsedStatement parse_plsql_unit(std::string_view source,
                                               std::span<const lexer::Token> tokens,
                                               const lexer::ParseOptions& options,
                                               uint32_t item_start = 0);

// Parses one item of `split` (the split result of `source`) with the entry of its kind
// over its token slice. Nothing for a command item or an item without tokens.
[[nodiscard]] std::optional<ParsedStatement> parse_item(std::string_view source,
                                                        const lexer::SplitResult& split,
                                                        const lexer::ScriptItem& item,
                                                        const lexer::ParseOptions& options);

class Parser;

// Ends an item's parse: leftover significant tokens (if any) get `leftover_message` at
// the first of them and go into one Error node; the trailing trivia are placed; the
// root of `root_kind` is opened at `root` (a checkpoint read raw from the builder
// before anything was placed) and finished. The builder then holds exactly one root.
void finish_item(Parser& p, syntax::Checkpoint root, syntax::NodeKind root_kind,
                 std::string_view leftover_message);

}  // namespace veltrane::parser
