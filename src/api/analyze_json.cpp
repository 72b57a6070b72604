#include "api/analyze_json.hpp"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "api/analysis_options.hpp"
#include "api/lossy_input.hpp"
#include "api/result_json.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/item_lexer_errors.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_script.hpp"
#include "syntax/json_text.hpp"
#include "syntax/kinds.hpp"
#include "syntax/string_room.hpp"
#include "syntax/utf16_offsets.hpp"
#include "views/referenced_tables.hpp"

namespace veltrane::api {

namespace {

// What the driver keeps of one parsed item until its object is written.
struct ParsedItem {
  std::size_t item_index = 0;
  parser::ParsedStatement statement;
  std::vector<std::string> tables;
  uint32_t errors = 0;
  // The bounds of its tree's text and records, at the result's number width.
  TreeJsonSizes tree_sizes;
};

[[nodiscard]] uint32_t error_count(const parser::ParsedStatement& statement) {
  return static_cast<uint32_t>(std::count_if(
      statement.diagnostics.begin(), statement.diagnostics.end(),
      [](const syntax::Diagnostic& d) { return d.severity == syntax::Severity::Error; }));
}

[[nodiscard]] syntax::SyntaxKind root_kind(const parser::ParsedStatement& statement) {
  return statement.tree.nodes[statement.tree.root].kind;
}

// The common keys an item has before "names": col, command (client commands), end, errors
// (parsed items), kind and line.
void write_item_head(syntax::JsonWriter& writer, const lexer::ScriptItem& item,
                     const ParsedItem* parsed, const syntax::Utf16Positions& positions) {
  const syntax::LineCol position = positions.line_col(item.start);
  writer.member("col", position.column);
  if (item.command.has_value()) writer.member("command", *item.command);
  writer.member("end", positions.offset(item.end));
  if (parsed != nullptr) writer.member("errors", parsed->errors);
  writer.member("kind", lexer::item_kind_name(item.kind));
  writer.member("line", position.line);
}

// The keys after "sql": start, and for parsed items statement, tables and tree.
void write_item_tail(syntax::JsonWriter& writer, const lexer::ScriptItem& item,
                     const ParsedItem* parsed, const syntax::Utf16Positions& positions,
                     syntax::RoomMapper& mapper) {
  writer.member("start", positions.offset(item.start));
  if (parsed == nullptr) return;
  std::string spare;
  const syntax::Tree& tree = parsed->statement.tree;
  writer.member("statement", kind_name_view(root_kind(parsed->statement), spare));
  writer.key("tables");
  writer.begin_array();
  for (const std::string& table : parsed->tables) writer.string_value(table);
  writer.end_array();
  writer.key("tree");
  node_json(writer, tree, tree.root, positions, &mapper);
}

// An upper bound of the length of an item's object but its records, a comma before it
// included: its head and tail with their numbers at `digits` digits, and for a parsed
// item its tables and tree (`tree_sizes.tree` of its tree).
[[nodiscard]] std::size_t item_json_size_bound(const lexer::ScriptItem& item,
                                               const ParsedItem* parsed,
                                               const TreeJsonSizes& tree_sizes,
                                               std::size_t digits) {
  // {"col":,"end":,"kind":"","line":,"sql":,"start":} and a comma, and the longest item
  // kind name; for parsed items ,"errors":,"statement":"","tables":[],"tree": and the
  // statement's kind name.
  constexpr std::size_t ITEM_FIXED = 96;
  constexpr std::size_t PARSED_FIXED = 48;
  std::size_t size = ITEM_FIXED + 4 * digits;
  if (item.command.has_value()) size += 12 + syntax::json_string_size_bound(*item.command);
  if (parsed == nullptr) return size;
  std::string spare;
  size += PARSED_FIXED + digits + kind_name_view(root_kind(parsed->statement), spare).size();
  for (const std::string& table : parsed->tables) {
    size += 1 + syntax::json_string_size_bound(table);
  }
  return size + tree_sizes.tree;
}

// The bounds of the result's parts but the records, which are known only as each item is
// resolved: every object's fixed text and names exactly, every number at `digits` digits
// (the largest width the text allows, at which the items' tree bounds were made); and an
// estimate of the records.
struct ResultBounds {
  std::size_t digits = 0;
  // The object's own keys, the diagnostics and the items but their records.
  std::size_t total = 0;
  // All items' records (TreeJsonSizes::records).
  std::size_t records = 0;
};

[[nodiscard]] ResultBounds result_size_bounds(const lexer::SplitResult& split,
                                              std::span<ParsedItem* const> parsed_of_item,
                                              std::size_t digits) {
  ResultBounds bounds;
  bounds.digits = digits;
  bounds.total = 64 + 2 * bounds.digits;
  for (const syntax::Diagnostic& diagnostic : split.diagnostics) {
    bounds.total += diagnostic_json_size_bound(diagnostic, bounds.digits);
  }
  for (std::size_t i = 0; i < split.items.size(); ++i) {
    const ParsedItem* parsed = parsed_of_item[i];
    const TreeJsonSizes tree_sizes = parsed == nullptr ? TreeJsonSizes{} : parsed->tree_sizes;
    bounds.total += item_json_size_bound(split.items[i], parsed, tree_sizes, bounds.digits);
    bounds.records += tree_sizes.records;
    if (parsed == nullptr) continue;
    for (const syntax::Diagnostic& diagnostic : parsed->statement.diagnostics) {
      bounds.total += diagnostic_json_size_bound(diagnostic, bounds.digits);
    }
  }
  return bounds;
}

// Storage up to this size is kept for any smaller result: a thread that analyses many
// small scripts writes them all into pages it has written before.
constexpr std::size_t KEPT_BUFFER = std::size_t{4} * 1024 * 1024;

// Empties `out` and gives it room for `bound` bytes: its own storage when that holds the
// bound and is small or not more than twice as much, else a new buffer. A new buffer has
// room for at least KEPT_BUFFER bytes: room that is never written costs no memory, and a
// buffer sized to each larger result in turn would be replaced, and its pages written
// afresh, every time a result outgrows the largest before it. A new buffer gets ordinary
// pages: asking for huge pages makes the kernel find and clear whole 2 MiB blocks at the
// first touch, which costs a run after a pause far more than the page faults saved.
// Returns whether the buffer is new.
[[nodiscard]] bool prepare_result_buffer(std::string& out, std::size_t bound) {
  out.clear();
  if (out.capacity() >= bound && (out.capacity() <= KEPT_BUFFER || out.capacity() / 2 <= bound)) {
    return false;
  }
  std::string().swap(out);
  out.reserve(std::max(bound, KEPT_BUFFER));
  return true;
}

}  // namespace

namespace {

void write_too_large_result(uint64_t line_feeds, const AnalysisOptions& options,
                            const ExtraMembers& extra_members, std::string& out) {
  syntax::JsonWriter writer(out);
  writer.begin_object();
  writer.key("diagnostics");
  writer.begin_array();
  writer.begin_object();
  writer.member("col", 1u);
  writer.member("end", 0u);
  writer.member("line", 1u);
  writer.member("message", TEXT_TOO_LARGE);
  writer.member("severity", syntax::severity_name(syntax::Severity::Error));
  writer.member("start", 0u);
  writer.end_object();
  writer.end_array();
  writer.key("items");
  writer.begin_array();
  writer.end_array();
  writer.member("lines", line_feeds + 1);
  if (extra_members) extra_members(writer);
  writer.member("version", lexer::format_version(options.version));
  writer.end_object();
}

}  // namespace

std::string too_large_result_json(uint64_t line_feeds, std::string_view options_text) {
  std::string out;
  write_too_large_result(line_feeds, read_analysis_options(options_text), {}, out);
  return out;
}

std::string analyze_json(std::string_view text, std::string_view options_text) {
  std::string out;
  analyze_json_into(text, options_text, out);
  return out;
}

void analyze_json_into(std::string_view text, std::string_view options_text, std::string& out) {
  analyze_json_into(text, read_analysis_options(options_text), out);
}

void analyze_json_into(std::string_view text, const AnalysisOptions& options, std::string& out,
                       const ExtraMembers& extra_members) {
  if (text.size() >= syntax::MAX_TEXT_BYTES) {
    std::string result;
    write_too_large_result(count_line_feeds(text), options, extra_members, result);
    out = std::move(result);
    return;
  }
  const lexer::ParseOptions parse_options{options.ccflags, options.version};
  const syntax::Utf16Positions positions(text);
  lexer::SplitResult split = lexer::split_script(text);

  // Every item is parsed first: the diagnostics of all of them come before the items, and
  // the catalog and package specifications that resolution reads come from all of them.
  // What the driver reads of each tree is read while the parser has just left it in cache.
  const std::size_t digits = syntax::number_digits(text.size());
  std::vector<ParsedItem> parsed_items;
  for (std::size_t i = 0; i < split.items.size(); ++i) {
    std::optional<parser::ParsedStatement> statement =
        parser::parse_item(text, split, split.items[i], parse_options);
    if (!statement.has_value()) continue;
    ParsedItem& parsed = parsed_items.emplace_back();
    parsed.item_index = i;
    parsed.tables = views::referenced_tables(statement->tree, text);
    parsed.errors = error_count(*statement);
    parsed.tree_sizes = tree_json_sizes(statement->tree, digits);
    parsed.statement = std::move(*statement);
  }
  std::vector<ParsedItem*> parsed_of_item(split.items.size(), nullptr);
  std::vector<const parser::ParsedStatement*> statement_of_item(split.items.size(), nullptr);
  for (ParsedItem& parsed : parsed_items) {
    parsed_of_item[parsed.item_index] = &parsed;
    statement_of_item[parsed.item_index] = &parsed.statement;
  }
  // An item whose text holds a lexer error adds nothing to the catalog, as on every other
  // road that builds one; its diagnostics stay listed once with the lexer's.
  const std::size_t flagged = split.diagnostics.empty() ? 0 : split.items.size();
  const std::unique_ptr<bool[]> lexer_errors = std::make_unique<bool[]>(flagged);
  for (std::size_t i = 0; i < flagged; ++i) {
    lexer_errors[i] = !parser::held_lexer_errors(text, split, split.items[i]).empty();
  }
  // The trees hold their own tokens: the script's list is not needed any more.
  std::vector<lexer::Token>().swap(split.tokens);

  // What each statement is resolved with when its object is written: the catalog of the
  // script's own DDL and its package specifications, from the statements just parsed.
  const resolve::ScriptResolver resolver(text, split.items, statement_of_item, options.schema,
                                         std::span<const bool>(lexer_errors.get(), flagged));
  std::vector<const parser::ParsedStatement*>().swap(statement_of_item);

  const ResultBounds bounds = result_size_bounds(split, parsed_of_item, digits);
  // All the room at once: the text written so far is copied whenever the result outgrows
  // its room, which happens only where the records' estimate falls short.
  const bool fresh = prepare_result_buffer(out, bounds.total + bounds.records);
  // A new buffer's pages are mapped ahead of the trees and records written into it rather
  // than one page fault at a time.
  syntax::RoomMapper mapper(out, fresh);
  syntax::JsonWriter writer(out);
  writer.begin_object();
  writer.key("diagnostics");
  writer.begin_array();
  for (const syntax::Diagnostic& diagnostic : split.diagnostics) {
    diagnostic_json(writer, diagnostic, positions);
  }
  for (const ParsedItem& parsed : parsed_items) {
    for (const syntax::Diagnostic& diagnostic : parsed.statement.diagnostics) {
      diagnostic_json(writer, diagnostic, positions);
    }
  }
  writer.end_array();
  writer.key("items");
  writer.begin_array();
  // Each item's records are written as they are made, and its tree dropped, before the
  // next item is resolved: no list of records is kept, and the trees go as they are written.
  for (std::size_t i = 0; i < split.items.size(); ++i) {
    const lexer::ScriptItem& item = split.items[i];
    ParsedItem* parsed = parsed_of_item[i];
    writer.begin_object();
    write_item_head(writer, item, parsed, positions);
    if (parsed != nullptr) {
      resolved_records_json(writer, resolver, parsed->statement, positions, &mapper);
    }
    write_item_tail(writer, item, parsed, positions, mapper);
    writer.end_object();
    if (parsed != nullptr) *parsed = ParsedItem{};
  }
  writer.end_array();
  writer.member("lines", positions.line_count());
  if (extra_members) extra_members(writer);
  writer.member("version", lexer::format_version(options.version));
  writer.end_object();
}

}  // namespace veltrane::api
