#pragma once

// The bodies of the Python functions `tokenize`, `split` and `parse`: plain operations
// from text to JSON text that know nothing of the interpreter. The Python module matches
// and converts the arguments, runs one of these and turns its answer or failure into
// Python values.

#include <optional>
#include <string>
#include <string_view>

namespace veltrane::api {

// Every token of the text, trivia included, from the lexer alone:
// [{"col","kind","line","text"}]. Invalid UTF-8 is decoded lossily first.
[[nodiscard]] std::string tokenize_json(std::string_view bytes);

// Every item of the split script: [{"col","command","kind","line","text"}].
[[nodiscard]] std::string split_json(std::string_view bytes);

// What `parse_json` answers: the JSON text, or the message of the one error it can report
// (a version text that is no Oracle version, which the module raises as ValueError).
struct ParseAnswer {
  std::string json;
  std::optional<std::string> error;
};

// Every parsed item of the script for the target version (26ai when none is given), with
// its diagnostics (first the lexer errors it holds, such as an unterminated string),
// referenced tables and, when `with_tree`, its tree dump:
// [{"col","errors","kind","line","statement","tables","text","tree"?,"warnings"}].
[[nodiscard]] ParseAnswer parse_json(std::string_view bytes,
                                     std::optional<std::string_view> version_text, bool with_tree);

}  // namespace veltrane::api
