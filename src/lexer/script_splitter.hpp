#pragma once
// The SQL*Plus script splitter: cuts a whole script into client commands, SQL
// statements and PL/SQL units in one pass over the lexer's tokens.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "lexer/token.hpp"

namespace veltrane::lexer {

enum class ScriptItemKind : uint8_t { SqlPlus = 0, Sql = 1, PlSql = 2 };

// "SqlPlus", "Sql" or "PlSql" (static text).
[[nodiscard]] std::string_view script_item_kind_name(ScriptItemKind kind);
// Same as `script_item_kind_name`.
[[nodiscard]] std::string_view item_kind_name(ScriptItemKind kind);

// One item of a split script. Offsets are bytes into the whole text.
struct ScriptItem {
  // Byte offset of the item's first character.
  uint32_t start = 0;
  // Statement: end of its last significant token (terminator excluded); equal
  // to `start` for a statement without a significant token of its own (a stray
  // ";"). Command: end of its last line's content, trailing white space
  // excluded. A "/" line: start + 1.
  uint32_t end = 0;
  // Token range [first_token, end_token) into SplitResult::tokens. It never
  // holds the terminator, nor trivia or line continuations after the last
  // significant token. Both 0 for commands; equal (and in range) for a
  // statement without significant tokens.
  uint32_t first_token = 0;
  uint32_t end_token = 0;
  // Canonical command name ("SET", "EXECUTE", "/", "@", "@@", "HOST", "LINE" for a
  // numbered line, "." for a line holding only "." ...), viewing static text; absent
  // for statements.
  std::optional<std::string_view> command;
  // 1 when a ";" or a "/" line ended the statement, else 0 (the end of the text, or a
  // "." line, which ends statement entry without running it).
  uint32_t terminated = 0;
  // The terminator token's span; both 0 when `terminated` is 0.
  uint32_t terminator_start = 0;
  uint32_t terminator_end = 0;
  ScriptItemKind kind = ScriptItemKind::Sql;

  friend bool operator==(const ScriptItem&, const ScriptItem&) = default;
};

struct SplitResult {
  // In text order.
  std::vector<ScriptItem> items;
  // Every trivia token between items and every token of every statement, in
  // text order. Command text (and the "/" of a "/" line) has no tokens; the
  // tokens plus the command spans cover the text exactly once.
  std::vector<Token> tokens;
  // The lexer's diagnostics, in text order.
  std::vector<Diagnostic> diagnostics;
};

// Splits a whole script. Never fails; an empty text gives no items.
//
// Precondition: text.size() < 2^31 (2 GiB). Offsets are 32-bit and tree child
// entries keep 31 bits; the entry points that read input refuse larger texts
// before they get here, and a larger text stops the program with an internal
// error.
[[nodiscard]] SplitResult split_script(std::string_view text);

// The word after a command name: `rest` (the remainder of the line) is
// stripped of leading white space, then cut at the first character that is
// not an ASCII letter. Empty when the rest starts with another character.
// Views into `rest`; not upper-cased.
[[nodiscard]] std::string_view next_command_word(std::string_view rest);

}  // namespace veltrane::lexer
