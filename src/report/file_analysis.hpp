#pragma once

// The analysis of one source file for the report and the Lab: every script item with its
// position, kind and text, and for each parsed statement or unit its errors, warnings,
// tables, node count and whether its tree gives back its text; the file's counts, timing
// and highlighting rows. Positions are 1-based lines and columns (in characters) and
// UTF-16 offsets ("s", "e").

#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/parse_options.hpp"
#include "syntax/diagnostic.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::report {

using Json = nlohmann::json;

// One analysed file, owned by the caller.
struct FileAnalysis {
  // The object: bytes, classes, counts, items, lines, micros, name, version. Items never
  // hold "tree" here: trees can be a million levels deep, and the library's printer
  // recurses once per level.
  Json value;
  // Lab mode: for each element of value["items"], in order, the JSON text of its tree
  // (empty for an item that was not parsed). Report mode: empty.
  std::vector<std::string> trees;
};

// Analyses `text` under `name` with `options`. With `lab` on, every parsed item's tree is
// kept as JSON text in `trees`. Never fails for any text shorter than 2 GiB.
[[nodiscard]] FileAnalysis analyze_file(std::string_view name, std::string_view text,
                                        const lexer::ParseOptions& options, bool lab);

// The file entry of a report: what analyze_file gives in report mode, without the file's
// "classes" and "micros" and without each item's "micros", which a report never shows
// (the highlighting rows are not made at all).
[[nodiscard]] Json report_file_entry(std::string_view name, std::string_view text,
                                     const lexer::ParseOptions& options);

// The compact JSON text of the analysis, each item's "tree" (lab mode) in its sorted
// place between "text" and "warnings". Equals the library's dump() of the same value.
[[nodiscard]] std::string file_analysis_text(const FileAnalysis& analysis);

// One diagnostic object: col, e (the UTF-16 offset of the larger of start and end),
// line, message, s.
[[nodiscard]] Json file_diagnostic_json(const syntax::Diagnostic& diagnostic,
                                        const syntax::Utf16Positions& positions);

// The diagnostics of one severity, in list order, as diagnostic objects.
[[nodiscard]] Json diagnostics_json(std::span<const syntax::Diagnostic> diagnostics,
                                    syntax::Severity severity,
                                    const syntax::Utf16Positions& positions);

// Microseconds of a duration in nanoseconds, rounded to one decimal (halves away from
// zero); a negative duration gives 0.0.
[[nodiscard]] double rounded_micros(int64_t nanoseconds);

// "lines" of a file: the LF characters, plus one when text follows the last LF (or
// when the text without LF is not empty); 0 for the empty text.
[[nodiscard]] uint64_t counted_lines(std::string_view text);

}  // namespace veltrane::report
