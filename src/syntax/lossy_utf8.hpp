#pragma once

// Turns bytes that should be UTF-8 into UTF-8: each maximal ill-formed subsequence
// becomes one U+FFFD. Never fails.

#include <string>
#include <string_view>

namespace veltrane::syntax {

[[nodiscard]] std::string lossy_utf8(std::string_view bytes);

// True when `bytes` is well-formed UTF-8 throughout.
[[nodiscard]] bool is_valid_utf8(std::string_view bytes);

}  // namespace veltrane::syntax
