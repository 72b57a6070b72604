#include "report/report_data.hpp"

#include <utility>

#include "catalog/build_catalog.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "syntax/json_text.hpp"
#include "syntax/unicode.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::report {

namespace {

constexpr std::size_t PIECE_SIZE = 64 * 1024;

using syntax::ascii_upper_copy;

void add_counts(ReportSummary& summary, const FileCounts& counts) {
  summary.errors += counts.errors;
  summary.sqlplus += counts.sqlplus;
  summary.statements += counts.statements;
  summary.warnings += counts.warnings;
  summary.with_errors += counts.with_errors;
}

// One object entry: columns, members (counts), name, owner, type.
void write_object_json(syntax::JsonWriter& writer, const catalog::CatalogObject& object) {
  writer.begin_object();
  writer.member("columns", object.columns.size());
  writer.member("members", object.members.size());
  writer.member("name", object.name);
  writer.member("owner", object.owner);
  writer.member("type", catalog::OBJECT_TYPE_NAMES[static_cast<std::size_t>(object.kind)]);
  writer.end_object();
}

// The length of write_file_head's text or more: its comma, keys and brackets (102 bytes)
// and its seven numbers at their widest.
constexpr std::size_t FILE_HEAD_SIZE_BOUND = 112 + 7 * 20;

// The members of a file entry before its items: bytes, counts and the file's own errors,
// and the opening of "items"; a comma first for every file but the first.
void write_file_head(std::string& head, bool first_file, uint64_t bytes, const FileCounts& counts,
                     const std::vector<ItemDiagnostic>& file_errors) {
  head.clear();
  if (!first_file) head.push_back(',');
  syntax::JsonWriter writer(head);
  writer.begin_object();
  writer.member("bytes", bytes);
  writer.key("counts");
  write_counts_json(writer, counts);
  write_file_errors_json(writer, file_errors);
  writer.key("items");
  writer.raw_open("[");
}

// Applies one analysed item to the catalog, from the tree the analysis parsed; the schema
// in force after it.
std::string catalog_item(catalog::Catalog& catalog, std::string_view file_name,
                         std::string_view text, const AnalyzedItem& item, std::string_view schema) {
  return catalog::build_catalog_from_parsed(
      catalog, file_name, text, std::span(item.script_item, 1), std::span(&item.parsed, 1), schema);
}

void write_summary_json(syntax::JsonWriter& writer, const ReportSummary& summary) {
  writer.begin_object();
  writer.member("bytes", summary.bytes);
  writer.member("errors", summary.errors);
  writer.member("files", summary.files);
  writer.member("lines", summary.lines);
  writer.member("objects", summary.objects);
  writer.member("sqlplus", summary.sqlplus);
  writer.member("statements", summary.statements);
  writer.member("warnings", summary.warnings);
  writer.member("with_errors", summary.with_errors);
  writer.end_object();
}

// The document's structure is written through one writer into a small piece that goes to
// the outputs whenever a file's items are due or it grows large; the items of a file are
// written into a text of their own, since the file's counts come before them.
class DocumentPieces {
 public:
  explicit DocumentPieces(ReportWriter& outputs) : outputs_(outputs), writer_(piece_) {}

  syntax::JsonWriter& writer() { return writer_; }

  void flush() {
    outputs_.document(piece_);
    piece_.clear();
  }
  void flush_when_large() {
    if (piece_.size() >= PIECE_SIZE) flush();
  }

 private:
  ReportWriter& outputs_;
  std::string piece_;
  syntax::JsonWriter writer_;
};

}  // namespace

Report build_report(std::span<const SourceInput> inputs, const lexer::ParseOptions& options,
                    std::string_view schema, std::string_view title,
                    std::span<const std::string> formats) {
  ReportWriter outputs(formats);
  DocumentPieces pieces(outputs);
  syntax::JsonWriter& document = pieces.writer();
  Report report;
  ReportSummary& summary = report.summary;
  summary.files = inputs.size();

  const std::string upper_schema = ascii_upper_copy(schema);
  const std::string version = lexer::format_version(options.version);
  catalog::Catalog catalog;
  std::string current_schema = upper_schema;

  document.begin_object();
  document.key("files");
  document.begin_array();
  pieces.flush();
  std::string head;
  std::string item_text;
  for (std::size_t index = 0; index < inputs.size(); ++index) {
    const SourceInput& input = inputs[index];
    const bool first_file = index == 0;
    const std::string_view text = input.text;
    const uint64_t lines = counted_lines(text);
    const syntax::Utf16Positions positions(input.utf16 ? std::string_view() : text);
    // A file in UTF-16 is not split: it has no items.
    const lexer::SplitResult split = input.utf16 ? lexer::SplitResult{} : lexer::split_script(text);
    const std::vector<ItemDiagnostic> file_errors =
        input.utf16 ? utf16_file_errors() : file_errors_of(text, split, positions);

    outputs.open_file_entry(
        FILE_HEAD_SIZE_BOUND +
            file_errors_size_bound(file_errors, syntax::number_digits(text.size())),
        expected_items_json_size(text, split, false));
    // The problems of a file in UTF-16 show no source line.
    outputs.begin_file(input.name, input.utf16 ? std::string_view() : text);
    outputs.file_error_rows(file_errors);
    syntax::JsonWriter items_writer(item_text);
    FileCounts counts =
        analyze_items(text, split, positions, options, false, [&](const AnalyzedItem& item) {
          item_text.clear();
          write_item_json(items_writer, item, nullptr);
          outputs.document(item_text);
          outputs.item_rows(item);
          current_schema = catalog_item(catalog, input.name, text, item, current_schema);
        }).counts;
    counts.errors += file_errors.size();
    outputs.end_file(text.size(), lines, counts);
    write_file_head(head, first_file, text.size(), counts, file_errors);
    outputs.close_file_entry(head);

    item_text.clear();
    syntax::JsonWriter tail(item_text);
    tail.raw_close("]");
    tail.member("lines", lines);
    tail.member("name", input.name);
    tail.member("version", version);
    tail.raw_close("}");
    outputs.document(item_text);

    summary.bytes += text.size();
    summary.lines += lines;
    add_counts(summary, counts);
  }
  document.end_array();

  document.key("objects");
  document.begin_array();
  for (const auto* objects : {&catalog.objects, &catalog.triggers}) {
    for (const auto& [key, object] : *objects) {
      write_object_json(document, object);
      outputs.object_row(object);
      ++summary.objects;
      pieces.flush_when_large();
    }
  }
  document.end_array();

  document.member("oracle_version", version);
  document.member("schema", upper_schema);
  document.key("summary");
  write_summary_json(document, summary);
  document.member("title", title);
  document.member("tool", REPORT_TOOL);
  document.member("tool_version", REPORT_TOOL_VERSION);
  document.end_object();
  pieces.flush();

  report.outputs = std::move(outputs).finish();
  return report;
}

}  // namespace veltrane::report
