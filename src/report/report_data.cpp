#include "report/report_data.hpp"

#include <array>
#include <cstdint>

#include "catalog/build_catalog.hpp"
#include "lexer/oracle_version.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::report {

namespace {

// The summary values summed over the file entries, with the key path they come from.
struct SummedCount {
  std::string_view summary_key;
  std::string_view counts_key;  // empty: a member of the file entry itself
  std::string_view file_key;
};

constexpr std::array<SummedCount, 7> SUMMED_COUNTS = {{
    {"bytes", "", "bytes"},
    {"lines", "", "lines"},
    {"statements", "counts", "statements"},
    {"with_errors", "counts", "with_errors"},
    {"errors", "counts", "errors"},
    {"warnings", "counts", "warnings"},
    {"sqlplus", "counts", "sqlplus"},
}};

// A member that is a non-negative integer, else 0.
uint64_t count_member(const Json& object, std::string_view key) {
  if (!object.is_object()) return 0;
  const auto found = object.find(key);
  if (found == object.end()) return 0;
  if (found->is_number_unsigned()) return found->get<uint64_t>();
  if (found->is_number_integer()) {
    const int64_t value = found->get<int64_t>();
    return value > 0 ? static_cast<uint64_t>(value) : 0;
  }
  return 0;
}

uint64_t summed(const Json& file, const SummedCount& count) {
  if (count.counts_key.empty()) return count_member(file, count.file_key);
  if (!file.is_object()) return 0;
  const auto counts = file.find(count.counts_key);
  return counts == file.end() ? 0 : count_member(*counts, count.file_key);
}

std::string ascii_upper_copy(std::string_view text) {
  std::string upper(text);
  for (char& byte : upper) byte = syntax::ascii_upper(byte);
  return upper;
}

}  // namespace

Json object_json(const catalog::CatalogObject& object) {
  Json entry = Json::object();
  entry["type"] = catalog::OBJECT_TYPE_NAMES[static_cast<std::size_t>(object.kind)];
  entry["owner"] = object.owner;
  entry["name"] = object.name;
  entry["columns"] = object.columns.size();
  entry["members"] = object.members.size();
  return entry;
}

Json build_report_data(const std::vector<SourceInput>& inputs, const lexer::ParseOptions& options,
                       std::string_view schema, std::string_view title) {
  Json files = Json::array();
  for (const SourceInput& input : inputs) {
    files.push_back(report_file_entry(input.name, input.text, options));
  }

  const std::string upper_schema = ascii_upper_copy(schema);
  catalog::Catalog catalog;
  std::string current_schema = upper_schema;
  for (const SourceInput& input : inputs) {
    current_schema =
        catalog::build_catalog(catalog, input.name, input.text, current_schema, options);
  }
  Json objects = Json::array();
  for (const auto& [key, object] : catalog.objects) objects.push_back(object_json(object));
  for (const auto& [key, trigger] : catalog.triggers) objects.push_back(object_json(trigger));

  Json summary = Json::object();
  for (const SummedCount& count : SUMMED_COUNTS) {
    uint64_t total = 0;
    for (const Json& file : files) total += summed(file, count);
    summary[std::string(count.summary_key)] = total;
  }
  summary["files"] = inputs.size();
  summary["objects"] = objects.size();

  Json data = Json::object();
  data["tool"] = REPORT_TOOL;
  data["tool_version"] = REPORT_TOOL_VERSION;
  data["title"] = title;
  data["oracle_version"] = lexer::format_version(options.version);
  data["schema"] = upper_schema;
  data["summary"] = std::move(summary);
  data["files"] = std::move(files);
  data["objects"] = std::move(objects);
  return data;
}

}  // namespace veltrane::report
