// The `parse` command: splits every input file, parses each SQL statement and PL/SQL
// unit, checks that every tree reproduces its text, and reports errors, trees and JSON
// lines on request and statistics at the end.

#include "cli/parse_command.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli.hpp"
#include "cli/commands.hpp"
#include "cli/input_files.hpp"
#include "cli/output.hpp"
#include "cli/text_format.hpp"
#include "lexer/conditional_compilation.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/item_lexer_errors.hpp"
#include "parser/parse_entries.hpp"
#include "report/file_errors.hpp"
#include "syntax/dump.hpp"
#include "syntax/kinds.hpp"
#include "syntax/positions.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/unicode.hpp"
#include "views/referenced_tables.hpp"

namespace veltrane::cli {

namespace {

using lexer::Diagnostic;
using lexer::ScriptItem;
using lexer::Severity;
using Clock = std::chrono::steady_clock;

constexpr std::string_view VERSION_NEEDED = "--version needs an Oracle version such as 19c\n";

// Error messages listed after the statistics.
constexpr std::size_t LISTED_MESSAGES = 12;

struct ParseFlags {
  bool dump = false;
  bool errors = false;
  bool json = false;
  bool strict = false;
};

struct KindCounts {
  uint64_t items = 0;
  uint64_t with_errors = 0;
};

struct ParseTotals {
  uint64_t files = 0;
  uint64_t statements = 0;
  uint64_t statement_bytes = 0;
  uint64_t with_errors = 0;
  uint64_t warnings = 0;
  uint64_t not_lossless = 0;
  // Errors of files that belong to no statement (see report/file_errors.hpp).
  uint64_t file_errors = 0;
  uint64_t parse_nanoseconds = 0;
  // Ordered by key in byte order.
  std::map<std::string, KindCounts, std::less<>> kinds;
  std::map<std::string, uint64_t, std::less<>> error_messages;
};

// The excerpt of the line last shown: errors of one file come line after line, often many
// on one long line.
struct ExcerptCache {
  uint32_t line = 0;
  // Written for a terminal (append_for_terminal).
  std::string excerpt;
};

// Per file: what every item of it needs.
struct FileContext {
  const InputFile& file;
  std::string_view text;
  const syntax::Positions& positions;
  ExcerptCache& excerpts;
};

void print_error_line(const FileContext& context, const Diagnostic& error, Output& output) {
  const syntax::LineCol position = context.positions.at(error.start);
  std::string line;
  append_position_for_terminal(line, context.file.name, position);
  line.append(": ");
  line.append(error.message);
  line.append(" | ");
  if (context.excerpts.line != position.line) {
    context.excerpts.line = position.line;
    context.excerpts.excerpt.clear();
    append_for_terminal(context.excerpts.excerpt,
                        error_excerpt(context.positions.line_index(), position.line));
  }
  line.append(context.excerpts.excerpt);
  line.push_back('\n');
  output.out(line);
}

void print_json_line(const FileContext& context, const ScriptItem& item, std::string_view kind,
                     uint64_t errors, const syntax::Tree& tree, Output& output) {
  std::string line = "{\"file\":";
  line.append(json_quote(context.file.name));
  line.append(",\"start\":");
  append_integer(line, item.start);
  line.append(",\"kind\":");
  line.append(json_quote(kind));
  line.append(",\"errors\":");
  append_integer(line, errors);
  line.append(",\"tables\":[");
  const std::vector<std::string> tables = views::referenced_tables(tree, context.text);
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (i != 0) line.push_back(',');
    line.append(json_quote(tables[i]));
  }
  line.append("],\"text\":");
  line.append(json_quote(syntax::span_text({item.start, item.end}, context.text)));
  line.append("}\n");
  output.out(line);
}

void count_error_message(std::string_view message, ParseTotals& totals) {
  auto message_entry = totals.error_messages.find(message);
  if (message_entry == totals.error_messages.end()) {
    message_entry = totals.error_messages.emplace(std::string(message), 0).first;
  }
  ++message_entry->second;
}

// Counts and, with --errors, prints the errors of the file that belong to no statement.
void report_file_errors(const FileContext& context, std::span<const Diagnostic> errors,
                        const ParseFlags& flags, ParseTotals& totals, Output& output) {
  for (const Diagnostic& error : errors) {
    ++totals.file_errors;
    count_error_message(error.message, totals);
    if (flags.errors) print_error_line(context, error, output);
  }
}

// Parses one item and reports it; command items and items without tokens are skipped.
void parse_and_report(const FileContext& context, const lexer::SplitResult& split,
                      const ScriptItem& item, const lexer::ParseOptions& options,
                      const ParseFlags& flags, ParseTotals& totals, Output& output) {
  const Clock::time_point before = Clock::now();
  const std::optional<parser::ParsedStatement> parsed_item =
      parser::parse_item_with_lexer_errors(context.text, split, item, options);
  if (!parsed_item) return;
  totals.parse_nanoseconds += nanoseconds_since(before);
  ++totals.statements;
  const parser::ParsedStatement& parsed = *parsed_item;

  const syntax::Tree& tree = parsed.tree;
  const std::string_view item_text = syntax::span_text({item.start, item.end}, context.text);
  if (syntax::node_text(tree, tree.root, context.text) != item_text) {
    ++totals.not_lossless;
    std::string message;
    append_for_terminal(message, context.file.name);
    message.append(": statement at byte ");
    append_integer(message, item.start);
    message.append(" is not reproduced by its tree\n");
    output.err(message);
  }
  totals.statement_bytes += item.end - item.start;

  const Diagnostic* first_error = nullptr;
  uint64_t errors = 0;
  for (const Diagnostic& diagnostic : parsed.diagnostics) {
    if (diagnostic.severity != Severity::Error) continue;
    if (first_error == nullptr) first_error = &diagnostic;
    ++errors;
  }
  totals.warnings += parsed.diagnostics.size() - errors;

  const std::string kind = syntax::kind_name(tree.nodes[tree.root].kind);
  auto kind_entry = totals.kinds.find(kind);
  if (kind_entry == totals.kinds.end()) kind_entry = totals.kinds.emplace(kind, KindCounts{}).first;
  ++kind_entry->second.items;
  if (errors != 0) {
    ++kind_entry->second.with_errors;
    ++totals.with_errors;
    for (const Diagnostic& diagnostic : parsed.diagnostics) {
      if (diagnostic.severity == Severity::Error) count_error_message(diagnostic.message, totals);
    }
  }

  if (flags.errors && first_error != nullptr) print_error_line(context, *first_error, output);
  if (flags.dump) {
    // Written while it is made: the dump of a deep tree can be far larger than the tree.
    syntax::dump_tree(tree, tree.root, 0, context.text,
                      [&output](std::string_view piece) { output.out(piece); });
    output.out("\n");
  }
  if (flags.json) print_json_line(context, item, kind, errors, tree, output);
}

void parse_text(const InputFile& file, const SourceText& source, const lexer::ParseOptions& options,
                const ParseFlags& flags, ParseTotals& totals, Output& output) {
  if (source.utf16) {
    // Not read as a script: its one error, shown without a source line.
    const syntax::Positions positions{std::string_view()};
    ExcerptCache excerpts;
    const FileContext context{file, {}, positions, excerpts};
    const Diagnostic utf16{report::UTF16_TEXT_MESSAGE, 0, 0};
    report_file_errors(context, std::span(&utf16, 1), flags, totals, output);
    return;
  }
  const std::string_view text = source.text;
  const syntax::Positions positions(text);
  const lexer::SplitResult split = lexer::split_script(text);
  ExcerptCache excerpts;
  const FileContext context{file, text, positions, excerpts};
  report_file_errors(context, report::loose_lexer_errors(text, split), flags, totals, output);
  for (const ScriptItem& item : split.items) {
    parse_and_report(context, split, item, options, flags, totals, output);
  }
}

void print_statistics(const ParseTotals& totals, Output& output) {
  std::string text;
  append_integer(text, totals.files);
  text.append(" files, ");
  append_integer(text, totals.statements);
  text.append(" SQL statements, ");
  append_fixed(text, static_cast<double>(totals.statement_bytes) / 1e6, 1);
  text.append(" MB\n");
  for (const auto& [kind, counts] : totals.kinds) {
    text.append("  ");
    append_padded_right(text, kind, 20);
    text.push_back(' ');
    append_integer_padded_left(text, counts.items, 6);
    text.append("  ");
    append_integer_padded_left(text, counts.with_errors, 5);
    text.append(" with errors\n");
  }
  const uint64_t clean = totals.statements - totals.with_errors;
  text.append("parsed without errors: ");
  append_integer(text, clean);
  text.append(" of ");
  append_integer(text, totals.statements);
  text.append(" (");
  append_fixed(text,
               static_cast<double>(clean) * 100 /
                   static_cast<double>(std::max<uint64_t>(totals.statements, 1)),
               2);
  text.append("%); ");
  append_integer(text, totals.warnings);
  text.append(" warnings; ");
  append_integer(text, totals.not_lossless);
  text.append(" not lossless\n");
  if (totals.file_errors != 0) {
    text.append("errors outside statements: ");
    append_integer(text, totals.file_errors);
    text.push_back('\n');
  }

  std::vector<std::pair<std::string_view, uint64_t>> messages(totals.error_messages.begin(),
                                                              totals.error_messages.end());
  std::stable_sort(messages.begin(), messages.end(),
                   [](const auto& left, const auto& right) { return left.second > right.second; });
  if (messages.size() > LISTED_MESSAGES) messages.resize(LISTED_MESSAGES);
  for (const auto& [message, count] : messages) {
    text.append("  ");
    append_integer_padded_left(text, count, 6);
    text.append("  ");
    text.append(message);
    text.push_back('\n');
  }

  append_speed(text, "parsed", totals.parse_nanoseconds, totals.statement_bytes);
  text.push_back('\n');
  output.err(text);
}

}  // namespace

std::string json_quote(std::string_view text) {
  static constexpr std::array<char, 16> HEX_DIGITS = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                      '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  std::string literal;
  literal.reserve(text.size() + 2);
  literal.push_back('"');
  for (const char character : text) {
    const auto byte = static_cast<unsigned char>(character);
    switch (byte) {
      case '"':
        literal.append("\\\"");
        break;
      case '\\':
        literal.append("\\\\");
        break;
      case '\t':
        literal.append("\\t");
        break;
      case '\n':
        literal.append("\\n");
        break;
      case '\r':
        literal.append("\\r");
        break;
      default:
        if (byte < 0x20) {
          literal.append("\\u00");
          literal.push_back(HEX_DIGITS[byte >> 4]);
          literal.push_back(HEX_DIGITS[byte & 0x0F]);
        } else {
          literal.push_back(character);
        }
    }
  }
  literal.push_back('"');
  return literal;
}

std::string_view error_excerpt(const syntax::LineIndex& index, uint32_t line) {
  const std::vector<uint32_t>& starts = index.line_starts;
  const std::string_view text = index.text;
  if (line == 0 || line > starts.size()) return {};
  const uint32_t start = starts[line - 1];
  const bool last = line == starts.size();
  // The text after the last LF is a line only when it is not empty.
  if (last && start == text.size()) return {};
  const std::size_t end = last ? text.size() : starts[line] - 1;
  const std::string_view content = text.substr(start, end - start);

  const auto white_space_at = [&](std::size_t offset, uint32_t& length) {
    const syntax::DecodedChar decoded = syntax::decode_utf8(content, offset);
    length = decoded.length;
    return decoded.code_point >= 0 &&
           syntax::is_white_space(static_cast<char32_t>(decoded.code_point));
  };
  uint32_t length = 0;
  std::size_t position = 0;
  while (position < content.size() && white_space_at(position, length)) position += length;
  const std::size_t first = position;
  // Take up to EXCERPT_CHARACTERS characters, noting where the last one that is not white
  // space ends. Nothing past the window is read unless the window ends in white space.
  std::size_t kept = 0;
  std::size_t after_last_visible = first;
  while (position < content.size() && kept < EXCERPT_CHARACTERS) {
    if (!white_space_at(position, length)) after_last_visible = position + length;
    position += length;
    ++kept;
  }
  // White space at the window's end is trimmed only when nothing but white space follows
  // it on the line.
  for (std::size_t rest = position; rest < content.size(); rest += length) {
    if (!white_space_at(rest, length)) return content.substr(first, position - first);
  }
  return content.substr(first, after_last_visible - first);
}

uint8_t cmd_parse(std::span<const std::string> args, Output& output) {
  ParseFlags flags;
  flags.dump = has_flag(args, "--dump");
  flags.errors = has_flag(args, "--errors");
  flags.json = has_flag(args, "--json");
  flags.strict = has_flag(args, "--strict");
  lexer::ParseOptions options;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--version") {
      const std::optional<lexer::OracleVersion> version =
          i + 1 < args.size() ? lexer::parse_oracle_version(args[i + 1]) : std::nullopt;
      if (!version) {
        output.err(VERSION_NEEDED);
        return STATUS_USAGE;
      }
      options.version = *version;
      ++i;
      continue;
    }
    if (is_option_word(args[i])) continue;
    paths.push_back(args[i]);
  }

  const std::vector<InputFile> files = expand_paths(paths);
  ParseTotals totals;
  totals.files = static_cast<uint64_t>(
      std::count_if(files.begin(), files.end(), [](const InputFile& file) { return file.listed; }));
  bool unreadable = false;
  for (const InputFile& file : files) {
    std::optional<SourceText> source = read_source_file(file, output);
    if (!source) {
      unreadable = true;
      continue;
    }
    parse_text(file, *source, options, flags, totals, output);
  }
  print_statistics(totals, output);

  if (totals.not_lossless != 0 || unreadable) return STATUS_FAILED;
  if (flags.strict && (totals.with_errors != 0 || totals.file_errors != 0)) return STATUS_FAILED;
  return STATUS_DONE;
}

}  // namespace veltrane::cli
