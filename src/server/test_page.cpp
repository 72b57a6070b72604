#include "server/test_page.hpp"

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "api/analyze_json.hpp"
#include "server/lab.hpp"
#include "server/test_page_html.hpp"

namespace veltrane::server {

namespace {

ServeAnswer not_found() {
  return ServeAnswer{STATUS_NOT_FOUND, TYPE_TEXT, std::string(NOT_FOUND_TEXT)};
}

// POST /api/analyze {"source", "version", "ccflags"}: the driver's result with "micros".
ServeAnswer answer_analyze(const Json& body) {
  const std::string_view source = text_member(body, "source").value_or(std::string_view());
  const auto started = std::chrono::steady_clock::now();
  Json options = Json::object();
  options["ccflags"] = std::string(text_member(body, "ccflags").value_or(std::string_view()));
  options["version"] = std::string(text_member(body, "version").value_or(std::string_view()));
  std::string result = api::analyze_json(source, options.dump());
  const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();
  const uint64_t micros = elapsed > 0 ? static_cast<uint64_t>(elapsed) / 1000 : 0;
  return ServeAnswer{STATUS_OK, TYPE_JSON, with_micros(std::move(result), micros)};
}

}  // namespace

std::string_view test_page() { return TEST_PAGE; }

std::string with_micros(std::string result, uint64_t micros) {
  constexpr std::string_view VERSION_KEY = "\"version\":";
  const std::size_t at = result.rfind(VERSION_KEY);
  if (at == std::string::npos) return result;
  std::string member = "\"micros\":";
  member.append(std::to_string(micros));
  member.push_back(',');
  result.insert(at, member);
  return result;
}

std::optional<ServeAnswer> answer_serve_request(const RequestHead& head, RequestReader& reader,
                                                IoError& error) {
  if (head.cross_site) {
    return ServeAnswer{STATUS_FORBIDDEN, TYPE_TEXT, std::string(CROSS_SITE_REFUSED)};
  }
  if (head.method == "GET" && (head.path == "/" || head.path == "/index.html")) {
    return ServeAnswer{STATUS_OK, TYPE_HTML, std::string(test_page())};
  }
  if (head.method != "POST" || head.path != "/api/analyze") return not_found();
  JsonBody body = read_json_body(head.content_length, reader, SERVE_MAX_BODY);
  if (body.status == BodyStatus::TooLarge) {
    return ServeAnswer{STATUS_TOO_LARGE, TYPE_TEXT, std::string(SERVE_BODY_TOO_LARGE)};
  }
  if (body.status == BodyStatus::Failed) {
    error = std::move(body.error);
    return std::nullopt;
  }
  return answer_analyze(body.value);
}

namespace {

std::optional<Reply> serve_reply(const RequestHead& head, RequestReader& reader, IoError& error) {
  std::optional<ServeAnswer> answer = answer_serve_request(head, reader, error);
  if (!answer.has_value()) return std::nullopt;
  std::string answer_head =
      serve_answer_head(answer->status, answer->content_type, answer->body.size());
  return Reply{std::move(answer_head), std::move(answer->body)};
}

}  // namespace

void handle_serve_connection(Socket connection, const HeadLimits& limits) {
  serve_exchange(std::move(connection), limits, serve_reply);
}

}  // namespace veltrane::server
