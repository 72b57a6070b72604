#pragma once

// Rendering a report into its output files while its inputs are analysed: report.html (the
// page with the document embedded), the five CSV tables and report.json. Each file and
// item is written into every chosen output as it comes and then dropped.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.hpp"
#include "report/document_text.hpp"
#include "report/file_analysis.hpp"
#include "syntax/deferred_head.hpp"

namespace veltrane::report {

// The names of the five CSV tables, in the order of the outputs.
inline constexpr std::array<std::string_view, 5> CSV_FILE_NAMES = {
    "files.csv", "statements.csv", "problems.csv", "tables.csv", "objects.csv",
};

// One rendered output: a bare file name and its whole content (UTF-8, no byte-order mark).
struct ReportFile {
  std::string name;
  std::string bytes;
};

// The lines of one input text, found once per file when a problem needs them: the pieces
// between LF characters; a final LF starts no line.
class SourceLines {
 public:
  explicit SourceLines(std::string_view text) : text_(text) {}

  // The trimmed first 200 characters of line `number` (1-based); empty past the end.
  [[nodiscard]] std::string_view excerpt(uint64_t number);

 private:
  void index();

  std::string_view text_;
  std::optional<std::vector<std::size_t>> starts_;
};

// The outputs of the format words ("html", "csv", "json", compared byte for byte; order
// and repeats do not matter, other words are ignored), written piece by piece. The page
// knows whether the CSV tables come with it: a table too long to print names its CSV file
// only then.
class ReportWriter {
 public:
  explicit ReportWriter(std::span<const std::string> formats);

  // The next piece of the document's compact JSON, for the page and report.json. A piece
  // must not end inside a string.
  void document(std::string_view compact);

  // A file entry's members before its items (bytes, counts) are known only after them, so
  // the items are written after room kept for the head: open_file_entry keeps `head_room`
  // bytes and makes room for about `expected_bytes` of items; close_file_entry writes the
  // real head into the room kept (a head that outgrows it is still written whole) and
  // removes what is left of it, moving no more than the file's own text. The head holds
  // numbers, fixed keys and fixed messages only, nothing that the page's form would escape.
  void open_file_entry(std::size_t head_room, std::size_t expected_bytes);
  void close_file_entry(std::string_view head);

  // The CSV rows of one input: begin_file, file_error_rows, then item_rows for each of its
  // items in order, then end_file. `name` and `text` must outlive the calls up to end_file.
  void begin_file(std::string_view name, std::string_view text);
  void item_rows(const AnalyzedItem& item);
  // The problem rows of the file's own errors (see file_errors_of), before its items'.
  void file_error_rows(const std::vector<ItemDiagnostic>& errors);
  void end_file(uint64_t bytes, uint64_t lines, const FileCounts& counts);

  void object_row(const catalog::CatalogObject& object);

  // The outputs in the fixed order report.html; files.csv, statements.csv, problems.csv,
  // tables.csv, objects.csv; report.json.
  [[nodiscard]] std::vector<ReportFile> finish() &&;

 private:
  bool html_ = false;
  bool csv_ = false;
  bool json_ = false;
  // The document in its embedded form, after the page's text before the data when the
  // page is wanted: report.json is made from it at the end.
  std::string document_;
  std::size_t data_start_ = 0;
  // The open file entry's head.
  std::optional<syntax::DeferredHead> file_head_;
  std::array<std::string, 5> tables_;
  std::string_view file_name_;
  std::optional<SourceLines> source_;
};

// Appends one field: quoted (inner quotes doubled) when it holds ",", a quotation mark,
// CR or LF, otherwise as it is.
void append_csv_field(std::string& out, std::string_view cell);

}  // namespace veltrane::report
