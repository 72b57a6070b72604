#include "report/render.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "report/document_text.hpp"
#include "report/report_template.hpp"
#include "report/white_space.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::report {

namespace {

constexpr std::string_view DATA_SLOT = "/*__DATA__*/null";
constexpr std::size_t SOURCE_CHARACTERS = 200;

bool has_format(std::span<const std::string> formats, std::string_view word) {
  return std::find(formats.begin(), formats.end(), word) != formats.end();
}

const Json& null_json() {
  static const Json null_value = nullptr;
  return null_value;
}

// A member of an object; null for a missing key or a value that is not an object.
const Json& member(const Json& object, std::string_view key) {
  if (!object.is_object()) return null_json();
  const auto found = object.find(key);
  return found == object.end() ? null_json() : *found;
}

// The elements of a list; none when the value is not an array.
const Json& list(const Json& value) {
  static const Json empty_list = Json::array();
  return value.is_array() ? value : empty_list;
}

// The data's compact JSON with "</" written "<\/" and "<!--" written "\u003c!--", so that
// nothing in it can end the page's script or change how the HTML parser reads it. A "<"
// occurs only inside JSON strings, where both forms keep the value.
std::string embedded_data(const Json& data) {
  std::string compact;
  append_compact_json(compact, data);
  std::string out;
  out.reserve(compact.size() + compact.size() / 64);
  for (std::size_t i = 0; i < compact.size(); ++i) {
    const char byte = compact[i];
    if (byte == '<' && i + 1 < compact.size() && compact[i + 1] == '/') {
      out.append("<\\/");
      ++i;
    } else if (byte == '<' && compact.compare(i + 1, 3, "!--") == 0) {
      out.append("\\u003c");
    } else {
      out.push_back(byte);
    }
  }
  return out;
}

using Row = std::vector<std::string>;

void append_row(std::string& out, const Row& row) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) out.push_back(',');
    append_csv_field(out, row[i]);
  }
  out.append("\r\n");
}

// The lines of one input text, found once per file when a problem needs them: the pieces
// between LF characters; a final LF starts no line.
class SourceLines {
 public:
  explicit SourceLines(std::string_view text) : text_(text) {}

  // The trimmed first 200 characters of line `number` (1-based); empty past the end.
  std::string excerpt(uint64_t number) {
    if (!starts_) index();
    if (number == 0 || number > starts_->size()) return {};
    const std::size_t start = (*starts_)[number - 1];
    std::size_t end = text_.find('\n', start);
    if (end == std::string_view::npos) end = text_.size();
    const std::string_view line = trim_white_space(text_.substr(start, end - start));
    std::size_t characters = 0;
    std::size_t cut = 0;
    while (cut < line.size()) {
      if (!syntax::is_continuation_byte(line[cut])) {
        if (characters == SOURCE_CHARACTERS) break;
        ++characters;
      }
      ++cut;
    }
    return std::string(line.substr(0, cut));
  }

 private:
  void index() {
    starts_.emplace();
    if (text_.empty()) return;
    starts_->push_back(0);
    for (std::size_t i = 0; i < text_.size(); ++i) {
      if (text_[i] == '\n' && i + 1 < text_.size()) starts_->push_back(i + 1);
    }
  }

  std::string_view text_;
  std::optional<std::vector<std::size_t>> starts_;
};

// The line a problem's source comes from: its "line" when that is an integer of 2 or
// more, else the first.
uint64_t wanted_line(const Json& line) {
  if (line.is_number_unsigned()) return std::max<uint64_t>(line.get<uint64_t>(), 1);
  if (line.is_number_integer() && line.get<int64_t>() >= 2) {
    return static_cast<uint64_t>(line.get<int64_t>());
  }
  return 1;
}

std::string element_count(const Json& value) {
  return std::to_string(value.is_array() ? value.size() : 0);
}

}  // namespace

std::string csv_cell(const Json& value) {
  if (value.is_null()) return {};
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
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

std::string render_report_html(const Json& data) {
  const std::size_t slot = REPORT_TEMPLATE.find(DATA_SLOT);
  const std::string embedded = embedded_data(data);
  std::string page;
  page.reserve(REPORT_TEMPLATE.size() + embedded.size());
  page.append(REPORT_TEMPLATE.substr(0, slot));
  page.append(embedded);
  page.append(REPORT_TEMPLATE.substr(slot + DATA_SLOT.size()));
  return page;
}

std::string render_report_json(const Json& data) {
  std::string text;
  append_indented_json(text, data);
  return text;
}

std::vector<ReportFile> render_csv_tables(const Json& data,
                                          const std::vector<SourceInput>& inputs) {
  std::array<std::string, 5> tables = {
      "file,bytes,lines,statements,with_errors,errors,warnings,sqlplus\r\n",
      "file,line,col,end_line,kind,statement,errors,warnings,tables,bytes,lossless\r\n",
      "file,line,col,severity,message,statement,source\r\n",
      "table,file,line,statement\r\n",
      "type,owner,name,columns,members\r\n",
  };
  std::string& files_csv = tables[0];
  std::string& statements_csv = tables[1];
  std::string& problems_csv = tables[2];
  std::string& tables_csv = tables[3];
  std::string& objects_csv = tables[4];

  for (const Json& file : list(member(data, "files"))) {
    const std::string file_name = csv_cell(member(file, "name"));
    std::string_view source_text;
    for (const SourceInput& input : inputs) {
      if (input.name == file_name) {
        source_text = input.text;
        break;
      }
    }
    SourceLines source(source_text);
    const Json& counts = member(file, "counts");
    append_row(files_csv,
               {file_name, csv_cell(member(file, "bytes")), csv_cell(member(file, "lines")),
                csv_cell(member(counts, "statements")), csv_cell(member(counts, "with_errors")),
                csv_cell(member(counts, "errors")), csv_cell(member(counts, "warnings")),
                csv_cell(member(counts, "sqlplus"))});

    for (const Json& item : list(member(file, "items"))) {
      const Json& kind = member(item, "kind");
      if (kind.is_string() && kind.get_ref<const std::string&>() == "sqlplus") continue;
      const std::string line = csv_cell(member(item, "line"));
      const std::string statement = csv_cell(member(item, "statement"));
      std::vector<std::string> table_cells;
      std::string joined_tables;
      for (const Json& table : list(member(item, "tables"))) {
        table_cells.push_back(csv_cell(table));
        if (table_cells.size() > 1) joined_tables.push_back(' ');
        joined_tables.append(table_cells.back());
      }
      const Json& errors = member(item, "errors");
      const Json& warnings = member(item, "warnings");
      append_row(
          statements_csv,
          {file_name, line, csv_cell(member(item, "col")), csv_cell(member(item, "end_line")),
           csv_cell(kind), statement, element_count(errors), element_count(warnings), joined_tables,
           csv_cell(member(item, "bytes")), csv_cell(member(item, "lossless"))});
      for (const auto& [severity, diagnostics] :
           {std::pair<std::string_view, const Json*>{"error", &errors}, {"warning", &warnings}}) {
        for (const Json& diagnostic : list(*diagnostics)) {
          append_row(problems_csv, {file_name, csv_cell(member(diagnostic, "line")),
                                    csv_cell(member(diagnostic, "col")), std::string(severity),
                                    csv_cell(member(diagnostic, "message")), statement,
                                    source.excerpt(wanted_line(member(diagnostic, "line")))});
        }
      }
      for (const std::string& table : table_cells) {
        append_row(tables_csv, {table, file_name, line, statement});
      }
    }
  }
  for (const Json& object : list(member(data, "objects"))) {
    append_row(objects_csv, {csv_cell(member(object, "type")), csv_cell(member(object, "owner")),
                             csv_cell(member(object, "name")), csv_cell(member(object, "columns")),
                             csv_cell(member(object, "members"))});
  }
  return {
      {"files.csv", std::move(files_csv)},       {"statements.csv", std::move(statements_csv)},
      {"problems.csv", std::move(problems_csv)}, {"tables.csv", std::move(tables_csv)},
      {"objects.csv", std::move(objects_csv)},
  };
}

std::vector<ReportFile> render_report(const Json& data, const std::vector<SourceInput>& inputs,
                                      std::span<const std::string> formats) {
  std::vector<ReportFile> outputs;
  if (has_format(formats, "html")) outputs.push_back({"report.html", render_report_html(data)});
  if (has_format(formats, "csv")) {
    for (ReportFile& table : render_csv_tables(data, inputs)) outputs.push_back(std::move(table));
  }
  if (has_format(formats, "json")) outputs.push_back({"report.json", render_report_json(data)});
  return outputs;
}

}  // namespace veltrane::report
