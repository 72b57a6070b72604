#pragma once
// Diagnostics: problems found in the input, handed back by the lexer, the
// splitter, conditional compilation and the parser as plain values.

#include <cstdint>
#include <string_view>

namespace veltrane::syntax {

// Severity of a diagnostic: written "error" and "warning" wherever diagnostics
// are printed.
enum class Severity : uint8_t { Error = 0, Warning = 1 };

// "error" or "warning".
[[nodiscard]] constexpr std::string_view severity_name(Severity severity) {
  return severity == Severity::Error ? std::string_view("error") : std::string_view("warning");
}

// A problem found in the input. `message` always views a string literal (a
// fixed text with static storage); it is never built at run time and never
// owned, so a diagnostic may be copied freely and outlive everything.
struct Diagnostic {
  std::string_view message;
  uint32_t start = 0;
  uint32_t end = 0;
  Severity severity = Severity::Error;

  friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

}  // namespace veltrane::syntax
