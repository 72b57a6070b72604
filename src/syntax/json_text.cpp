#include "syntax/json_text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

namespace veltrane::syntax {

namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// The escape of each byte below U+0020 and of the two characters that always need one;
// empty for a byte written as it is.
constexpr std::array<std::string_view, 128> ESCAPES = [] {
  std::array<std::string_view, 128> table{};
  constexpr std::array<std::string_view, 32> CONTROL = {
      "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
      "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
      "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
      "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f",
  };
  for (std::size_t i = 0; i < CONTROL.size(); ++i) table[i] = CONTROL[i];
  table['"'] = "\\\"";
  table['\\'] = "\\\\";
  return table;
}();

[[nodiscard]] bool needs_escape(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || c == '"' || c == '\\';
}

}  // namespace

bool json_nests_too_deep(std::string_view text) {
  std::size_t depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    switch (text[i]) {
      case '[':
      case '{':
        if (++depth > JSON_NESTING_LIMIT) return true;
        break;
      case ']':
      case '}':
        if (depth > 0) --depth;
        break;
      case '"':
        // Skip the string: an escaped character never ends it.
        for (++i; i < text.size() && text[i] != '"'; ++i) {
          if (text[i] == '\\') ++i;
        }
        break;
      default:
        break;
    }
  }
  return false;
}

bool json_text_within_bounds(std::string_view text) {
  // JSON has no byte-order mark; the library would skip one silently.
  if (text.starts_with(BYTE_ORDER_MARK)) return false;
  // A NUL byte is never valid JSON (not white space, and raw inside no string), but the
  // library reads it as the end of the input and would ignore whatever follows it.
  if (text.find('\0') != std::string_view::npos) return false;
  return !json_nests_too_deep(text);
}

std::optional<nlohmann::json> read_json(std::string_view text) {
  if (!json_text_within_bounds(text)) return std::nullopt;
  nlohmann::json value = nlohmann::json::parse(text.begin(), text.end(), nullptr,
                                               /*allow_exceptions=*/false);
  if (value.is_discarded()) return std::nullopt;
  return value;
}

bool json_string_needs_no_escape(std::string_view text) {
  return std::none_of(text.begin(), text.end(), needs_escape);
}

std::size_t number_digits(std::size_t text_size) {
  std::size_t digits = 1;
  for (std::size_t largest = text_size + 1; largest >= 10; largest /= 10) ++digits;
  return digits;
}

void append_json_string(std::string& out, std::string_view text) {
  // Most texts (keys, names, kind words) need no escape: one append, quotes included.
  if (json_string_needs_no_escape(text)) {
    const std::size_t at = out.size();
    out.resize(at + text.size() + 2);
    char* to = out.data() + at;
    to[0] = '"';
    if (!text.empty()) std::memcpy(to + 1, text.data(), text.size());
    to[text.size() + 1] = '"';
    return;
  }
  out.push_back('"');
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!needs_escape(text[i])) continue;
    out.append(text.data() + run_start, i - run_start);
    out.append(ESCAPES[static_cast<unsigned char>(text[i])]);
    run_start = i + 1;
  }
  out.append(text.data() + run_start, text.size() - run_start);
  out.push_back('"');
}

void append_json_double(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out.append("null");
    return;
  }
  // The library's own conversion, into a buffer of the size its printer uses.
  std::array<char, 64> buffer{};
  char* end = nlohmann::detail::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
}

void JsonWriter::key(std::string_view name) {
  // Keys are short words: the comma, the quoted key and the colon are put together and
  // appended at once, where one append per piece would cost several times as much.
  constexpr std::size_t SHORT_KEY = 32;
  if (name.size() <= SHORT_KEY) {
    std::array<char, SHORT_KEY + 4> text{};
    char* at = text.data();
    if (need_comma_) *at++ = ',';
    *at++ = '"';
    if (copy_if_unescaped(at, name)) {
      at += name.size();
      *at++ = '"';
      *at++ = ':';
      out_.append(text.data(), static_cast<std::size_t>(at - text.data()));
      need_comma_ = false;
      return;
    }
  }
  separate();
  append_json_string(out_, name);
  out_.push_back(':');
  need_comma_ = false;
}

void JsonWriter::string_value(std::string_view text) {
  separate();
  append_json_string(out_, text);
  need_comma_ = true;
}

void JsonWriter::unsigned_value(uint64_t value) {
  separate();
  std::array<char, 24> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out_.append(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  need_comma_ = true;
}

void JsonWriter::signed_value(int64_t value) {
  separate();
  std::array<char, 24> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out_.append(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  need_comma_ = true;
}

void JsonWriter::bool_value(bool value) {
  separate();
  out_.append(value ? "true" : "false");
  need_comma_ = true;
}

void JsonWriter::null_value() {
  separate();
  out_.append("null");
  need_comma_ = true;
}

void JsonWriter::double_value(double value) {
  separate();
  append_json_double(out_, value);
  need_comma_ = true;
}

void JsonWriter::json_value(const nlohmann::json& value) {
  separate();
  out_ += value.dump();
  need_comma_ = true;
}

}  // namespace veltrane::syntax
