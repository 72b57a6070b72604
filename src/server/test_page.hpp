#pragma once

// The test page: one page and the full analysis, on 127.0.0.1.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "api/analysis_options.hpp"
#include "server/http.hpp"

namespace veltrane::server {

// Bodies larger than this are refused unread (ExchangeLimits says what memory that allows).
inline constexpr uint64_t SERVE_MAX_BODY = uint64_t{50} * 1024 * 1024;
inline constexpr std::string_view SERVE_BODY_TOO_LARGE = "the source is larger than 50 MiB";

// The test page.
[[nodiscard]] std::string_view test_page();

// The analysis options of the request's "version" and "ccflags" texts (empty when absent),
// read as the options text reads them: a version that names none gives the default.
[[nodiscard]] api::AnalysisOptions analysis_options(std::string_view version,
                                                    std::string_view ccflags);

// One answer of the test page.
struct ServeAnswer {
  std::string_view status;
  std::string_view content_type;
  std::string body;
};

// The answer to a request whose head has been read; none, with `error` set, when reading
// the body failed.
[[nodiscard]] std::optional<ServeAnswer> answer_serve_request(const RequestHead& head,
                                                              RequestReader& reader,
                                                              IoError& error);

// One whole exchange on an accepted connection: read, route, answer, close. There is no
// Host check; a request from a page of another site gets 403. Failures go to standard
// error as "request failed: {}".
void handle_serve_connection(Socket connection, const ExchangeLimits& limits = ExchangeLimits{});

}  // namespace veltrane::server
