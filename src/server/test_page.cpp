#include "server/test_page.hpp"

#include <array>
#include <chrono>
#include <optional>
#include <utility>

#include "api/analysis_options.hpp"
#include "api/analyze_json.hpp"
#include "lexer/oracle_version.hpp"
#include "server/json_body.hpp"
#include "server/test_page_html.hpp"
#include "syntax/json_text.hpp"

namespace veltrane::server {

namespace {

// The members of an analysis request, and their positions.
constexpr std::array<std::string_view, 3> ANALYZE_MEMBERS = {"source", "version", "ccflags"};
constexpr std::size_t ANALYZE_SOURCE = 0;
constexpr std::size_t ANALYZE_VERSION = 1;
constexpr std::size_t ANALYZE_CCFLAGS = 2;

ServeAnswer not_found() {
  return ServeAnswer{STATUS_NOT_FOUND, TYPE_TEXT, std::string(NOT_FOUND_TEXT)};
}

// POST /api/analyze {"source", "version", "ccflags"}: the driver's result with "micros".
ServeAnswer answer_analyze(const BodyMembers& body) {
  const auto started = std::chrono::steady_clock::now();
  const std::string_view source = text_member(body, ANALYZE_SOURCE).value_or(std::string_view());
  const api::AnalysisOptions options =
      analysis_options(text_member(body, ANALYZE_VERSION).value_or(std::string_view()),
                       text_member(body, ANALYZE_CCFLAGS).value_or(std::string_view()));
  std::string result;
  api::analyze_json_into(source, options, result, [started](syntax::JsonWriter& writer) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
    writer.member("micros", elapsed > 0 ? static_cast<uint64_t>(elapsed) / 1000 : 0);
  });
  return ServeAnswer{STATUS_OK, TYPE_JSON, std::move(result)};
}

}  // namespace

std::string_view test_page() { return TEST_PAGE; }

api::AnalysisOptions analysis_options(std::string_view version, std::string_view ccflags) {
  api::AnalysisOptions options;
  if (const std::optional<lexer::OracleVersion> named = lexer::parse_oracle_version(version)) {
    options.version = *named;
  }
  options.ccflags = api::read_ccflags(ccflags);
  return options;
}

std::optional<ServeAnswer> answer_serve_request(const RequestHead& head, RequestReader& reader,
                                                IoError& error) {
  if (head.method == "GET" && (head.path == "/" || head.path == "/index.html")) {
    return ServeAnswer{STATUS_OK, TYPE_HTML, std::string(test_page())};
  }
  if (head.method != "POST" || head.path != "/api/analyze") return not_found();
  JsonBody body = read_json_body(head.content_length, reader, SERVE_MAX_BODY,
                                 WantedMembers{ANALYZE_MEMBERS, std::nullopt});
  if (body.status == BodyStatus::TooLarge) {
    return ServeAnswer{STATUS_TOO_LARGE, TYPE_TEXT, std::string(SERVE_BODY_TOO_LARGE)};
  }
  if (body.status == BodyStatus::Failed) {
    error = std::move(body.error);
    return std::nullopt;
  }
  return answer_analyze(body.members);
}

namespace {

std::optional<Reply> serve_reply(const RequestHead& head, RequestReader& reader, IoError& error) {
  std::optional<ServeAnswer> answer = answer_serve_request(head, reader, error);
  if (!answer.has_value()) return std::nullopt;
  std::string answer_head =
      serve_answer_head(answer->status, answer->content_type, answer->body.size());
  return Reply{std::move(answer_head), std::move(answer->body)};
}

std::string serve_text_head(std::string_view status, std::size_t body_length) {
  return serve_answer_head(status, TYPE_TEXT, body_length);
}

}  // namespace

void handle_serve_connection(Socket connection, const ExchangeLimits& limits) {
  serve_exchange(
      std::move(connection), limits,
      Responder{serve_reply, serve_text_head, std::nullopt, serve_out_of_memory_answer()});
}

}  // namespace veltrane::server
