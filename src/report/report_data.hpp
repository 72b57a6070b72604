#pragma once

// The one JSON document of a report: header, summary, the analysis of every input
// (without timings and highlighting rows) and the objects its DDL creates.

#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.hpp"
#include "lexer/parse_options.hpp"
#include "report/file_analysis.hpp"
#include "syntax/version.hpp"

namespace veltrane::report {

// One input of a report: its name (a path as text, or a name a Lab request gives) and its
// UTF-8 text.
struct SourceInput {
  std::string name;
  std::string text;
};

inline constexpr std::string_view REPORT_TOOL = "Veltrane";
inline constexpr std::string_view REPORT_TOOL_VERSION = syntax::VERSION_TEXT;

// The document: files, objects, oracle_version, schema, summary, title, tool,
// tool_version. The same arguments give the same document on every run.
[[nodiscard]] Json build_report_data(const std::vector<SourceInput>& inputs,
                                     const lexer::ParseOptions& options, std::string_view schema,
                                     std::string_view title);

// One object entry: columns, members (counts), name, owner, type.
[[nodiscard]] Json object_json(const catalog::CatalogObject& object);

}  // namespace veltrane::report
