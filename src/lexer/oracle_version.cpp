#include "lexer/oracle_version.hpp"

#include <charconv>

#include "syntax/unicode.hpp"

namespace veltrane::lexer {

namespace {

// One number part: at most one "+", then decimal digits to the end, at most
// 65535.
std::optional<uint16_t> parse_part(std::string_view part) {
  if (!part.empty() && part.front() == '+') part.remove_prefix(1);
  if (part.empty()) return std::nullopt;
  uint16_t value = 0;
  const char* end = part.data() + part.size();
  const auto [stop, error] = std::from_chars(part.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

std::optional<OracleVersion> parse_version_number(std::string_view text) {
  const size_t dot = text.find('.');
  const std::optional<uint16_t> major = parse_part(text.substr(0, dot));
  if (!major) return std::nullopt;
  uint16_t minor = 0;
  if (dot != std::string_view::npos) {
    const std::optional<uint16_t> minor_part = parse_part(text.substr(dot + 1));
    if (!minor_part) return std::nullopt;
    minor = *minor_part;
  }
  return OracleVersion{*major, minor};
}

std::optional<OracleVersion> parse_oracle_version(std::string_view text) {
  std::string folded(syntax::trim_white_space(text));
  for (char& character : folded) {
    if (character >= 'A' && character <= 'Z') character = static_cast<char>(character - 'A' + 'a');
  }
  std::string_view version = folded;
  if (version == "26" || version == "26ai") return OracleVersion{23, 26};
  if (ends_with(version, "ai")) {
    version.remove_suffix(2);
  } else if (ends_with(version, "c")) {
    version.remove_suffix(1);
  }
  // Only the first two "."-parts count.
  const size_t first_dot = version.find('.');
  if (first_dot != std::string_view::npos) {
    const size_t second_dot = version.find('.', first_dot + 1);
    if (second_dot != std::string_view::npos) version = version.substr(0, second_dot);
  }
  return parse_version_number(version);
}

std::string format_version(OracleVersion version) {
  const std::string major = std::to_string(version.major);
  if (version.major < 13) return major + "." + std::to_string(version.minor);
  if (version.major <= 22) return major + "c";
  if (version.major == 23 && version.minor >= 26) return "26ai";
  return major + "ai";
}

}  // namespace veltrane::lexer
