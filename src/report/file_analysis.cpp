#include "report/file_analysis.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>

#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/item_lexer_errors.hpp"
#include "parser/parse_entries.hpp"
#include "report/file_errors.hpp"
#include "report/token_classes.hpp"
#include "report/tree_json.hpp"
#include "syntax/deferred_head.hpp"
#include "syntax/json_text.hpp"
#include "syntax/kinds.hpp"
#include "syntax/string_room.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/unicode.hpp"
#include "views/referenced_tables.hpp"

namespace veltrane::report {

namespace {

using Clock = std::chrono::steady_clock;
using lexer::ScriptItem;
using lexer::ScriptItemKind;
using syntax::Utf16Positions;

double micros_since(Clock::time_point before) {
  return rounded_micros(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - before).count());
}

// The line of the item's last byte. The byte before `end` can lie inside a multi-byte
// character; the line is that of the character's start, since no such character holds an
// LF.
uint32_t end_line_of(const ScriptItem& item, std::string_view text,
                     const Utf16Positions& positions) {
  uint32_t last = item.end > 0 ? item.end - 1 : 0;
  if (last < item.start) last = item.start;
  while (last > item.start && last < text.size() && syntax::is_continuation_byte(text[last])) {
    --last;
  }
  return positions.line_col(last).line;
}

}  // namespace

double rounded_micros(int64_t nanoseconds) {
  if (nanoseconds <= 0) return 0.0;
  const int64_t seconds = nanoseconds / 1'000'000'000;
  const int64_t rest = nanoseconds % 1'000'000'000;
  const double micros = (static_cast<double>(seconds) + static_cast<double>(rest) / 1e9) * 1e6;
  return std::round(micros * 10) / 10;
}

uint64_t counted_lines(std::string_view text) {
  if (text.empty()) return 0;
  uint64_t lines = 0;
  for (const char byte : text) {
    if (byte == '\n') ++lines;
  }
  if (text.back() != '\n') ++lines;
  return lines;
}

namespace {

ItemDiagnostic item_diagnostic(const syntax::Diagnostic& diagnostic,
                               const Utf16Positions& positions) {
  const syntax::LineCol position = positions.line_col(diagnostic.start);
  return ItemDiagnostic{position.line, position.column, positions.offset(diagnostic.start),
                        positions.offset(std::max(diagnostic.start, diagnostic.end)),
                        diagnostic.message};
}

void write_diagnostics(syntax::JsonWriter& writer, std::string_view key,
                       const std::vector<ItemDiagnostic>& diagnostics) {
  writer.key(key);
  writer.begin_array();
  for (const ItemDiagnostic& diagnostic : diagnostics) {
    writer.begin_object();
    writer.member("col", diagnostic.col);
    writer.member("e", diagnostic.end_offset);
    writer.member("line", diagnostic.line);
    writer.member("message", diagnostic.message);
    writer.member("s", diagnostic.start_offset);
    writer.end_object();
  }
  writer.end_array();
}

}  // namespace

std::vector<ItemDiagnostic> file_errors_of(std::string_view text, const lexer::SplitResult& split,
                                           const Utf16Positions& positions) {
  std::vector<ItemDiagnostic> errors;
  for (const syntax::Diagnostic& diagnostic : loose_lexer_errors(text, split)) {
    errors.push_back(item_diagnostic(diagnostic, positions));
  }
  return errors;
}

std::vector<ItemDiagnostic> utf16_file_errors() {
  return {ItemDiagnostic{1, 1, 0, 0, UTF16_TEXT_MESSAGE}};
}

void write_file_errors_json(syntax::JsonWriter& writer, const std::vector<ItemDiagnostic>& errors) {
  if (!errors.empty()) write_diagnostics(writer, "errors", errors);
}

ItemsOutcome analyze_items(std::string_view text, const lexer::SplitResult& split,
                           const Utf16Positions& positions, const lexer::ParseOptions& options,
                           bool lab, const ItemHandler& on_item) {
  const NameContexts contexts;
  ItemsOutcome outcome;
  FileCounts& counts = outcome.counts;
  if (lab) outcome.rows.reserve(split.tokens.size());

  for (const ScriptItem& item : split.items) {
    const syntax::LineCol start = positions.line_col(item.start);
    AnalyzedItem entry;
    entry.script_item = &item;
    entry.line = start.line;
    entry.col = start.column;
    entry.end_line = end_line_of(item, text, positions);
    entry.start_offset = positions.offset(item.start);
    entry.end_offset = positions.offset(item.end);
    entry.text = text.substr(item.start, item.end - item.start);
    entry.command = item.command;

    std::optional<parser::ParsedStatement> parsed;
    if (item.kind != ScriptItemKind::SqlPlus && item.first_token < item.end_token) {
      const Clock::time_point parse_start = Clock::now();
      parsed = parser::parse_item_with_lexer_errors(text, split, item, options);
      if (lab) entry.micros = micros_since(parse_start);
    }
    if (!parsed) {
      ++counts.sqlplus;
      on_item(entry);
      continue;
    }

    ++counts.statements;
    const syntax::Tree& tree = parsed->tree;
    if (lab) {
      const TokenParentKinds parents(tree);
      append_item_rows(std::span<const lexer::Token>(split.tokens)
                           .subspan(item.first_token, item.end_token - item.first_token),
                       text, parents, contexts, positions, outcome.rows);
    }
    for (const syntax::Diagnostic& diagnostic : parsed->diagnostics) {
      if (diagnostic.severity == syntax::Severity::Error) {
        entry.errors.push_back(item_diagnostic(diagnostic, positions));
      } else if (diagnostic.severity == syntax::Severity::Warning) {
        entry.warnings.push_back(item_diagnostic(diagnostic, positions));
      }
    }
    counts.errors += entry.errors.size();
    counts.warnings += entry.warnings.size();
    if (!entry.errors.empty()) ++counts.with_errors;
    entry.parsed = &*parsed;
    entry.plsql = item.kind == ScriptItemKind::PlSql;
    entry.statement = syntax::kind_name(tree.nodes[tree.root].kind);
    entry.tables = views::referenced_tables(tree, text);
    entry.lossless = syntax::node_text(tree, tree.root, text) == entry.text;
    entry.nodes = tree_object_count(tree);
    counts.nodes += entry.nodes;
    on_item(entry);
  }

  if (lab) {
    append_comment_rows(split.tokens, positions, outcome.rows);
    sort_rows_by_number(outcome.rows);
  }
  return outcome;
}

void write_item_json(syntax::JsonWriter& writer, const AnalyzedItem& item, const TreeSource* tree) {
  writer.begin_object();
  if (item.parsed == nullptr) {
    writer.member("col", item.col);
    writer.key("command");
    if (item.command) {
      writer.string_value(*item.command);
    } else {
      writer.null_value();
    }
    writer.member("e", item.end_offset);
    writer.member("end_line", item.end_line);
    writer.member("kind", "sqlplus");
    writer.member("line", item.line);
    writer.member("s", item.start_offset);
    writer.member("text", item.text);
    writer.end_object();
    return;
  }
  writer.member("bytes", item.text.size());
  writer.member("col", item.col);
  writer.member("e", item.end_offset);
  writer.member("end_line", item.end_line);
  write_diagnostics(writer, "errors", item.errors);
  writer.member("kind", item.plsql ? "plsql" : "sql");
  writer.member("line", item.line);
  writer.key("lossless");
  writer.bool_value(item.lossless);
  if (item.micros) {
    writer.key("micros");
    writer.double_value(*item.micros);
  }
  writer.member("nodes", item.nodes);
  writer.member("s", item.start_offset);
  writer.member("statement", item.statement);
  writer.key("tables");
  writer.begin_array();
  for (const std::string& table : item.tables) writer.string_value(table);
  writer.end_array();
  writer.member("text", item.text);
  if (tree != nullptr) {
    writer.key("tree");
    uint64_t objects = 0;
    tree_json(item.parsed->tree, item.parsed->tree.root, tree->text, tree->positions, objects,
              writer.out());
    writer.raw_close("");
  }
  write_diagnostics(writer, "warnings", item.warnings);
  writer.end_object();
}

namespace {

std::size_t diagnostics_size_bound(const std::vector<ItemDiagnostic>& diagnostics,
                                   std::size_t digits) {
  // {"col":,"e":,"line":,"message":,"s":} and a comma.
  constexpr std::size_t DIAGNOSTIC_FIXED = 40;
  std::size_t size = 0;
  for (const ItemDiagnostic& diagnostic : diagnostics) {
    size += DIAGNOSTIC_FIXED + 4 * digits + syntax::json_string_size_bound(diagnostic.message);
  }
  return size;
}

}  // namespace

std::size_t file_errors_size_bound(const std::vector<ItemDiagnostic>& errors, std::size_t digits) {
  // ,"errors":[]
  constexpr std::size_t MEMBER_FIXED = 12;
  return errors.empty() ? 0 : MEMBER_FIXED + diagnostics_size_bound(errors, digits);
}

std::size_t item_json_size_bound(const AnalyzedItem& item, std::size_t digits) {
  // The keys, fixed texts and commas of the longer form, the one of a parsed item, and its
  // eight numbers, its micros and its node count at their widest.
  constexpr std::size_t ITEM_FIXED = 256;
  std::size_t size = ITEM_FIXED + 8 * digits + syntax::json_string_size_bound(item.text);
  if (item.command) size += syntax::json_string_size_bound(*item.command);
  size += item.statement.size();
  size +=
      diagnostics_size_bound(item.errors, digits) + diagnostics_size_bound(item.warnings, digits);
  for (const std::string& table : item.tables) size += 1 + syntax::json_string_size_bound(table);
  return size;
}

std::size_t expected_items_json_size(std::string_view text, const lexer::SplitResult& split,
                                     bool with_trees) {
  // Measured on large scripts: the keys and numbers of a client command (or an item with
  // nothing to parse) and of a parsed statement, and the tree, some 32 bytes per source
  // byte.
  constexpr std::size_t COMMAND_ITEM_BYTES = 112;
  constexpr std::size_t PARSED_ITEM_BYTES = 256;
  constexpr std::size_t TREE_BYTES_PER_BYTE = 32;
  std::size_t size = text.size();
  for (const ScriptItem& item : split.items) {
    const bool parsed = item.kind != ScriptItemKind::SqlPlus && item.first_token < item.end_token;
    if (!parsed) {
      size += COMMAND_ITEM_BYTES;
    } else {
      size += PARSED_ITEM_BYTES + (with_trees ? TREE_BYTES_PER_BYTE * (item.end - item.start) : 0);
    }
  }
  return size;
}

void write_counts_json(syntax::JsonWriter& writer, const FileCounts& counts) {
  writer.begin_object();
  writer.member("errors", counts.errors);
  writer.member("nodes", counts.nodes);
  writer.member("sqlplus", counts.sqlplus);
  writer.member("statements", counts.statements);
  writer.member("warnings", counts.warnings);
  writer.member("with_errors", counts.with_errors);
  writer.end_object();
}

namespace {

// The tokens that can have a highlighting row: all but white space and line continuations.
std::size_t row_token_count(std::span<const lexer::Token> tokens) {
  std::size_t count = 0;
  for (const lexer::Token& token : tokens) {
    if (token.kind != lexer::TokenKind::Whitespace &&
        token.kind != lexer::TokenKind::LineContinuation) {
      ++count;
    }
  }
  return count;
}

// The longest text of one highlighting row, its comma included: two offsets and a class
// name of at most four letters.
std::size_t row_size_bound(std::size_t digits) { return 2 * digits + 12; }

// The pieces of the head are handed to its room when they reach this size.
constexpr std::size_t HEAD_PIECE_SIZE = 64 * 1024;

}  // namespace

std::string file_analysis_json(std::string_view name, std::string_view text,
                               const lexer::ParseOptions& options) {
  const Clock::time_point file_start = Clock::now();
  const Utf16Positions positions(text);
  std::optional<lexer::SplitResult> split = lexer::split_script(text);

  // The members before "items" (bytes, classes, counts) are known only once every item is
  // written: the items go after room kept for them, filled in at the end.
  const std::size_t digits = syntax::number_digits(text.size());
  const std::vector<ItemDiagnostic> file_errors = file_errors_of(text, *split, positions);
  const std::size_t head_room = 64 + row_token_count(split->tokens) * row_size_bound(digits) +
                                file_errors_size_bound(file_errors, digits);
  std::string out;
  out.reserve(head_room + expected_items_json_size(text, *split, true));
  syntax::DeferredHead head(out, head_room);
  syntax::JsonWriter items_writer(out);
  const TreeSource tree{text, positions};
  ItemsOutcome outcome =
      analyze_items(text, *split, positions, options, true, [&](const AnalyzedItem& item) {
        std::size_t bound = item_json_size_bound(item, digits);
        if (item.parsed != nullptr) bound += tree_json_size_bound(item.parsed->tree, text, digits);
        syntax::reserve_more(out, bound);
        write_item_json(items_writer, item, &tree);
      });
  split.reset();

  syntax::JsonWriter tail(out);
  tail.raw_close("]");
  tail.member("lines", counted_lines(text));
  tail.key("micros");
  tail.double_value(micros_since(file_start));
  tail.member("name", name);
  tail.member("version", lexer::format_version(options.version));
  tail.raw_close("}");

  std::string piece;
  syntax::JsonWriter writer(piece);
  const auto hand_over = [&] {
    head.write(piece);
    piece.clear();
  };
  writer.begin_object();
  writer.member("bytes", text.size());
  writer.key("classes");
  writer.begin_array();
  for (const ClassRow& row : outcome.rows) {
    writer.begin_array();
    writer.unsigned_value(row.start);
    writer.unsigned_value(row.end);
    writer.string_value(row.class_name);
    writer.end_array();
    if (piece.size() >= HEAD_PIECE_SIZE) hand_over();
  }
  writer.end_array();
  outcome.counts.errors += file_errors.size();
  writer.key("counts");
  write_counts_json(writer, outcome.counts);
  write_file_errors_json(writer, file_errors);
  writer.key("items");
  writer.raw_open("[");
  hand_over();
  head.close();
  return out;
}

}  // namespace veltrane::report
