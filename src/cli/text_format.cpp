#include "cli/text_format.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>

#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::cli {

using syntax::is_continuation_byte;

void append_integer(std::string& sink, uint64_t value) {
  std::array<char, 24> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  sink.append(digits.data(), result.ptr);
}

void append_fixed(std::string& sink, double value, int decimals) {
  // Large enough for any double in fixed notation (309 integer digits) and the decimals.
  std::array<char, 400> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                    std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) syntax::stop("fixed-notation number does not fit its buffer");
  sink.append(digits.data(), result.ptr);
}

std::size_t character_count(std::string_view text) {
  std::size_t count = 0;
  for (const char byte : text) {
    if (!is_continuation_byte(byte)) ++count;
  }
  return count;
}

void append_padded_right(std::string& sink, std::string_view text, std::size_t width) {
  sink.append(text);
  const std::size_t length = character_count(text);
  if (length < width) sink.append(width - length, ' ');
}

void append_padded_left(std::string& sink, std::string_view text, std::size_t width) {
  const std::size_t length = character_count(text);
  if (length < width) sink.append(width - length, ' ');
  sink.append(text);
}

void append_integer_padded_left(std::string& sink, uint64_t value, std::size_t width) {
  std::string digits;
  append_integer(digits, value);
  append_padded_left(sink, digits, width);
}

void append_position(std::string& sink, std::string_view name, syntax::LineCol position) {
  sink.append(name);
  sink.push_back(':');
  append_integer(sink, position.line);
  sink.push_back(':');
  append_integer(sink, position.column);
}

namespace {

constexpr std::string_view REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";

// The length of the control character at `text[i]` (1 for C0 but tab and for DEL, 2 for a
// C1 control in UTF-8), or 0 when none starts there.
std::size_t control_length(std::string_view text, std::size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return 1;
  if (byte == 0xC2 && i + 1 < text.size()) {
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if (next >= 0x80 && next <= 0x9F) return 2;
  }
  return 0;
}

}  // namespace

void append_for_terminal(std::string& sink, std::string_view text) {
  std::size_t copied = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = control_length(text, i);
    if (length == 0) {
      ++i;
      continue;
    }
    sink.append(text.substr(copied, i - copied));
    sink.append(REPLACEMENT_CHARACTER);
    i += length;
    copied = i;
  }
  sink.append(text.substr(copied));
}

void append_position_for_terminal(std::string& sink, std::string_view name,
                                  syntax::LineCol position) {
  append_for_terminal(sink, name);
  sink.push_back(':');
  append_integer(sink, position.line);
  sink.push_back(':');
  append_integer(sink, position.column);
}

double append_speed(std::string& sink, std::string_view done, uint64_t nanoseconds,
                    uint64_t bytes) {
  const double seconds = std::max(static_cast<double>(nanoseconds) / 1e9, 1e-9);
  sink.append(done);
  sink.append(" in ");
  append_fixed(sink, seconds * 1000, 1);
  sink.append(" ms: ");
  append_fixed(sink, static_cast<double>(bytes) / 1e6 / seconds, 0);
  sink.append(" MB/s");
  return seconds;
}

std::string_view first_characters(std::string_view text, std::size_t limit) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (is_continuation_byte(text[i])) continue;
    if (seen == limit) return text.substr(0, i);
    ++seen;
  }
  return text;
}

}  // namespace veltrane::cli
