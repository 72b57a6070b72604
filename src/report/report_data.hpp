#pragma once

// The report over several inputs: its one JSON document (header, summary, the analysis of
// every input without timings and highlighting rows, the objects its DDL creates) and the
// CSV tables, rendered into the chosen outputs while the inputs are analysed one by one.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/parse_options.hpp"
#include "report/render.hpp"
#include "syntax/version.hpp"

namespace veltrane::report {

// One input of a report: its name (a path as text, or a name a Lab request gives) and its
// UTF-8 text.
struct SourceInput {
  std::string name;
  std::string text;
  // Set for a file read from bytes that begin with a UTF-16 byte-order mark: it is not
  // analysed and has one error of its own (its text only gives its size and lines).
  bool utf16 = false;
};

inline constexpr std::string_view REPORT_TOOL = "Veltrane";
inline constexpr std::string_view REPORT_TOOL_VERSION = syntax::VERSION_TEXT;

// The document's "summary": the file counts summed over the inputs, with the number of
// inputs and of created objects.
struct ReportSummary {
  uint64_t bytes = 0;
  uint64_t errors = 0;
  uint64_t files = 0;
  uint64_t lines = 0;
  uint64_t objects = 0;
  uint64_t sqlplus = 0;
  uint64_t statements = 0;
  uint64_t warnings = 0;
  uint64_t with_errors = 0;
};

struct Report {
  // In the order of ReportWriter::finish.
  std::vector<ReportFile> outputs;
  ReportSummary summary;
};

// The report of `inputs` in the outputs of the format words (see ReportWriter). The
// document holds files, objects, oracle_version, schema, summary, title, tool,
// tool_version; the same arguments give the same bytes on every run.
[[nodiscard]] Report build_report(std::span<const SourceInput> inputs,
                                  const lexer::ParseOptions& options, std::string_view schema,
                                  std::string_view title, std::span<const std::string> formats);

}  // namespace veltrane::report
