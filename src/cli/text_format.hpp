#pragma once

// Number and column formatting for the command line's output lines. Locale-independent:
// nothing here reads LC_NUMERIC or any other process setting.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "syntax/span.hpp"

namespace veltrane::cli {

// Appends `value` in decimal, no separators.
void append_integer(std::string& sink, uint64_t value);

// Appends `value` in fixed notation with exactly `decimals` decimals (0 to 2 in practice):
// the exact binary value correctly rounded, an exact tie going to the even digit
// (3.125 with two decimals gives "3.12", 2.5 with none gives "2").
void append_fixed(std::string& sink, double value, int decimals);

// The number of characters of UTF-8 text: the bytes that are not continuation bytes.
[[nodiscard]] std::size_t character_count(std::string_view text);

// Appends `text` left-aligned, padded with blanks on the right to `width` characters; a
// longer text is written whole.
void append_padded_right(std::string& sink, std::string_view text, std::size_t width);

// Appends `text` right-aligned, padded with blanks on the left to `width` characters; a
// longer text is written whole.
void append_padded_left(std::string& sink, std::string_view text, std::size_t width);

// Appends `value` in decimal, right-aligned to `width` characters.
void append_integer_padded_left(std::string& sink, uint64_t value, std::size_t width);

// Appends "name:line:column".
void append_position(std::string& sink, std::string_view name, syntax::LineCol position);

// Appends valid UTF-8 `text` for a person's terminal: every C0 control character but tab
// (U+0000-U+0008, U+000A-U+001F), DEL (U+007F) and every C1 control (U+0080-U+009F) becomes
// U+FFFD, so that a script or a file name cannot move the cursor, retitle or clear the
// terminal. Everything else is appended as it stands.
void append_for_terminal(std::string& sink, std::string_view text);

// Appends "name:line:column" with the name written by append_for_terminal.
void append_position_for_terminal(std::string& sink, std::string_view name,
                                  syntax::LineCol position);

// Appends "<done> in X ms: Y MB/s" for `bytes` handled in `nanoseconds` (taken as at least
// 1 ns) and returns those seconds.
double append_speed(std::string& sink, std::string_view done, uint64_t nanoseconds, uint64_t bytes);

// The first `limit` characters of valid UTF-8 `text` (all of it when shorter), viewing it.
[[nodiscard]] std::string_view first_characters(std::string_view text, std::size_t limit);

}  // namespace veltrane::cli
