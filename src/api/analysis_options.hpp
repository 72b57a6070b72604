#pragma once

// The options text of an analysis: target version, conditional-compilation flags and
// default schema. Reading never fails: whatever cannot be read gives the defaults,
// silently, because callers rely on that leniency.

#include <string>
#include <string_view>

#include "lexer/oracle_version.hpp"
#include "lexer/parse_options.hpp"

namespace veltrane::api {

inline constexpr std::string_view DEFAULT_SCHEMA = "APP";

struct AnalysisOptions {
  lexer::OracleVersion version;        // 23.26 ("26ai") unless the text names another
  lexer::CcFlags ccflags;              // empty unless the text gives flags
  std::string schema{DEFAULT_SCHEMA};  // trimmed and ASCII upper-cased; never empty
};

// Reads {"version": "19c", "ccflags": "debug:TRUE, level:2", "schema": "hr"}. A text that
// is not a JSON object, a key whose value is not a string and any other key count as
// absent. `text` is valid UTF-8.
[[nodiscard]] AnalysisOptions read_analysis_options(std::string_view text);

// Reads flags written as for PLSQL_CCFLAGS: pieces cut at every ",", each split at its
// first ":" into a name (trimmed, ASCII upper-cased) and a value (trimmed) that is a
// boolean, a number or a text. A later piece replaces an earlier one of the same name.
[[nodiscard]] lexer::CcFlags read_ccflags(std::string_view text);

// The value of one flag: "true"/"false" in any ASCII case, then a decimal number
// (sign, inf, infinity, nan, digits with an optional point and exponent), else the text
// with every leading and trailing "'" removed.
[[nodiscard]] lexer::CcValue read_ccflag_value(std::string_view value_text);

}  // namespace veltrane::api
