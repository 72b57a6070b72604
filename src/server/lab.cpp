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
#include "syntax/json_text.hpp"

namespace veltrane::server {

namespace {

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

// POST /api/parse {"name", "source", "version"}.
LabAnswer answer_parse(const Json& body) {
  const std::optional<std::string_view> source_member = text_member(body, "source");
  const std::string_view source = source_member.value_or(std::string_view());
  if (source.size() > LAB_MAX_SOURCE) return text_answer(STATUS_TOO_LARGE, LAB_SOURCE_TOO_LARGE);
  const report::VersionArg version = report::parse_version_arg(text_member(body, "version"));
  if (!version.ok()) {
    Json refusal = Json::object();
    refusal["error"] = version.error;
    return LabAnswer{STATUS_OK, TYPE_JSON, refusal.dump(), std::nullopt};
  }
  const std::string_view name = text_member(body, "name").value_or(DEFAULT_INPUT_NAME);
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
LabAnswer answer_report(Json& body) {
  std::vector<report::SourceInput> inputs;
  if (body.is_object()) {
    const auto found = body.find("files");
    if (found != body.end()) inputs = inputs_from_json(std::move(*found));
  }
  const report::VersionArg version = report::parse_version_arg(text_member(body, "version"));
  if (!version.ok()) return text_answer(STATUS_BAD_REQUEST, version.error);
  const std::string_view schema = text_member(body, "schema").value_or(DEFAULT_SCHEMA);
  const std::string_view title = text_member(body, "title").value_or(DEFAULT_TITLE);
  const std::string_view file = text_member(body, "file").value_or(ARCHIVE_NAME);

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

JsonBody read_json_body(uint64_t content_length, RequestReader& reader, uint64_t limit) {
  JsonBody body;
  if (content_length > limit) {
    body.status = BodyStatus::TooLarge;
    return body;
  }
  std::string bytes;
  if (std::optional<IoError> error = reader.read_body(content_length, bytes)) {
    body.status = BodyStatus::Failed;
    body.error = std::move(*error);
    return body;
  }
  std::optional<Json> value = syntax::read_json(bytes);
  if (value.has_value()) body.value = std::move(*value);
  return body;
}

std::optional<std::string_view> text_member(const Json& value, std::string_view key) {
  if (!value.is_object()) return std::nullopt;
  const auto found = value.find(key);
  if (found == value.end() || !found->is_string()) return std::nullopt;
  return std::string_view(found->get_ref<const std::string&>());
}

report::SourceInput input_from_json(Json& element) {
  report::SourceInput input;
  input.name = text_member(element, "name").value_or(DEFAULT_INPUT_NAME);
  if (element.is_object()) {
    const auto text = element.find("text");
    if (text != element.end() && text->is_string()) {
      input.text = std::move(text->get_ref<std::string&>());
    }
  }
  return input;
}

std::vector<report::SourceInput> inputs_from_json(Json files) {
  std::vector<report::SourceInput> inputs;
  if (!files.is_array()) return inputs;
  inputs.reserve(files.size());
  for (Json& element : files) inputs.push_back(input_from_json(element));
  return inputs;
}

std::optional<LabAnswer> answer_lab_request(const RequestHead& head, RequestReader& reader,
                                            IoError& error) {
  if (!head.host_allowed) return text_answer(STATUS_FORBIDDEN, LAB_WRONG_HOST);
  if (head.cross_site) return text_answer(STATUS_FORBIDDEN, CROSS_SITE_REFUSED);
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

  JsonBody body = read_json_body(head.content_length, reader, LAB_MAX_BODY);
  if (body.status == BodyStatus::TooLarge) return text_answer(STATUS_TOO_LARGE, LAB_BODY_TOO_LARGE);
  if (body.status == BodyStatus::Failed) {
    error = std::move(body.error);
    return std::nullopt;
  }
  return path == "/api/parse" ? answer_parse(body.value) : answer_report(body.value);
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

}  // namespace

void handle_lab_connection(Socket connection, const HeadLimits& limits) {
  serve_exchange(std::move(connection), limits, lab_reply);
}

}  // namespace veltrane::server
