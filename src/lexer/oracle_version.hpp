#pragma once
// Oracle release numbers: read from the way users write them ("12.2", "19c",
// "23ai", "26ai") and shown back the same way.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::lexer {

// A target Oracle release. Ordered by major, then minor; the default is 23.26,
// shown "26ai". Compare versions as pairs, never through a packed 32-bit
// value (the packed form keeps the minor in the high half).
struct OracleVersion {
  uint16_t major = 23;
  uint16_t minor = 26;

  friend auto operator<=>(const OracleVersion&, const OracleVersion&) = default;
};

// Reads a version text: white space trimmed at both ends, ASCII case folded,
// "26" and "26ai" mean 23.26, a final "ai" (or else "c") dropped, and only the
// first two "."-parts kept («11.2.0.4» reads as 11.2). None when the text is
// not a version.
[[nodiscard]] std::optional<OracleVersion> parse_oracle_version(std::string_view text);

// Reads "major" or "major.minor": each part decimal digits with at most one
// leading "+", at most 65535. None on an empty part or any other character.
[[nodiscard]] std::optional<OracleVersion> parse_version_number(std::string_view text);

// The display text: "M.m" below 13, "Mc" for 13 to 22, "26ai" for 23 with a
// minor of 26 or more, else "Mai".
[[nodiscard]] std::string format_version(OracleVersion version);

}  // namespace veltrane::lexer
