#include "report/version_arg.hpp"

#include <cstdint>

#include "lexer/oracle_version.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::report {

namespace {
constexpr uint16_t OLDEST_REPORT_MAJOR = 9;
}  // namespace

VersionArg parse_version_arg(std::optional<std::string_view> text) {
  VersionArg result;
  if (!text || syntax::trim_white_space(*text).empty()) return result;
  // A report targets a release the grammar knows: Oracle9i and later. Older numbers ("7", "8.1")
  // read as versions but name nothing the analysis can be made for.
  const std::optional<lexer::OracleVersion> version = lexer::parse_oracle_version(*text);
  if (version && version->major >= OLDEST_REPORT_MAJOR) {
    result.options.version = *version;
    return result;
  }
  result.error = std::string(*text);
  result.error.append(" is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)");
  return result;
}

}  // namespace veltrane::report
