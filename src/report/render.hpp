#pragma once

// Rendering a report document into its output files: report.html (the page with the
// document embedded), the five CSV tables and report.json.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/file_analysis.hpp"
#include "report/report_data.hpp"

namespace veltrane::report {

// One rendered output: a bare file name and its whole content (UTF-8, no byte-order mark).
struct ReportFile {
  std::string name;
  std::string bytes;
};

// The outputs for the format words ("html", "csv", "json", compared byte for byte; order
// and repeats do not matter, other words are ignored), in the fixed order report.html;
// files.csv, statements.csv, problems.csv, tables.csv, objects.csv; report.json. `inputs`
// serve the "source" column of problems.csv.
[[nodiscard]] std::vector<ReportFile> render_report(const Json& data,
                                                    const std::vector<SourceInput>& inputs,
                                                    std::span<const std::string> formats);

// The page with `data` embedded: its compact JSON, each "</" written "<\/" and each
// "<!--" written "\u003c!--", put in place of the template's one data slot.
[[nodiscard]] std::string render_report_html(const Json& data);

// report.json: the library's indented dump (two spaces), no final line feed.
[[nodiscard]] std::string render_report_json(const Json& data);

// The text of one CSV cell for a JSON value: null empty, a string as it is, anything
// else its compact JSON.
[[nodiscard]] std::string csv_cell(const Json& value);

// Appends one field: quoted (inner quotes doubled) when it holds ",", a quotation mark,
// CR or LF, otherwise as it is.
void append_csv_field(std::string& out, std::string_view cell);

// The five tables, in order files, statements, problems, tables, objects.
[[nodiscard]] std::vector<ReportFile> render_csv_tables(const Json& data,
                                                        const std::vector<SourceInput>& inputs);

}  // namespace veltrane::report
