#pragma once

// Pieces of the `parse` command that stand on their own: the JSON string literal of its
// `--json` lines and the source excerpt of its `--errors` lines.

#include <cstdint>
#include <string>
#include <string_view>

#include "syntax/span.hpp"

namespace veltrane::cli {

// The JSON string literal of valid UTF-8 `text`: \" \\ \t \n \r, every other character
// below U+0020 as \u and four lower-case hexadecimal digits (backspace and form feed
// included), everything else written as it stands.
[[nodiscard]] std::string json_quote(std::string_view text);

// Characters an excerpt keeps.
inline constexpr std::size_t EXCERPT_CHARACTERS = 110;

// The excerpt of line `line` (from 1) of the indexed text: the line without its LF,
// Unicode White_Space trimmed at both ends, cut to its first EXCERPT_CHARACTERS
// characters. The text after the last LF is a line only when it is not empty; a line
// that does not exist gives an empty excerpt. Views the index's text.
[[nodiscard]] std::string_view error_excerpt(const syntax::LineIndex& index, uint32_t line);

}  // namespace veltrane::cli
