// The hand-written JSON writers over any text: the analysis result (under two option sets),
// the Lab's file analysis and report.json of a report of two inputs. Each text must parse
// as JSON and give back its own bytes when the JSON library writes it again (the writers
// promise the library's form: compact, report.json indented), and its counts must match
// what the splitter and the parser make of the same text: items, diagnostics and errors per
// item in the analysis; items, their errors (the lexer errors each holds among them),
// warnings and kinds, bytes and lines in the file analysis and in each file of the report,
// whose summary adds them up. Names, titles and item texts come back as they went in.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "api/analysis_options.hpp"
#include "api/analyze_json.hpp"
#include "fuzz_checks.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/item_lexer_errors.hpp"
#include "parser/parse_entries.hpp"
#include "report/file_analysis.hpp"
#include "report/report_data.hpp"
#include "syntax/span.hpp"

namespace {

using namespace veltrane;
using nlohmann::json;

// What the splitter and the parser make of the text under one set of options.
struct Expected {
  std::size_t items = 0;
  // Items not parsed: client commands and statements without tokens.
  std::size_t unparsed = 0;
  std::size_t diagnostics = 0;
  // Per item: errors and warnings of its parse (0 for items not parsed).
  std::vector<uint64_t> errors;
  std::vector<uint64_t> warnings;
  std::vector<bool> parsed;
};

// With `held` on, an item's diagnostics start with the lexer errors it holds, as the file
// analysis and the report list them; the analysis result lists the lexer's on their own.
Expected expected_of(std::string_view text, const lexer::SplitResult& split,
                     const lexer::ParseOptions& options, bool held) {
  Expected expected;
  expected.items = split.items.size();
  expected.diagnostics = split.diagnostics.size();
  for (const lexer::ScriptItem& item : split.items) {
    const std::optional<parser::ParsedStatement> parsed =
        held ? parser::parse_item_with_lexer_errors(text, split, item, options)
             : parser::parse_item(text, split, item, options);
    uint64_t errors = 0;
    uint64_t warnings = 0;
    if (parsed) {
      expected.diagnostics += parsed->diagnostics.size();
      for (const lexer::Diagnostic& diagnostic : parsed->diagnostics) {
        ++(diagnostic.severity == lexer::Severity::Error ? errors : warnings);
      }
    }
    expected.errors.push_back(errors);
    expected.warnings.push_back(warnings);
    expected.parsed.push_back(parsed.has_value());
    if (!parsed) ++expected.unparsed;
  }
  return expected;
}

// The JSON value of a writer's text, which the library must write back byte for byte
// (compact, or indented by `indent` blanks).
json parsed_json(const std::string& text, std::string_view what, int indent = -1) {
  json value = json::parse(text, nullptr, false);
  if (value.is_discarded()) fuzz::fail(std::string(what) + " is not JSON");
  if (value.dump(indent) != text) fuzz::fail(std::string(what) + " is not the library's form");
  return value;
}

void check_equal(uint64_t found, uint64_t expected, std::string_view what) {
  if (found != expected) fuzz::fail(what, found);
}

// The analysis result: its items and diagnostics, and each parsed item's error count.
void check_analysis(std::string_view text, const lexer::SplitResult& split,
                    std::string_view options_text) {
  const api::AnalysisOptions options = api::read_analysis_options(options_text);
  const Expected expected = expected_of(text, split, {options.ccflags, options.version}, false);
  const json result = parsed_json(api::analyze_json(text, options_text), "analysis result");
  check_equal(result.at("items").size(), expected.items, "analysis items");
  check_equal(result.at("diagnostics").size(), expected.diagnostics, "analysis diagnostics");
  for (std::size_t i = 0; i < expected.items; ++i) {
    const json& item = result.at("items").at(i);
    if (item.contains("errors") != expected.parsed[i]) fuzz::fail("analysis item parsed", i);
    if (expected.parsed[i]) {
      check_equal(item.at("errors").get<uint64_t>(), expected.errors[i], "analysis item errors");
    }
  }
}

// One file's items (from the file analysis or the report): count, kinds, texts, errors and
// warnings; and its counts object against its items.
void check_file_items(std::string_view text, const lexer::SplitResult& split,
                      const Expected& expected, const json& file) {
  const json& items = file.at("items");
  check_equal(items.size(), expected.items, "file items");
  uint64_t errors = 0;
  uint64_t warnings = 0;
  uint64_t with_errors = 0;
  for (std::size_t i = 0; i < expected.items; ++i) {
    const json& item = items.at(i);
    const lexer::ScriptItem& script_item = split.items[i];
    // An item that is not parsed is written as a client command.
    if ((item.at("kind") == "sqlplus") == expected.parsed[i]) fuzz::fail("file item kind", i);
    const std::string_view item_text =
        syntax::span_text({script_item.start, script_item.end}, text);
    if (item.at("text").get<std::string>() != item_text) fuzz::fail("file item text", i);
    if (!expected.parsed[i]) continue;
    check_equal(item.at("errors").size(), expected.errors[i], "file item errors");
    check_equal(item.at("warnings").size(), expected.warnings[i], "file item warnings");
    errors += expected.errors[i];
    warnings += expected.warnings[i];
    with_errors += expected.errors[i] != 0 ? 1 : 0;
  }
  const json& counts = file.at("counts");
  check_equal(counts.at("errors").get<uint64_t>(), errors, "file errors");
  check_equal(counts.at("warnings").get<uint64_t>(), warnings, "file warnings");
  check_equal(counts.at("with_errors").get<uint64_t>(), with_errors, "file items with errors");
  check_equal(counts.at("sqlplus").get<uint64_t>(), expected.unparsed, "file commands");
  check_equal(counts.at("statements").get<uint64_t>(), expected.items - expected.unparsed,
              "file statements");
  check_equal(file.at("bytes").get<uint64_t>(), text.size(), "file bytes");
  check_equal(file.at("lines").get<uint64_t>(), report::counted_lines(text), "file lines");
}

// The report of the text under two names: each file as the file analysis, the summary as
// their sum, and the name and title as given.
void check_report(std::string_view text, const lexer::SplitResult& split, const Expected& expected,
                  const std::string& name) {
  const std::vector<report::SourceInput> inputs = {{name, std::string(text)},
                                                   {"second.sql", std::string(text)}};
  const std::vector<std::string> formats = {"html", "csv", "json"};
  const report::Report built = report::build_report(inputs, {}, "app", name, formats);
  const report::ReportFile* report_json = nullptr;
  for (const report::ReportFile& output : built.outputs) {
    if (output.name == "report.json") report_json = &output;
  }
  if (report_json == nullptr) fuzz::fail("no report.json");
  const json document = parsed_json(report_json->bytes, "report.json", 2);
  const json& files = document.at("files");
  check_equal(files.size(), inputs.size(), "report files");
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (files.at(i).at("name").get<std::string>() != inputs[i].name) fuzz::fail("file name", i);
    check_file_items(text, split, expected, files.at(i));
  }
  if (document.at("title").get<std::string>() != name) fuzz::fail("report title");
  const json& summary = document.at("summary");
  check_equal(summary.at("files").get<uint64_t>(), inputs.size(), "summary files");
  check_equal(summary.at("bytes").get<uint64_t>(), 2 * text.size(), "summary bytes");
  check_equal(summary.at("statements").get<uint64_t>(), 2 * (expected.items - expected.unparsed),
              "summary statements");
  check_equal(summary.at("sqlplus").get<uint64_t>(), 2 * expected.unparsed, "summary commands");
  check_equal(summary.at("objects").get<uint64_t>(), document.at("objects").size(),
              "summary objects");
}

// A name for the first input made from the text's first line (at most 24 bytes, cut at a
// character boundary), so that names with quotes, controls and non-ASCII are written too.
std::string name_from(std::string_view text) {
  std::size_t end = std::min<std::size_t>(text.find('\n'), 24);
  end = std::min(end, text.size());
  while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  return std::string(text.substr(0, end)) + ".sql";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::run_checked([&] {
    const std::string text = fuzz::input_text(data, size);
    const lexer::SplitResult split = lexer::split_script(text);
    check_analysis(text, split, "");
    check_analysis(text, split, R"({"version":"12.1","ccflags":"debug:true","schema":"hr"})");

    const Expected expected = expected_of(text, split, {}, true);
    const json file = parsed_json(report::file_analysis_json("a.sql", text, {}), "file analysis");
    check_file_items(text, split, expected, file);
    check_report(text, split, expected, name_from(text));
  });
  return 0;
}
