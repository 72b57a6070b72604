#include "api/analyze_json.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "api/analysis_options.hpp"
#include "api/lossy_input.hpp"
#include "api/result_json.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_script.hpp"
#include "syntax/json_text.hpp"
#include "syntax/kinds.hpp"
#include "syntax/utf16_offsets.hpp"
#include "views/referenced_tables.hpp"

namespace veltrane::api {

namespace {

// What the driver keeps of one parsed item until the result is written.
struct ParsedItem {
  std::size_t item_index = 0;
  parser::ParsedStatement statement;
  std::vector<std::string> tables;
  uint32_t errors = 0;
  resolve::ResolvedRecords records;
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
                     const ParsedItem* parsed, const syntax::Utf16Positions& positions) {
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
  node_json(writer, tree, tree.root, positions);
}

// Decimal digits of the largest number the result can hold for a text of this size.
[[nodiscard]] std::size_t number_digits(std::size_t text_size) {
  std::size_t digits = 1;
  for (std::size_t bound = text_size + 1; bound >= 10; bound /= 10) ++digits;
  return digits;
}

// The length of a JSON string literal of `text`, quotes included, or more. A loop without
// branches, which the compiler turns into vector code.
[[nodiscard]] std::size_t json_string_size(std::string_view text) {
  std::size_t escaped = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    escaped += static_cast<std::size_t>((c == '"') | (c == '\\') | (byte < 0x20));
  }
  return text.size() + 2 + 5 * escaped;  // at most \u00xx
}

// An upper bound of the result's length, close enough that it is allocated once and not
// much more: every object's fixed text and names exactly, every number at the largest
// width the text allows.
[[nodiscard]] std::size_t result_size_bound(const lexer::SplitResult& split,
                                            const std::vector<ParsedItem>& parsed_items,
                                            std::size_t text_size) {
  const std::size_t digits = number_digits(text_size);
  std::size_t size = 64 + 2 * digits;
  for (const lexer::ScriptItem& item : split.items) {
    size += 96 + 4 * digits + (item.command.has_value() ? json_string_size(*item.command) : 0);
  }
  for (const syntax::Diagnostic& diagnostic : split.diagnostics) {
    size += 80 + 4 * digits + json_string_size(diagnostic.message);
  }
  for (const ParsedItem& parsed : parsed_items) {
    const syntax::Tree& tree = parsed.statement.tree;
    size += 64 + digits;
    for (const syntax::Diagnostic& diagnostic : parsed.statement.diagnostics) {
      size += 80 + 4 * digits + json_string_size(diagnostic.message);
    }
    for (const std::string& table : parsed.tables) size += 1 + json_string_size(table);
    size += node_json_size_bound(tree, digits);
    size += parsed.records.identifiers.size() * (100 + 6 * digits);
    for (const resolve::IdentifierRecord& record : parsed.records.identifiers) {
      size += json_string_size(record.name) + json_string_size(record.type);
    }
    size += parsed.records.statements.size() * (64 + 5 * digits);
    for (const resolve::StatementRecord& record : parsed.records.statements) {
      size += json_string_size(record.type);
    }
  }
  return size;
}

// Storage up to this size is kept for any smaller result: a thread that analyses many
// small scripts writes them all into pages it has written before.
constexpr std::size_t KEPT_BUFFER = std::size_t{4} * 1024 * 1024;

// Empties `out` and gives it room for `bound` bytes: its own storage when that holds the
// bound and is small or not more than twice as much, else a new buffer. A new buffer gets
// ordinary pages: asking for huge pages makes the kernel find and clear whole 2 MiB blocks
// at the first touch, which costs a run after a pause far more than the page faults saved.
void prepare_result_buffer(std::string& out, std::size_t bound) {
  out.clear();
  if (out.capacity() >= bound && (out.capacity() <= KEPT_BUFFER || out.capacity() / 2 <= bound)) {
    return;
  }
  std::string().swap(out);
  out.reserve(bound);
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
  if (text.size() >= MAX_TEXT_BYTES) {
    std::string result;
    write_too_large_result(count_line_feeds(text), options, extra_members, result);
    out = std::move(result);
    return;
  }
  const lexer::ParseOptions parse_options{options.ccflags, options.version};
  const syntax::Utf16Positions positions(text);
  lexer::SplitResult split = lexer::split_script(text);

  // Every item is parsed first: the diagnostics of all of them come before the items.
  std::vector<ParsedItem> parsed_items;
  for (std::size_t i = 0; i < split.items.size(); ++i) {
    std::optional<parser::ParsedStatement> statement =
        parser::parse_item(text, split, split.items[i], parse_options);
    if (!statement.has_value()) continue;
    ParsedItem& parsed = parsed_items.emplace_back();
    parsed.item_index = i;
    parsed.tables = views::referenced_tables(statement->tree, text);
    parsed.errors = error_count(*statement);
    parsed.statement = std::move(*statement);
  }
  std::vector<const ParsedItem*> parsed_of_item(split.items.size(), nullptr);
  std::vector<const parser::ParsedStatement*> statement_of_item(split.items.size(), nullptr);
  for (const ParsedItem& parsed : parsed_items) {
    parsed_of_item[parsed.item_index] = &parsed;
    statement_of_item[parsed.item_index] = &parsed.statement;
  }
  // The trees hold their own tokens: the script's list is not needed any more.
  std::vector<lexer::Token>().swap(split.tokens);

  // The catalog of the script's own DDL from the statements just parsed, the package
  // package specifications, then the records of every statement.
  std::vector<resolve::ResolvedRecords> records =
      resolve::resolve_script(text, split.items, statement_of_item, options.schema);
  for (ParsedItem& parsed : parsed_items) parsed.records = std::move(records[parsed.item_index]);
  std::vector<resolve::ResolvedRecords>().swap(records);

  prepare_result_buffer(out, result_size_bound(split, parsed_items, text.size()));
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
  for (std::size_t i = 0; i < split.items.size(); ++i) {
    const lexer::ScriptItem& item = split.items[i];
    const ParsedItem* parsed = parsed_of_item[i];
    writer.begin_object();
    write_item_head(writer, item, parsed, positions);
    if (parsed != nullptr) records_json(writer, parsed->records, positions);
    write_item_tail(writer, item, parsed, positions);
    writer.end_object();
  }
  writer.end_array();
  writer.member("lines", positions.line_count());
  if (extra_members) extra_members(writer);
  writer.member("version", lexer::format_version(options.version));
  writer.end_object();
}

}  // namespace veltrane::api
