#pragma once

// The command entries that run_cli dispatches to. Each takes the arguments after the
// command word and the run's output streams, and returns the exit status.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "lexer/script_splitter.hpp"
#include "lexer/token.hpp"

namespace veltrane::cli {

class Output;

// `lex` (split false) and `split` (split true): flags --dump, --summary (split only) and
// --strict; other "--" arguments are skipped; the rest are PATHs.
[[nodiscard]] uint8_t cmd_lex(std::span<const std::string> args, bool split, Output& output);

// `parse`: flags --dump, --errors, --json and --strict, option --version V.
[[nodiscard]] uint8_t cmd_parse(std::span<const std::string> args, Output& output);

// `catalog`: option --schema S (default SYSTEM); other "--" arguments are skipped. Status
// 1 when an input could not be read.
[[nodiscard]] uint8_t cmd_catalog(std::span<const std::string> args, Output& output);

// `report`: options --out DIR, --format LIST, --title T, --schema S, --version V and the
// flag --fail-on-errors; any other "--" argument is refused. Status 1 when an input could
// not be read, an output could not be written, or --fail-on-errors finds errors.
[[nodiscard]] uint8_t cmd_report(std::span<const std::string> args, Output& output);

// True when the argument is an option word: it begins with "--".
[[nodiscard]] constexpr bool is_option_word(std::string_view argument) {
  return argument.size() >= 2 && argument[0] == '-' && argument[1] == '-';
}

// The coverage check of `lex`: each token starts where the one before it ended, the first
// at 0, and the last ends at the text's end.
[[nodiscard]] bool tokens_cover(std::span<const lexer::Token> tokens, std::size_t text_length);

// The coverage check of `split`: the splitter's tokens and the spans of its client-command
// items, merged by start offset, cover the text the same way.
[[nodiscard]] bool tokens_and_commands_cover(std::span<const lexer::Token> tokens,
                                             std::span<const lexer::ScriptItem> items,
                                             std::size_t text_length);

// Nanoseconds from `before` until now on the steady clock; 0 when none passed.
[[nodiscard]] inline uint64_t nanoseconds_since(std::chrono::steady_clock::time_point before) {
  const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now() - before)
                           .count();
  return elapsed > 0 ? static_cast<uint64_t>(elapsed) : 0;
}

// True when any argument equals `flag`.
[[nodiscard]] bool has_flag(std::span<const std::string> args, std::string_view flag);

// `lab`: options --port N and --no-open; serves the Lab on 127.0.0.1 until the process is
// stopped. Returns only when no port could be bound (status 1).
[[nodiscard]] uint8_t cmd_lab(std::span<const std::string> args, Output& output);

// `serve`: option --port N; serves the test page on 127.0.0.1 until the process is
// stopped. Returns only when the port could not be bound (status 1).
[[nodiscard]] uint8_t cmd_serve(std::span<const std::string> args, Output& output);

}  // namespace veltrane::cli
