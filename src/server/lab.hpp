#pragma once

// The Lab: its page, its five sample scripts, the analysis of one script and the report
// over several, answered on 127.0.0.1 to requests that name this machine as their host.

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/render.hpp"
#include "report/report_data.hpp"
#include "server/http.hpp"
#include "server/json_body.hpp"

namespace veltrane::server {

// Bodies larger than this are refused unread (ExchangeLimits says what memory that allows).
inline constexpr uint64_t LAB_MAX_BODY = uint64_t{64} * 1024 * 1024;
// Sources larger than this are refused by /api/parse.
inline constexpr uint64_t LAB_MAX_SOURCE = uint64_t{20} * 1024 * 1024;

inline constexpr std::string_view LAB_BODY_TOO_LARGE = "larger than 64 MiB";
inline constexpr std::string_view LAB_SOURCE_TOO_LARGE =
    "a file larger than 20 MiB: use veltrane report for it";
inline constexpr std::string_view LAB_WRONG_HOST = "Veltrane Lab answers on 127.0.0.1 only";
inline constexpr std::string_view NO_SUCH_REPORT_FILE = "no such report file";

struct LabSample {
  std::string_view title;
  std::string_view text;
};

// The five built-in scripts, in the order the page lists them.
[[nodiscard]] std::span<const LabSample> lab_samples();

// The Lab's page.
[[nodiscard]] std::string_view lab_page();

// [{"name": title, "text": script}, ...] in the table's order.
[[nodiscard]] nlohmann::json samples_json();

// The report inputs of the elements of "files", in order: each element's "name" (or
// "input.sql") and "text" (or empty), the texts moved out of the elements.
[[nodiscard]] std::vector<report::SourceInput> report_inputs(std::vector<ListElement> files);

// One answer of the Lab.
struct LabAnswer {
  std::string_view status;
  std::string_view content_type;
  std::string body;
  std::optional<std::string> attachment;
};

// The answer to a request whose head has been read and passed the exchange's checks; the
// body, when the route needs one, comes from `reader`. None, with `error` set, when
// reading the body failed.
[[nodiscard]] std::optional<LabAnswer> answer_lab_request(const RequestHead& head,
                                                          RequestReader& reader, IoError& error);

// One whole exchange on an accepted connection: read, check the Host and the Origin,
// route, answer, close. Failures go to standard error as "request failed: {}".
void handle_lab_connection(Socket connection, const ExchangeLimits& limits = ExchangeLimits{});

}  // namespace veltrane::server
