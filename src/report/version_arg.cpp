#include "report/version_arg.hpp"

#include "lexer/oracle_version.hpp"
#include "report/white_space.hpp"

namespace veltrane::report {

VersionArg parse_version_arg(std::optional<std::string_view> text) {
  VersionArg result;
  if (!text || trim_white_space(*text).empty()) return result;
  if (const std::optional<lexer::OracleVersion> version = lexer::parse_oracle_version(*text)) {
    result.options.version = *version;
    return result;
  }
  result.error = std::string(*text);
  result.error.append(" is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)");
  return result;
}

}  // namespace veltrane::report
