#include "api/analysis_options.hpp"

#include <charconv>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

#include "lexer/conditional_compilation.hpp"
#include "syntax/json_text.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::api {

namespace {

[[nodiscard]] bool is_digit(char c) { return c >= '0' && c <= '9'; }

// True when `text` is digits with an optional "." and fraction, at least one digit in
// all, then an optional exponent with at least one digit.
[[nodiscard]] bool is_digit_form(std::string_view text) {
  std::size_t i = 0;
  std::size_t mantissa_digits = 0;
  const auto skip_digits = [&] {
    for (; i < text.size() && is_digit(text[i]); ++i) ++mantissa_digits;
  };
  skip_digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    skip_digits();
  }
  if (mantissa_digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponent_start = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    if (i == exponent_start) return false;
  }
  return i == text.size();
}

// The number a flag value reads as, or none when it is not one.
[[nodiscard]] std::optional<double> read_decimal_number(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const double sign = negative ? -1.0 : 1.0;
  if (syntax::equals_ascii_folded(text, "inf") || syntax::equals_ascii_folded(text, "infinity")) {
    return sign * std::numeric_limits<double>::infinity();
  }
  if (syntax::equals_ascii_folded(text, "nan")) {
    return sign * std::numeric_limits<double>::quiet_NaN();
  }
  if (!is_digit_form(text)) return std::nullopt;
  // The grammar is checked above; from_chars only converts (it never sees a sign, and
  // it would accept forms such as "nan(1)" that the grammar refuses).
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value unwritten: too large gives infinity, too small 0.
    value = lexer::out_of_range_value(text);
  } else if (error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return sign * value;
}

using syntax::ascii_upper_copy;

// The member's string value, or none when the key is absent or its value is not a string.
[[nodiscard]] const std::string* string_member(const nlohmann::json& object, std::string_view key) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return nullptr;
  return found->get_ptr<const std::string*>();
}

}  // namespace

lexer::CcValue read_ccflag_value(std::string_view value_text) {
  if (syntax::equals_ascii_folded(value_text, "true")) return true;
  if (syntax::equals_ascii_folded(value_text, "false")) return false;
  if (const std::optional<double> number = read_decimal_number(value_text)) return *number;
  while (!value_text.empty() && value_text.front() == '\'') value_text.remove_prefix(1);
  while (!value_text.empty() && value_text.back() == '\'') value_text.remove_suffix(1);
  return std::string(value_text);
}

lexer::CcFlags read_ccflags(std::string_view text) {
  lexer::CcFlags flags;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view piece = text.substr(0, comma);
    const std::size_t colon = piece.find(':');
    if (colon != std::string_view::npos) {
      const std::string_view name = syntax::trim_white_space(piece.substr(0, colon));
      if (!name.empty()) {
        flags.insert_or_assign(
            ascii_upper_copy(name),
            read_ccflag_value(syntax::trim_white_space(piece.substr(colon + 1))));
      }
    }
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return flags;
}

AnalysisOptions read_analysis_options(std::string_view text) {
  AnalysisOptions options;
  // No options, the common case: no JSON reader to run.
  if (text.empty()) return options;
  const std::optional<nlohmann::json> value = syntax::read_json(text);
  if (!value.has_value() || !value->is_object()) return options;
  if (const std::string* version = string_member(*value, "version")) {
    if (const auto parsed = lexer::parse_oracle_version(*version)) options.version = *parsed;
  }
  if (const std::string* ccflags = string_member(*value, "ccflags")) {
    options.ccflags = read_ccflags(*ccflags);
  }
  if (const std::string* schema = string_member(*value, "schema")) {
    const std::string upper = ascii_upper_copy(syntax::trim_white_space(*schema));
    if (!upper.empty()) options.schema = upper;
  }
  return options;
}

}  // namespace veltrane::api
