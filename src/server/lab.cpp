#include "server/lab.hpp"

#include <array>
#include <optional>
#include <utility>

#include "report/file_analysis.hpp"
#include "report/version_arg.hpp"
#include "report/zip_report.hpp"
#include "server/lab_page.hpp"
#include "server/sample_data_warehouse.hpp"
#include "server/sample_dynamic_sql.hpp"
#include "server/sample_insert_all.hpp"
#include "server/sample_load_dimensions.hpp"
#include "server/sample_queries.hpp"

namespace veltrane::server {

namespace {

using Json = nlohmann::json;

constexpr std::array<LabSample, 5> LAB_SAMPLES = {{
    {"Data warehouse tables (DDL)", SAMPLE_DATA_WAREHOUSE},
    {"Package: load dimensions", SAMPLE_LOAD_DIMENSIONS},
    {"INSERT ALL into several tables", SAMPLE_INSERT_ALL},
    {"Dynamic SQL in anonymous blocks", SAMPLE_DYNAMIC_SQL},
    {"Queries: analytics, PIVOT, MATCH_RECOGNIZE", SAMPLE_QUERIES},
}};

constexpr std::string_view DEFAULT_INPUT_NAME = "input.sql";
constexpr std::string_view DEFAULT_SCHEMA = "APP";
constexpr std::string_view DEFAULT_TITLE = "Veltrane report";
constexpr std::string_view ARCHIVE_NAME = "report.zip";
constexpr std::string_view ARCHIVE_ATTACHMENT = "veltrane-report.zip";

LabAnswer text_answer(std::string_view status, std::string_view text) {
  return LabAnswer{status, TYPE_TEXT, std::string(text), std::nullopt};
}

LabAnswer not_found() { return text_answer(STATUS_NOT_FOUND, NOT_FOUND_TEXT); }

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string_view report_file_type(std::string_view name) {
  if (ends_with(name, ".html")) return TYPE_HTML;
  if (ends_with(name, ".csv")) return TYPE_CSV;
  return TYPE_JSON;
}

// The members each route reads, and their positions.
constexpr std::array<std::string_view, 3> PARSE_MEMBERS = {"name", "source", "version"};
constexpr std::size_t PARSE_NAME = 0;
constexpr std::size_t PARSE_SOURCE = 1;
constexpr std::size_t PARSE_VERSION = 2;
constexpr std::array<std::string_view, 4> REPORT_MEMBERS = {"version", "schema", "title", "file"};
constexpr std::size_t REPORT_VERSION = 0;
constexpr std::size_t REPORT_SCHEMA = 1;
constexpr std::size_t REPORT_TITLE = 2;
constexpr std::size_t REPORT_FILE = 3;

// POST /api/parse {"name", "source", "version"}.
LabAnswer answer_parse(const BodyMembers& body) {
  const std::string_view source = text_member(body, PARSE_SOURCE).value_or(std::string_view());
  if (source.size() > LAB_MAX_SOURCE) return text_answer(STATUS_TOO_LARGE, LAB_SOURCE_TOO_LARGE);
  const report::VersionArg version = report::parse_version_arg(text_member(body, PARSE_VERSION));
  if (!version.ok()) {
    Json refusal = Json::object();
    refusal["error"] = version.error;
    return LabAnswer{STATUS_OK, TYPE_JSON, refusal.dump(), std::nullopt};
  }
  const std::string_view name = text_member(body, PARSE_NAME).value_or(DEFAULT_INPUT_NAME);
  return LabAnswer{STATUS_OK, TYPE_JSON, report::file_analysis_json(name, source, version.options),
                   std::nullopt};
}

// The format word whose outputs hold the report file `name`; none for a name that is no
// report file.
std::optional<std::string> format_of_report_file(std::string_view name) {
  if (name == "report.html") return "html";
  if (name == "report.json") return "json";
  for (const std::string_view table : report::CSV_FILE_NAMES) {
    if (name == table) return "csv";
  }
  return std::nullopt;
}

// POST /api/report {"files", "version", "schema", "title", "file"}. The texts are moved
// out of the body rather than copied; only the outputs the answer needs are rendered.
LabAnswer answer_report(BodyMembers& body) {
  std::vector<report::SourceInput> inputs;
  if (body.list.has_value()) inputs = report_inputs(std::move(*body.list));
  const report::VersionArg version = report::parse_version_arg(text_member(body, REPORT_VERSION));
  if (!version.ok()) return text_answer(STATUS_BAD_REQUEST, version.error);
  const std::string_view schema = text_member(body, REPORT_SCHEMA).value_or(DEFAULT_SCHEMA);
  const std::string_view title = text_member(body, REPORT_TITLE).value_or(DEFAULT_TITLE);
  const std::string_view file = text_member(body, REPORT_FILE).value_or(ARCHIVE_NAME);

  if (file == ARCHIVE_NAME) {
    const std::array<std::string, 3> formats = {"html", "csv", "json"};
    const report::Report report =
        report::build_report(inputs, version.options, schema, title, formats);
    report::ZipResult archive = report::zip_report(report.outputs);
    if (!archive.ok()) return text_answer(STATUS_SERVER_ERROR, archive.error);
    return LabAnswer{STATUS_OK, TYPE_ZIP, std::move(archive.bytes),
                     std::string(ARCHIVE_ATTACHMENT)};
  }
  const std::optional<std::string> format = format_of_report_file(file);
  if (!format) return text_answer(STATUS_NOT_FOUND, NO_SUCH_REPORT_FILE);
  report::Report report = report::build_report(inputs, version.options, schema, title,
                                               std::span<const std::string>(&*format, 1));
  for (report::ReportFile& output : report.outputs) {
    if (output.name == file) {
      return LabAnswer{STATUS_OK, report_file_type(output.name), std::move(output.bytes),
                       output.name};
    }
  }
  return text_answer(STATUS_NOT_FOUND, NO_SUCH_REPORT_FILE);
}

}  // namespace

std::span<const LabSample> lab_samples() { return LAB_SAMPLES; }

std::string_view lab_page() { return LAB_PAGE; }

Json samples_json() {
  Json samples = Json::array();
  for (const LabSample& sample : LAB_SAMPLES) {
    Json entry = Json::object();
    entry["name"] = std::string(sample.title);
    entry["text"] = std::string(sample.text);
    samples.push_back(std::move(entry));
  }
  return samples;
}

std::vector<report::SourceInput> report_inputs(std::vector<ListElement> files) {
  std::vector<report::SourceInput> inputs;
  inputs.reserve(files.size());
  for (ListElement& element : files) {
    report::SourceInput& input = inputs.emplace_back();
    input.name =
        element.name.has_value() ? std::move(*element.name) : std::string(DEFAULT_INPUT_NAME);
    if (element.text.has_value()) input.text = std::move(*element.text);
  }
  return inputs;
}

std::optional<LabAnswer> answer_lab_request(const RequestHead& head, RequestReader& reader,
                                            IoError& error) {
  const std::string_view method = head.method;
  const std::string_view path = head.path;
  if (method == "GET") {
    if (path == "/" || path == "/index.html") {
      return LabAnswer{STATUS_OK, TYPE_HTML, std::string(lab_page()), std::nullopt};
    }
    if (path == "/api/samples") {
      return LabAnswer{STATUS_OK, TYPE_JSON, samples_json().dump(), std::nullopt};
    }
    return not_found();
  }
  if (method != "POST" || (path != "/api/parse" && path != "/api/report")) return not_found();

  const bool parse = path == "/api/parse";
  const WantedMembers wanted =
      parse ? WantedMembers{PARSE_MEMBERS, std::nullopt} : WantedMembers{REPORT_MEMBERS, "files"};
  JsonBody body = read_json_body(head.content_length, reader, LAB_MAX_BODY, wanted);
  if (body.status == BodyStatus::TooLarge) return text_answer(STATUS_TOO_LARGE, LAB_BODY_TOO_LARGE);
  if (body.status == BodyStatus::Failed) {
    error = std::move(body.error);
    return std::nullopt;
  }
  return parse ? answer_parse(body.members) : answer_report(body.members);
}

namespace {

std::optional<Reply> lab_reply(const RequestHead& head, RequestReader& reader, IoError& error) {
  std::optional<LabAnswer> answer = answer_lab_request(head, reader, error);
  if (!answer.has_value()) return std::nullopt;
  std::optional<std::string_view> attachment;
  if (answer->attachment.has_value()) attachment = *answer->attachment;
  std::string answer_head =
      lab_answer_head(answer->status, answer->content_type, answer->body.size(), attachment);
  return Reply{std::move(answer_head), std::move(answer->body)};
}

std::string lab_text_head(std::string_view status, std::size_t body_length) {
  return lab_answer_head(status, TYPE_TEXT, body_length, std::nullopt);
}

}  // namespace

void handle_lab_connection(Socket connection, const ExchangeLimits& limits) {
  serve_exchange(std::move(connection), limits,
                 Responder{lab_reply, lab_text_head, LAB_WRONG_HOST, lab_out_of_memory_answer()});
}

}  // namespace veltrane::server
