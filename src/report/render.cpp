#include "report/render.hpp"

#include <algorithm>
#include <charconv>
#include <utility>

#include "report/report_template.hpp"
#include "syntax/string_room.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::report {

namespace {

constexpr std::string_view DATA_SLOT = "/*__DATA__*/null";
// The page's note on the report's CSV files, false in the template: true when they are
// written with the page.
constexpr std::string_view CSV_SLOT = "/*__CSV__*/false";
constexpr std::size_t SOURCE_CHARACTERS = 200;

constexpr std::array<std::string_view, 5> CSV_HEADS = {
    "file,bytes,lines,statements,with_errors,errors,warnings,sqlplus\r\n",
    "file,line,col,end_line,kind,statement,errors,warnings,tables,bytes,lossless\r\n",
    "file,line,col,severity,message,statement,source\r\n",
    "table,file,line,statement\r\n",
    "type,owner,name,columns,members\r\n",
};
// Positions of the tables in CSV_FILE_NAMES and the writer's texts.
constexpr std::size_t FILES_TABLE = 0;
constexpr std::size_t STATEMENTS_TABLE = 1;
constexpr std::size_t PROBLEMS_TABLE = 2;
constexpr std::size_t TABLES_TABLE = 3;
constexpr std::size_t OBJECTS_TABLE = 4;

bool has_format(std::span<const std::string> formats, std::string_view word) {
  return std::find(formats.begin(), formats.end(), word) != formats.end();
}

// One CSV line being written: cells are separated by commas and the line ends with CRLF.
class CsvLine {
 public:
  explicit CsvLine(std::string& out) : out_(out) {}

  CsvLine& text(std::string_view cell) {
    separate();
    append_csv_field(out_, cell);
    return *this;
  }
  CsvLine& number(uint64_t value) {
    separate();
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out_.append(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    return *this;
  }
  void end() { out_.append("\r\n"); }

 private:
  void separate() {
    if (!first_) out_.push_back(',');
    first_ = false;
  }

  std::string& out_;
  bool first_ = true;
};

}  // namespace

std::string_view SourceLines::excerpt(uint64_t number) {
  if (!starts_) index();
  if (number == 0 || number > starts_->size()) return {};
  const std::size_t start = (*starts_)[number - 1];
  std::size_t end = text_.find('\n', start);
  if (end == std::string_view::npos) end = text_.size();
  const std::string_view line = syntax::trim_white_space(text_.substr(start, end - start));
  std::size_t characters = 0;
  std::size_t cut = 0;
  while (cut < line.size()) {
    if (!syntax::is_continuation_byte(line[cut])) {
      if (characters == SOURCE_CHARACTERS) break;
      ++characters;
    }
    ++cut;
  }
  return line.substr(0, cut);
}

void SourceLines::index() {
  starts_.emplace();
  if (text_.empty()) return;
  starts_->push_back(0);
  for (std::size_t i = 0; i < text_.size(); ++i) {
    if (text_[i] == '\n' && i + 1 < text_.size()) starts_->push_back(i + 1);
  }
}

void append_csv_field(std::string& out, std::string_view cell) {
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(cell);
    return;
  }
  out.push_back('"');
  for (const char byte : cell) {
    if (byte == '"') out.push_back('"');
    out.push_back(byte);
  }
  out.push_back('"');
}

ReportWriter::ReportWriter(std::span<const std::string> formats)
    : html_(has_format(formats, "html")),
      csv_(has_format(formats, "csv")),
      json_(has_format(formats, "json")) {
  if (html_) document_.append(REPORT_TEMPLATE.substr(0, REPORT_TEMPLATE.find(DATA_SLOT)));
  data_start_ = document_.size();
  if (csv_) {
    for (std::size_t i = 0; i < tables_.size(); ++i) tables_[i].append(CSV_HEADS[i]);
  }
}

void ReportWriter::document(std::string_view compact) {
  if (html_ || json_) append_script_safe_json(document_, compact);
}

void ReportWriter::open_file_entry(std::size_t head_room, std::size_t expected_bytes) {
  if (!html_ && !json_) return;
  syntax::reserve_more(document_, head_room + expected_bytes);
  file_head_.emplace(document_, head_room);
}

void ReportWriter::close_file_entry(std::string_view head) {
  if (!file_head_) return;
  file_head_->write(head);
  file_head_->close();
  file_head_.reset();
}

void ReportWriter::begin_file(std::string_view name, std::string_view text) {
  file_name_ = name;
  source_.emplace(text);
}

void ReportWriter::item_rows(const AnalyzedItem& item) {
  if (!csv_ || item.parsed == nullptr) return;
  CsvLine statement(tables_[STATEMENTS_TABLE]);
  statement.text(file_name_).number(item.line).number(item.col).number(item.end_line);
  statement.text(item.plsql ? "plsql" : "sql").text(item.statement);
  statement.number(item.errors.size()).number(item.warnings.size());
  std::string joined_tables;
  for (std::size_t i = 0; i < item.tables.size(); ++i) {
    if (i > 0) joined_tables.push_back(' ');
    joined_tables.append(item.tables[i]);
  }
  statement.text(joined_tables).number(item.text.size()).text(item.lossless ? "true" : "false");
  statement.end();

  for (const auto& [severity, diagnostics] :
       {std::pair<std::string_view, const std::vector<ItemDiagnostic>*>{"error", &item.errors},
        {"warning", &item.warnings}}) {
    for (const ItemDiagnostic& diagnostic : *diagnostics) {
      CsvLine problem(tables_[PROBLEMS_TABLE]);
      problem.text(file_name_).number(diagnostic.line).number(diagnostic.col).text(severity);
      problem.text(diagnostic.message).text(item.statement);
      problem.text(source_->excerpt(std::max<uint64_t>(diagnostic.line, 1)));
      problem.end();
    }
  }
  for (const std::string& table : item.tables) {
    CsvLine row(tables_[TABLES_TABLE]);
    row.text(table).text(file_name_).number(item.line).text(item.statement);
    row.end();
  }
}

void ReportWriter::file_error_rows(const std::vector<ItemDiagnostic>& errors) {
  if (!csv_) return;
  for (const ItemDiagnostic& error : errors) {
    CsvLine problem(tables_[PROBLEMS_TABLE]);
    problem.text(file_name_).number(error.line).number(error.col).text("error");
    // An error of the file belongs to no statement.
    problem.text(error.message).text("");
    problem.text(source_->excerpt(std::max<uint64_t>(error.line, 1)));
    problem.end();
  }
}

void ReportWriter::end_file(uint64_t bytes, uint64_t lines, const FileCounts& counts) {
  if (csv_) {
    CsvLine row(tables_[FILES_TABLE]);
    row.text(file_name_).number(bytes).number(lines).number(counts.statements);
    row.number(counts.with_errors).number(counts.errors).number(counts.warnings);
    row.number(counts.sqlplus);
    row.end();
  }
  source_.reset();
  file_name_ = {};
}

void ReportWriter::object_row(const catalog::CatalogObject& object) {
  if (!csv_) return;
  CsvLine row(tables_[OBJECTS_TABLE]);
  row.text(catalog::OBJECT_TYPE_NAMES[static_cast<std::size_t>(object.kind)]);
  row.text(object.owner).text(object.name);
  row.number(object.columns.size()).number(object.members.size());
  row.end();
}

std::vector<ReportFile> ReportWriter::finish() && {
  std::vector<ReportFile> outputs;
  std::string json_text;
  if (json_) append_indented_json(json_text, std::string_view(document_).substr(data_start_));
  if (html_) {
    const std::string_view tail =
        REPORT_TEMPLATE.substr(REPORT_TEMPLATE.find(DATA_SLOT) + DATA_SLOT.size());
    const std::size_t csv_slot = tail.find(CSV_SLOT);
    document_.append(tail.substr(0, csv_slot));
    document_.append(csv_ ? "true" : "false");
    document_.append(tail.substr(csv_slot + CSV_SLOT.size()));
    outputs.push_back({"report.html", std::move(document_)});
  }
  if (csv_) {
    for (std::size_t i = 0; i < tables_.size(); ++i) {
      outputs.push_back({std::string(CSV_FILE_NAMES[i]), std::move(tables_[i])});
    }
  }
  if (json_) outputs.push_back({"report.json", std::move(json_text)});
  return outputs;
}

}  // namespace veltrane::report
