#pragma once

// The analysis of one source file for the report and the Lab: every script item with its
// position, kind and text, and for each parsed statement or unit its errors, warnings,
// tables, node count and whether its tree gives back its text; the file's counts, timing
// and highlighting rows. Positions are 1-based lines and columns (in characters) and
// UTF-16 offsets ("s", "e").
//
// Nothing here builds a JSON library value of the analysis: each item is handed to its
// writers as it is analysed and then dropped, so memory follows what is written, and an
// exhausted allocator unwinds through plain strings and vectors.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "report/token_classes.hpp"
#include "syntax/diagnostic.hpp"
#include "syntax/json_text.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::report {

// One diagnostic of an item: its start as line and column, its UTF-16 span (written as
// "s" and "e"; the end is the offset of the larger of start and end) and its message
// (static text).
struct ItemDiagnostic {
  uint32_t line = 0;
  uint32_t col = 0;
  uint64_t start_offset = 0;
  uint64_t end_offset = 0;
  std::string_view message;
};

// One analysed script item, valid while its writers run: the views borrow the source
// text and the item's tree. Each item is a fresh value.
struct AnalyzedItem {
  const lexer::ScriptItem* script_item = nullptr;
  uint32_t line = 0;
  uint32_t col = 0;
  uint32_t end_line = 0;
  // The item's UTF-16 span, written as "s" and "e".
  uint64_t start_offset = 0;
  uint64_t end_offset = 0;
  std::string_view text;
  // Client commands: the command's name (absent for an unnamed one); parsed is null.
  std::optional<std::string_view> command;
  // Parsed statements and units: what follows, parsed non-null.
  const parser::ParsedStatement* parsed = nullptr;
  bool plsql = false;
  std::string statement;
  std::vector<ItemDiagnostic> errors;
  std::vector<ItemDiagnostic> warnings;
  std::vector<std::string> tables;
  bool lossless = false;
  uint64_t nodes = 0;
  // The parse time (Lab only).
  std::optional<double> micros;
};

// The counts of one file, or summed over several.
struct FileCounts {
  uint64_t errors = 0;
  uint64_t nodes = 0;
  uint64_t sqlplus = 0;
  uint64_t statements = 0;
  uint64_t warnings = 0;
  uint64_t with_errors = 0;
};

// What the analysis of one file makes besides its items.
struct ItemsOutcome {
  FileCounts counts;
  // The highlighting rows, sorted (Lab only).
  std::vector<ClassRow> rows;
};

using ItemHandler = std::function<void(const AnalyzedItem&)>;

// The errors of `text` (split as `split`) that belong to no item (see loose_lexer_errors),
// in text order. Their count goes into the file's "errors"; the faces list them before the
// items' problems.
[[nodiscard]] std::vector<ItemDiagnostic> file_errors_of(std::string_view text,
                                                         const lexer::SplitResult& split,
                                                         const syntax::Utf16Positions& positions);

// The one error of a file in UTF-16: at line 1, column 1, offset 0.
[[nodiscard]] std::vector<ItemDiagnostic> utf16_file_errors();

// Writes "errors" with the file's own errors, when there are any: a file without them has
// no such member.
void write_file_errors_json(syntax::JsonWriter& writer, const std::vector<ItemDiagnostic>& errors);

// The length of write_file_errors_json of `errors` or more, numbers counted at `digits`.
[[nodiscard]] std::size_t file_errors_size_bound(const std::vector<ItemDiagnostic>& errors,
                                                 std::size_t digits);

// Analyses the items of `text` (split as `split`) in order and hands each to `on_item`.
// With `lab` on, each item carries its parse time and the file's highlighting rows are made.
// Never fails for any text shorter than 2 GiB.
[[nodiscard]] ItemsOutcome analyze_items(std::string_view text, const lexer::SplitResult& split,
                                         const syntax::Utf16Positions& positions,
                                         const lexer::ParseOptions& options, bool lab,
                                         const ItemHandler& on_item);

// What the Lab's tree JSON of an item is written from (see tree_json.hpp).
struct TreeSource {
  std::string_view text;
  const syntax::Utf16Positions& positions;
};

// Writes one item's object: for a parsed item bytes, col, e, end_line, errors, kind, line,
// lossless, micros (when measured), nodes, s, statement, tables, text, tree (only with a
// tree source), warnings; for a client command col, command, e, end_line, kind, line, s,
// text.
void write_item_json(syntax::JsonWriter& writer, const AnalyzedItem& item, const TreeSource* tree);

// The length of write_item_json of `item` without a tree, or more, each number counted at
// `digits` digits (see syntax::number_digits); the tree's is tree_json_size_bound.
[[nodiscard]] std::size_t item_json_size_bound(const AnalyzedItem& item, std::size_t digits);

// What write_item_json will write for the items of `text`, about, known before they are
// analysed: enough room to write most files' items without growing the text.
[[nodiscard]] std::size_t expected_items_json_size(std::string_view text,
                                                   const lexer::SplitResult& split,
                                                   bool with_trees);

// {"errors","nodes","sqlplus","statements","warnings","with_errors"}.
void write_counts_json(syntax::JsonWriter& writer, const FileCounts& counts);

// The Lab's analysis of one file, as compact JSON: bytes, classes, counts, errors (only
// when the file has errors of its own), items (each with its tree), lines, micros, name,
// version.
[[nodiscard]] std::string file_analysis_json(std::string_view name, std::string_view text,
                                             const lexer::ParseOptions& options);

// Microseconds of a duration in nanoseconds, rounded to one decimal (halves away from
// zero); a negative duration gives 0.0.
[[nodiscard]] double rounded_micros(int64_t nanoseconds);

// "lines" of a file: the LF characters, plus one when text follows the last LF (or
// when the text without LF is not empty); 0 for the empty text.
[[nodiscard]] uint64_t counted_lines(std::string_view text);

}  // namespace veltrane::report
