#include "lexer/script_splitter.hpp"

#include <algorithm>
#include <cstring>

#include "lexer/lexer.hpp"
#include "lexer/script_lines.hpp"
#include "lexer/sqlplus_commands.hpp"
#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::lexer {

namespace {

using syntax::TokenKind;

constexpr bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

using syntax::ascii_upper;
using syntax::equals_word;

template <std::size_t N>
bool equals_any(std::string_view text, const std::string_view (&words)[N]) {
  for (std::string_view word : words) {
    if (equals_word(text, word)) return true;
  }
  return false;
}

// Length in bytes of the white-space character at `offset` (the lexer's class:
// ASCII 9-13, space, Unicode White_Space), or 0 when there is none there.
uint32_t white_space_length(std::string_view text, std::size_t offset) {
  const auto byte = static_cast<unsigned char>(text[offset]);
  if (byte < 0x80) return is_ascii_white_space(text[offset]) ? 1 : 0;
  const syntax::DecodedChar decoded = syntax::decode_utf8(text, offset);
  if (decoded.code_point < 0) return 0;
  return syntax::is_white_space(static_cast<char32_t>(decoded.code_point)) ? decoded.length : 0;
}

// The end of [begin, end) once trailing white space is removed.
uint32_t trim_end(std::string_view text, uint32_t begin, uint32_t end) {
  while (end > begin) {
    const auto byte = static_cast<unsigned char>(text[end - 1]);
    if (byte < 0x80) {
      if (!is_ascii_white_space(text[end - 1])) break;
      --end;
      continue;
    }
    // Step back to the first byte of the last character (at most 4 bytes).
    uint32_t lead = end - 1;
    while (lead > begin && end - lead < 4 &&
           (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) {
      --lead;
    }
    const syntax::DecodedChar decoded = syntax::decode_utf8(text, lead);
    if (decoded.code_point < 0 || lead + decoded.length != end ||
        !syntax::is_white_space(static_cast<char32_t>(decoded.code_point))) {
      break;
    }
    end = lead;
  }
  return end;
}

// Every line that ends at an LF in [from, to) has "-" as its last character, blanks, tabs
// and CRs aside. The lines are read as text, as SQL*Plus reads them: a "-" inside a string
// or a comment ends its line as well as one of its own. `from` is a line's start or a
// significant character.
bool lines_end_in_minus(std::string_view text, uint32_t from, uint32_t to) {
  while (from < to) {
    const void* found = std::memchr(text.data() + from, '\n', to - from);
    if (found == nullptr) return true;
    const auto line_feed = static_cast<uint32_t>(static_cast<const char*>(found) - text.data());
    uint32_t last = line_feed;
    while (last > from && is_blank_tab_or_cr(text[last - 1])) --last;
    if (last == from || text[last - 1] != '-') return false;
    from = line_feed + 1;
  }
  return true;
}

uint32_t length_of(std::string_view text) { return static_cast<uint32_t>(text.size()); }

constexpr std::string_view COMMAND_SLASH = "/";
constexpr std::string_view COMMAND_AT = "@";
constexpr std::string_view COMMAND_AT_AT = "@@";
constexpr std::string_view COMMAND_HOST = "HOST";
// A line of digits: SQL*Plus's "enter line n" buffer edit.
constexpr std::string_view COMMAND_LINE = "LINE";
// A "." alone on its line: ends the statement being entered without running it.
constexpr std::string_view COMMAND_PERIOD = ".";

// The command name of line `line` (from the item's first character to the LF),
// or none when the line is not a client command. The "/" line is tested by the
// caller.
std::optional<std::string_view> command_of_line(std::string_view line) {
  const auto first = static_cast<unsigned char>(line[0]);
  if (line.size() > 1 && first == '@' && line[1] == '@') return COMMAND_AT_AT;
  if (first == '!') return COMMAND_HOST;
  if (first == '@') return COMMAND_AT;
  if (first == '$') {
    if (line.size() > 1 && is_blank_tab_or_cr(line[1])) return COMMAND_HOST;
    return std::nullopt;
  }
  if (is_digit(first)) {
    // No statement starts with a number. A CR counts as the line's end (CR LF text).
    std::size_t digits = 1;
    while (digits < line.size() && is_digit(static_cast<unsigned char>(line[digits]))) ++digits;
    if (digits == line.size() || is_blank_tab_or_cr(line[digits])) return COMMAND_LINE;
    return std::nullopt;
  }
  std::size_t run = 0;
  while (run < line.size() && syntax::is_ascii_letter(line[run])) ++run;
  if (run == 0) return std::nullopt;
  if (run < line.size()) {
    const auto after = static_cast<unsigned char>(line[run]);
    if (is_digit(after) || after == '_' || after == '$' || after == '#' || after >= 0x80) {
      return std::nullopt;
    }
  }
  const SqlplusCommand* command = find_sqlplus_command(line.substr(0, run));
  if (command == nullptr) return std::nullopt;
  const std::string_view word = next_command_word(line.substr(run));
  if (command->name == "EXECUTE" && equals_word(word, "IMMEDIATE")) return std::nullopt;
  static constexpr std::string_view SET_STATEMENT_WORDS[] = {"ROLE", "CONSTRAINT", "CONSTRAINTS",
                                                             "TRANSACTION"};
  if (command->name == "SET" && equals_any(word, SET_STATEMENT_WORDS)) return std::nullopt;
  return command->name;
}

// ModuleHeading: CREATE MLE MODULE up to its AS. A module given as text (AS and JavaScript)
// ends at its "/" line like a unit; one loaded from a file or a LOB (USING ...) ends at ";".
enum class Decision : uint8_t { Undecided, Sql, PlSql, ModuleHeading };
enum class Leader : uint8_t { None, With, Create };

constexpr std::string_view CREATE_MODIFIERS[] = {
    "OR",      "NO",      "AND",     "FORCE",       "REPLACE",
    "RESOLVE", "COMPILE", "NOFORCE", "EDITIONABLE", "NONEDITIONABLE"};
constexpr std::string_view CREATE_PLSQL_WORDS[] = {"TYPE",    "JAVA",     "PACKAGE",  "TRIGGER",
                                                   "LIBRARY", "FUNCTION", "PROCEDURE"};
constexpr std::string_view WITH_PLSQL_WORDS[] = {"FUNCTION", "PROCEDURE"};

class Splitter {
 public:
  explicit Splitter(std::string_view text) : text_(text), lexer_(text) {
    result_.tokens.reserve(text.size() / 3);
    result_.items.reserve(text.size() / 256 + 4);
  }

  SplitResult run() {
    const auto length = static_cast<uint32_t>(text_.size());
    while (lexer_.position < length) {
      const uint32_t p = lexer_.position;
      const auto c = static_cast<unsigned char>(text_[p]);
      if (c >= 0x80) {
        // A non-ASCII character never starts a command: lex it, then see
        // whether it was white space or the first token of a statement.
        if (!append_next_token(lexer_, result_.tokens)) break;
        if (result_.tokens.back().kind != TokenKind::Whitespace) statement(p, true);
        continue;
      }
      if (is_ascii_white_space(text_[p]) ||
          (p + 1 < length &&
           ((c == '-' && text_[p + 1] == '-') || (c == '/' && text_[p + 1] == '*')))) {
        if (!append_next_token(lexer_, result_.tokens)) break;
        continue;
      }
      if (only_blanks_before(text_, p) && command(p)) continue;
      statement(p, false);
    }
    result_.diagnostics = std::move(lexer_.diagnostics);
    return std::move(result_);
  }

 private:
  // Tests the line at `p` for a client command; on success records the item,
  // moves the lexer past the command's text and returns true.
  bool command(uint32_t p) {
    uint32_t end_of_line = line_end(text_, p);
    const uint32_t content_end = trim_end(text_, p, end_of_line);
    if (content_end == p + 1 && text_[p] == '/') {
      push_command(p, p + 1, COMMAND_SLASH);
      return true;
    }
    if (content_end == p + 1 && text_[p] == '.') {
      push_command(p, p + 1, COMMAND_PERIOD);
      return true;
    }
    const std::optional<std::string_view> name = command_of_line(text_.substr(p, end_of_line - p));
    if (!name) return false;
    uint32_t end = content_end;
    if (*name != "REMARK") {
      // A "-" at the end of the content continues the command on the next line.
      while (text_[end - 1] == '-' && end_of_line < text_.size()) {
        const uint32_t next_start = end_of_line + 1;
        end_of_line = line_end(text_, next_start);
        end = trim_end(text_, next_start, end_of_line);
      }
    }
    push_command(p, end, *name);
    return true;
  }

  void push_command(uint32_t start, uint32_t end, std::string_view name) {
    ScriptItem item;
    item.start = start;
    item.end = end;
    item.command = name;
    item.kind = ScriptItemKind::SqlPlus;
    result_.items.push_back(item);
    lexer_.move_to(end);
  }

  // Reads one statement starting at `p`. With `first_taken`, the caller has
  // already appended its first token.
  void statement(uint32_t p, bool first_taken) {
    std::vector<Token>& tokens = result_.tokens;
    const auto first_index = static_cast<uint32_t>(tokens.size() - (first_taken ? 1 : 0));
    uint32_t end_index = first_index;
    uint32_t end = p;
    Decision decision = Decision::Undecided;
    Leader leader = Leader::None;
    // CREATE ... MLE: the next word tells a module from an environment.
    bool after_mle = false;
    // Parenthesis depth in a module's heading, where an AS inside "(...)" is no body's.
    uint32_t heading_depth = 0;
    bool seen_significant = false;
    std::optional<Token> terminator;
    // A line-final "-" continues a SQL statement's line only while every line so far
    // has ended in one: up to here each line did.
    bool continuing = true;
    uint32_t continued_to = p;
    // A "." alone on its line ends the statement; it becomes a command of its own.
    std::optional<uint32_t> period;

    // Each token is appended first and read back field by field.
    for (bool more = first_taken || append_next_token(lexer_, tokens); more;
         more = append_next_token(lexer_, tokens)) {
      const Token& token = tokens.back();
      if (syntax::is_trivia(token.kind)) continue;
      if (token.kind == TokenKind::Dot && only_blanks_before(text_, token.start) &&
          only_blanks_after(text_, token.end)) {
        period = token.start;
        tokens.pop_back();
        break;
      }
      const bool first_significant = !seen_significant;
      seen_significant = true;
      if (decision == Decision::Undecided) {
        if (token.kind == TokenKind::Ident) {
          const std::string_view word = text_.substr(token.start, token.end - token.start);
          if (first_significant) {
            if (equals_word(word, "WITH")) {
              leader = Leader::With;
            } else if (equals_word(word, "CREATE")) {
              leader = Leader::Create;
            } else if (equals_word(word, "BEGIN") || equals_word(word, "DECLARE")) {
              decision = Decision::PlSql;
            } else {
              decision = Decision::Sql;
            }
          } else if (leader == Leader::With) {
            decision = equals_any(word, WITH_PLSQL_WORDS) ? Decision::PlSql : Decision::Sql;
          } else if (after_mle) {
            decision = equals_word(word, "MODULE") ? Decision::ModuleHeading : Decision::Sql;
          } else if (equals_word(word, "MLE")) {
            after_mle = true;
          } else if (!equals_any(word, CREATE_MODIFIERS)) {
            decision = equals_any(word, CREATE_PLSQL_WORDS) ? Decision::PlSql : Decision::Sql;
          }
          end_index = static_cast<uint32_t>(tokens.size());
          end = token.end;
          continue;
        }
        decision = (first_significant && token.kind == TokenKind::LabelOpen) ? Decision::PlSql
                                                                             : Decision::Sql;
      }
      if (token.kind == TokenKind::Slash && only_blanks_before(text_, token.start) &&
          only_blanks_after(text_, token.end)) {
        terminator = token;
        break;
      }
      if (decision == Decision::ModuleHeading) {
        if (token.kind == TokenKind::LParen) {
          ++heading_depth;
        } else if (token.kind == TokenKind::RParen) {
          if (heading_depth > 0) --heading_depth;
        } else if (heading_depth == 0 && token.kind == TokenKind::Ident &&
                   equals_word(text_.substr(token.start, token.end - token.start), "AS")) {
          decision = Decision::PlSql;
        }
      }
      if (decision != Decision::PlSql) {
        if (token.kind == TokenKind::Minus && continuing && only_blanks_after(text_, token.end)) {
          // A line between that ended otherwise makes this "-" a minus sign.
          continuing = lines_end_in_minus(text_, continued_to, token.start);
          if (continuing) {
            tokens.back().kind = TokenKind::LineContinuation;
            continued_to = std::min(line_end(text_, token.end) + 1, length_of(text_));
            continue;
          }
        }
        if (token.kind == TokenKind::Semicolon) {
          terminator = token;
          break;
        }
      }
      end_index = static_cast<uint32_t>(tokens.size());
      end = token.end;
    }

    ScriptItem item;
    item.start = p;
    item.end = end;
    item.first_token = first_index;
    item.end_token = end_index;
    if (terminator) {
      item.terminated = 1;
      item.terminator_start = terminator->start;
      item.terminator_end = terminator->end;
    }
    item.kind = decision == Decision::PlSql ? ScriptItemKind::PlSql : ScriptItemKind::Sql;
    result_.items.push_back(item);
    if (period) push_command(*period, *period + 1, COMMAND_PERIOD);
  }

  std::string_view text_;
  Lexer lexer_;
  SplitResult result_;
};

}  // namespace

std::string_view script_item_kind_name(ScriptItemKind kind) {
  switch (kind) {
    case ScriptItemKind::SqlPlus:
      return "SqlPlus";
    case ScriptItemKind::Sql:
      return "Sql";
    case ScriptItemKind::PlSql:
      return "PlSql";
  }
  syntax::stop("script item kind out of range");
}

std::string_view item_kind_name(ScriptItemKind kind) { return script_item_kind_name(kind); }

std::string_view next_command_word(std::string_view rest) {
  std::size_t offset = 0;
  while (offset < rest.size()) {
    const uint32_t length = white_space_length(rest, offset);
    if (length == 0) break;
    offset += length;
  }
  std::size_t end = offset;
  while (end < rest.size() && syntax::is_ascii_letter(rest[end])) ++end;
  return rest.substr(offset, end - offset);
}

SplitResult split_script(std::string_view text) { return Splitter(text).run(); }

}  // namespace veltrane::lexer
