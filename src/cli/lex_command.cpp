// The `lex` and `split` commands: run the lexer or the script splitter over every input
// file, check that the pieces cover each file, print diagnostics and, on request, the
// tokens or items, then totals and a speed line.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.hpp"
#include "cli/commands.hpp"
#include "cli/input_files.hpp"
#include "cli/output.hpp"
#include "cli/text_format.hpp"
#include "lexer/lexer.hpp"
#include "lexer/script_splitter.hpp"
#include "report/file_errors.hpp"
#include "syntax/dump.hpp"
#include "syntax/kinds.hpp"
#include "syntax/positions.hpp"
#include "syntax/span.hpp"

namespace veltrane::cli {

namespace {

using lexer::Diagnostic;
using lexer::ScriptItem;
using lexer::ScriptItemKind;
using lexer::Token;
using Clock = std::chrono::steady_clock;

// Characters of an item's text shown by `split --dump`.
constexpr std::size_t DUMP_ITEM_CHARACTERS = 70;

struct LexTotals {
  uint64_t files = 0;
  uint64_t lines = 0;
  uint64_t bytes = 0;
  uint64_t tokens = 0;
  uint64_t diagnostics = 0;
  uint64_t not_utf8 = 0;
  uint64_t coverage_failures = 0;
  uint64_t sql_statements = 0;
  uint64_t plsql_units = 0;
  uint64_t sqlplus_commands = 0;
  uint64_t nanoseconds = 0;
};

struct LexFlags {
  bool split = false;
  bool dump = false;
  bool summary = false;
  bool strict = false;
};

bool is_significant(const Token& token) { return !syntax::is_trivia(token.kind); }

void print_diagnostics(std::span<const Diagnostic> diagnostics, std::string_view name,
                       const syntax::Positions& positions, Output& output) {
  std::string line;
  for (const Diagnostic& diagnostic : diagnostics) {
    line.clear();
    append_position_for_terminal(line, name, positions.at(diagnostic.start));
    line.append(": ");
    line.append(diagnostic.message);
    line.push_back('\n');
    output.out(line);
  }
}

void dump_tokens(std::span<const Token> tokens, std::string_view text, std::string_view name,
                 const syntax::Positions& positions, Output& output) {
  std::string line;
  for (const Token& token : tokens) {
    if (!is_significant(token)) continue;
    line.clear();
    append_position(line, name, positions.at(token.start));
    line.push_back('\t');
    line.append(syntax::token_kind_name(token.kind));
    line.push_back('\t');
    syntax::append_quoted(line, syntax::span_text({token.start, token.end}, text));
    line.push_back('\n');
    output.out(line);
  }
}

void dump_items(std::span<const ScriptItem> items, std::string_view text, std::string_view name,
                const syntax::Positions& positions, Output& output) {
  std::string line;
  std::string shown;
  for (const ScriptItem& item : items) {
    line.clear();
    append_position(line, name, positions.at(item.start));
    line.push_back('\t');
    if (item.command) {
      line.append("SqlPlus ");
      line.append(*item.command);
    } else {
      line.append(lexer::item_kind_name(item.kind));
    }
    line.push_back('\t');
    shown.assign(
        first_characters(syntax::span_text({item.start, item.end}, text), DUMP_ITEM_CHARACTERS));
    std::replace(shown.begin(), shown.end(), '\n', ' ');
    syntax::append_quoted(line, shown);
    line.push_back('\n');
    output.out(line);
  }
}

struct ItemCounts {
  uint64_t sql = 0;
  uint64_t plsql = 0;
  uint64_t sqlplus = 0;
  uint64_t execute = 0;
  uint64_t slash = 0;
};

ItemCounts count_items(std::span<const ScriptItem> items) {
  ItemCounts counts;
  for (const ScriptItem& item : items) {
    switch (item.kind) {
      case ScriptItemKind::Sql:
        ++counts.sql;
        break;
      case ScriptItemKind::PlSql:
        ++counts.plsql;
        break;
      case ScriptItemKind::SqlPlus:
        ++counts.sqlplus;
        break;
    }
    if (item.command && *item.command == "EXECUTE") ++counts.execute;
    if (item.command && *item.command == "/") ++counts.slash;
  }
  return counts;
}

void print_summary(std::string_view name, const ItemCounts& counts, Output& output) {
  std::string line;
  append_for_terminal(line, name);
  for (const uint64_t count :
       {counts.sql, counts.plsql, counts.sqlplus, counts.execute, counts.slash}) {
    line.push_back('\t');
    append_integer(line, count);
  }
  line.push_back('\n');
  output.out(line);
}

// "{name}: {problem}" on standard error.
void print_file_problem(const InputFile& file, std::string_view problem, Output& output) {
  std::string line;
  append_for_terminal(line, file.name);
  line.append(": ");
  line.append(problem);
  line.push_back('\n');
  output.err(line);
}

uint64_t significant_count(std::span<const Token> tokens) {
  return static_cast<uint64_t>(std::count_if(tokens.begin(), tokens.end(), is_significant));
}

// Runs the lexer or the splitter over one file's text and prints what belongs to it.
void process_text(const InputFile& file, std::string_view text, bool source_is_utf16,
                  const LexFlags& flags, LexTotals& totals, Output& output) {
  const syntax::Positions positions(text);
  totals.lines += positions.line_index().line_starts.size();
  if (source_is_utf16) {
    // Not read as a script: its one diagnostic, and no tokens or items.
    ++totals.diagnostics;
    const Diagnostic utf16{report::UTF16_TEXT_MESSAGE, 0, 0};
    print_diagnostics(std::span(&utf16, 1), file.name, positions, output);
    if (flags.summary) print_summary(file.name, ItemCounts{}, output);
    return;
  }

  if (!flags.split) {
    const Clock::time_point before = Clock::now();
    const lexer::LexResult result = lexer::lex_text(text);
    totals.nanoseconds += nanoseconds_since(before);
    if (!tokens_cover(result.tokens, text.size())) {
      ++totals.coverage_failures;
      print_file_problem(file, "token spans do not cover the file", output);
    }
    totals.tokens += significant_count(result.tokens);
    totals.diagnostics += result.diagnostics.size();
    print_diagnostics(result.diagnostics, file.name, positions, output);
    if (flags.dump) dump_tokens(result.tokens, text, file.name, positions, output);
    return;
  }

  const Clock::time_point before = Clock::now();
  const lexer::SplitResult result = lexer::split_script(text);
  totals.nanoseconds += nanoseconds_since(before);
  if (!tokens_and_commands_cover(result.tokens, result.items, text.size())) {
    ++totals.coverage_failures;
    print_file_problem(file, "tokens and commands do not cover the file", output);
  }
  totals.tokens += significant_count(result.tokens);
  totals.diagnostics += result.diagnostics.size();
  print_diagnostics(result.diagnostics, file.name, positions, output);
  const ItemCounts counts = count_items(result.items);
  totals.sql_statements += counts.sql;
  totals.plsql_units += counts.plsql;
  totals.sqlplus_commands += counts.sqlplus;
  if (flags.summary) print_summary(file.name, counts, output);
  if (flags.dump) dump_items(result.items, text, file.name, positions, output);
}

void print_totals(const LexTotals& totals, bool split, Output& output) {
  std::string text;
  append_integer(text, totals.files);
  text.append(" files, ");
  append_integer(text, totals.lines);
  text.append(" lines, ");
  append_fixed(text, static_cast<double>(totals.bytes) / 1e6, 1);
  text.append(" MB, ");
  append_integer(text, totals.tokens);
  text.append(" tokens, ");
  append_integer(text, totals.diagnostics);
  text.append(" diagnostics, ");
  append_integer(text, totals.not_utf8);
  text.append(" not UTF-8 (read lossy)\n");
  if (split) {
    append_integer(text, totals.sql_statements);
    text.append(" SQL statements, ");
    append_integer(text, totals.plsql_units);
    text.append(" PL/SQL units, ");
    append_integer(text, totals.sqlplus_commands);
    text.append(" SQL*Plus commands\n");
  }
  const double seconds =
      append_speed(text, split ? "split" : "lexed", totals.nanoseconds, totals.bytes);
  text.append(", ");
  append_fixed(text, static_cast<double>(totals.lines) / 1e6 / seconds, 1);
  text.append(" M lines/s\n");
  output.err(text);
}

}  // namespace

bool tokens_cover(std::span<const Token> tokens, std::size_t text_length) {
  uint64_t position = 0;
  for (const Token& token : tokens) {
    if (token.start != position || token.end < token.start) return false;
    position = token.end;
  }
  return position == text_length;
}

bool tokens_and_commands_cover(std::span<const Token> tokens, std::span<const ScriptItem> items,
                               std::size_t text_length) {
  uint64_t position = 0;
  std::size_t token_index = 0;
  std::size_t item_index = 0;
  const auto next_command = [&]() -> const ScriptItem* {
    while (item_index < items.size() && items[item_index].kind != ScriptItemKind::SqlPlus) {
      ++item_index;
    }
    return item_index < items.size() ? &items[item_index] : nullptr;
  };
  while (true) {
    const ScriptItem* command = next_command();
    const Token* token = token_index < tokens.size() ? &tokens[token_index] : nullptr;
    if (command == nullptr && token == nullptr) break;
    uint64_t start = 0;
    uint64_t end = 0;
    if (command != nullptr && (token == nullptr || command->start < token->start ||
                               (command->start == token->start && command->end <= token->end))) {
      start = command->start;
      end = command->end;
      ++item_index;
    } else {
      start = token->start;
      end = token->end;
      ++token_index;
    }
    if (start != position || end < start) return false;
    position = end;
  }
  return position == text_length;
}

uint8_t cmd_lex(std::span<const std::string> args, bool split, Output& output) {
  LexFlags flags;
  flags.split = split;
  flags.dump = has_flag(args, "--dump");
  flags.summary = split && has_flag(args, "--summary");
  flags.strict = has_flag(args, "--strict");
  std::vector<std::string> paths;
  for (const std::string& argument : args) {
    if (!is_option_word(argument)) paths.push_back(argument);
  }

  const std::vector<InputFile> files = expand_paths(paths);
  // A named input that cannot be read at all is reported below, as `parse` does; a list
  // without it and without files is "no files".
  if (std::none_of(files.begin(), files.end(),
                   [](const InputFile& file) { return file.listed || file.named_unreadable; })) {
    output.err("no files\n");
    return STATUS_USAGE;
  }

  LexTotals totals;
  bool unreadable = false;
  for (const InputFile& file : files) {
    const std::optional<SourceText> source = read_source_file(file, output);
    if (!source) {
      unreadable = true;
      continue;
    }
    ++totals.files;
    if (!source->was_utf8) ++totals.not_utf8;
    totals.bytes += source->text.size();
    process_text(file, source->text, source->utf16, flags, totals, output);
  }
  print_totals(totals, split, output);

  if (totals.coverage_failures != 0 || unreadable) return STATUS_FAILED;
  if (flags.strict && totals.diagnostics != 0) return STATUS_FAILED;
  return STATUS_DONE;
}

}  // namespace veltrane::cli
