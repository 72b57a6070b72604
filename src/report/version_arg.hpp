#pragma once

// Reading the target-version text of the report command and of the Lab's requests.

#include <optional>
#include <string>
#include <string_view>

#include "lexer/parse_options.hpp"

namespace veltrane::report {

// Options with no conditional-compilation flags and the version read from `text`: none,
// empty or blank gives 23.26 ("26ai"). A text that is no version gives the error text
// "{text} is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)", the text as given; so does
// a release before Oracle9i ("7", "8.1.7").
struct VersionArg {
  lexer::ParseOptions options;
  std::string error;  // empty when the text was read
  [[nodiscard]] bool ok() const { return error.empty(); }
};

[[nodiscard]] VersionArg parse_version_arg(std::optional<std::string_view> text);

}  // namespace veltrane::report
