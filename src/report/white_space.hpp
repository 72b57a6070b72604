#pragma once

// Trimming Unicode White_Space from UTF-8 text.

#include <string_view>

namespace veltrane::report {

// `text` without the White_Space characters (CR, LF, tab, U+00A0, U+3000 ...) at both
// ends; a view into `text`. Ill-formed bytes are not white space.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

}  // namespace veltrane::report
