#pragma once

// The test page: one page and the full analysis, on 127.0.0.1.

#include <cstdint>
#include <string>
#include <string_view>

#include "server/http.hpp"

namespace veltrane::server {

// Bodies larger than this are refused unread.
inline constexpr uint64_t SERVE_MAX_BODY = uint64_t{50} * 1024 * 1024;
inline constexpr std::string_view SERVE_BODY_TOO_LARGE = "the source is larger than 50 MB";

// The test page.
[[nodiscard]] std::string_view test_page();

// The analysis result text with `"micros":{micros},` put before its final "version" key,
// where a sorted object has it. A text without that key comes back unchanged.
[[nodiscard]] std::string with_micros(std::string result, uint64_t micros);

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
void handle_serve_connection(Socket connection, const HeadLimits& limits = HeadLimits{});

}  // namespace veltrane::server
