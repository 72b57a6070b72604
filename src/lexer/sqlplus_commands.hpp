#pragma once
// The SQL*Plus client commands the script splitter recognises at the start of a
// line, each with the shortest abbreviation SQL*Plus accepts for it, and the readers of
// what the commands say that others act on.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::lexer {

// One client command: its canonical (full, upper-case) name and the minimum
// number of leading letters that abbreviate it.
struct SqlplusCommand {
  std::string_view name;
  uint8_t min_length;
};

// Searched in this order; the first row that fits a word wins. Besides the commands
// that act, the buffer-edit commands (APPEND, CHANGE, DEL, EDIT, GET, INPUT, LIST, SAVE,
// STORE) and ORADEBUG, so that a line of theirs never opens a statement.
inline constexpr std::array<SqlplusCommand, 43> SQLPLUS_COMMANDS = {{
    {"ACCEPT", 3},   {"APPEND", 1},   {"BREAK", 3},      {"BTITLE", 3},    {"CHANGE", 1},
    {"CLEAR", 2},    {"COLUMN", 3},   {"COMPUTE", 4},    {"CONNECT", 4},   {"DEFINE", 3},
    {"DEL", 3},      {"DESCRIBE", 4}, {"DISCONNECT", 4}, {"EDIT", 2},      {"EXECUTE", 4},
    {"EXIT", 4},     {"GET", 3},      {"HOST", 2},       {"INPUT", 1},     {"LIST", 1},
    {"ORADEBUG", 8}, {"PASSWORD", 5}, {"PAUSE", 3},      {"PRINT", 3},     {"PROMPT", 3},
    {"QUIT", 4},     {"REMARK", 3},   {"REPFOOTER", 4},  {"REPHEADER", 4}, {"RUN", 3},
    {"SAVE", 3},     {"SET", 3},      {"SHOW", 3},       {"SHUTDOWN", 8},  {"SPOOL", 3},
    {"START", 3},    {"STARTUP", 7},  {"STORE", 5},      {"TIMING", 4},    {"TTITLE", 3},
    {"UNDEFINE", 5}, {"VARIABLE", 3}, {"WHENEVER", 8},
}};

// The first row whose full name begins with `word` and whose minimum length <=
// word length <= full length, or nullptr. The word is compared folding ASCII
// letters only, so callers need not upper-case it: "DESC" and "desc" find
// DESCRIBE, "EXEC" finds EXECUTE, "R" finds nothing. The result points into
// SQLPLUS_COMMANDS (static storage).
[[nodiscard]] const SqlplusCommand* find_sqlplus_command(std::string_view word);

// The user a CONNECT command's text names (CONNECT user[/password][@db] or
// CONNECT "User"…), in its normal form; none when the command names none (CONNECT,
// CONNECT / AS SYSDBA), its quoted name is not closed, or it holds a substitution.
[[nodiscard]] std::optional<std::string> connect_user(std::string_view command);

}  // namespace veltrane::lexer
