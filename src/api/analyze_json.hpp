#pragma once

// The analysis driver: one whole script and its options text in, the complete analysis
// as one compact JSON text out (items, trees, tokens, diagnostics, tables, identifier and
// statement records, offsets in UTF-16 code units). It keeps nothing between calls.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "api/analysis_options.hpp"
#include "resolve/resolve_script.hpp"
#include "syntax/tree.hpp"

namespace veltrane::syntax {
class JsonWriter;
}  // namespace veltrane::syntax

namespace veltrane::api {

// Texts of syntax::MAX_TEXT_BYTES or more are refused with a result that says so.
inline constexpr std::string_view TEXT_TOO_LARGE = "text too large (2 GiB or more)";

// The analysis result of `text` under the options text; both valid UTF-8. Never fails on
// input: a text of syntax::MAX_TEXT_BYTES or more gives the refusal result.
[[nodiscard]] std::string analyze_json(std::string_view text, std::string_view options_text);

// The same result, written over the content of `out`. Its storage is kept when it has room
// for the result and is either a few MiB at most or not far larger (a buffer that was
// written before costs no fresh pages); otherwise it is freed first. Neither text may lie
// inside `out`'s storage.
void analyze_json_into(std::string_view text, std::string_view options_text, std::string& out);

// Members that a caller adds to the result: written after "lines" and before "version",
// so their keys must sort between those two.
using ExtraMembers = std::function<void(syntax::JsonWriter& writer)>;

// The same result for options already read, with the caller's members when given.
void analyze_json_into(std::string_view text, const AnalysisOptions& options, std::string& out,
                       const ExtraMembers& extra_members = {});

// The result for a text that is too large: no items, one error diagnostic at the start,
// "lines" from `line_feeds` (the text's LF count) and the options' version.
[[nodiscard]] std::string too_large_result_json(uint64_t line_feeds, std::string_view options_text);

// The owner and name under which a statement's object is resolved, and under which a
// package specification is kept (see resolve/resolve_script.hpp).
using resolve::OwnerAndName;
using resolve::qualified_object_name;

}  // namespace veltrane::api
