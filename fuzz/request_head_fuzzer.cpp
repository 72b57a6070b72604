// The request head reader over any bytes sent on a connection, and what the servers do with
// a head up to the route: the refusals, then the Lab's and the test page's routes that need
// no analysis, or the reading of the body that the analysis routes take.
//
// The bytes are cut into lines as the reader must cut them: the head is the first line and
// the lines after it up to an empty one ("\n" or "\r\n") or the end of the stream. The head
// must be read exactly when every line fits the limits and is UTF-8, its request line's words
// must hold no white space, and the bytes after the head must be what the reader hands on.

#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_checks.hpp"
#include "server/http.hpp"
#include "server/lab.hpp"
#include "server/test_page.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/unicode.hpp"

namespace {

using namespace veltrane;
using namespace veltrane::server;

// Small limits, so that short inputs reach them; inputs are cut to fit the socket's buffer.
constexpr std::size_t LONGEST_INPUT = std::size_t{32} * 1024;
constexpr std::size_t MAX_LINE = 200;
constexpr std::size_t MAX_HEAD = 1000;
constexpr uint16_t PORT = 8080;

// What the reader must make of `bytes`: the head's length, or none when it must fail, with
// the text it must fail with.
struct ExpectedHead {
  std::optional<std::size_t> length;
  std::string_view error;
};

ExpectedHead expected_head(std::string_view bytes) {
  std::size_t offset = 0;
  bool first = true;
  for (;;) {
    const std::size_t line_feed = bytes.find('\n', offset);
    const std::size_t end = line_feed == std::string_view::npos ? bytes.size() : line_feed + 1;
    const std::string_view line = bytes.substr(offset, end - offset);
    if (line.size() > std::min(MAX_LINE, MAX_HEAD - offset)) return {std::nullopt, HEAD_TOO_LARGE};
    if (!syntax::is_valid_utf8(line)) return {std::nullopt, "request head is not valid UTF-8"};
    offset = end;
    if (!first && (line == "\n" || line == "\r\n")) return {offset, {}};
    first = false;
    if (line.empty() || line.back() != '\n') return {offset, {}};
  }
}

bool holds_white_space(std::string_view word) {
  for (std::size_t offset = 0; offset < word.size();) {
    const syntax::DecodedChar decoded = syntax::decode_utf8(word, offset);
    if (decoded.length == 0) return true;
    if (decoded.code_point >= 0 &&
        syntax::is_white_space(static_cast<char32_t>(decoded.code_point))) {
      return true;
    }
    offset += decoded.length;
  }
  return false;
}

// The bytes the reader still holds, up to the end of the stream.
std::string rest_of(RequestReader& reader, std::size_t count) {
  std::string rest;
  if (reader.read_body(count, rest).has_value()) fuzz::fail("the bytes after the head ended early");
  char extra = 0;
  if (!reader.read_exact(&extra, 1).has_value()) fuzz::fail("a byte after the end of the stream");
  return rest;
}

// The routes that read a body and analyse it.
bool is_analysis(const RequestHead& head) {
  return head.method == "POST" &&
         (head.path == "/api/parse" || head.path == "/api/report" || head.path == "/api/analyze");
}

// `rest`: the bytes after the head.
void check_route(const RequestHead& head, RequestReader& reader, std::string_view rest) {
  const Responder lab{nullptr, nullptr, LAB_WRONG_HOST, lab_out_of_memory_answer()};
  for (const std::optional<uint16_t> port :
       {std::optional<uint16_t>(PORT), std::optional<uint16_t>()}) {
    const std::optional<std::string_view> refused = refusal(head, lab, port);
    if (refused.has_value() && *refused != LAB_WRONG_HOST && *refused != CROSS_SITE_REFUSED) {
      fuzz::fail("a refusal with another text");
    }
    if (refused.has_value() && head.host_allowed && !head.origin.has_value()) {
      fuzz::fail("a refusal of a local request without an Origin");
    }
  }
  if (is_analysis(head)) {
    // The body the analysis routes would be given.
    constexpr std::array<std::string_view, 1> SOURCE = {"source"};
    const JsonBody body =
        read_json_body(head.content_length, reader, LAB_MAX_BODY, WantedMembers{SOURCE, "files"});
    const bool fits = head.content_length <= LAB_MAX_BODY;
    const bool arrives = head.content_length <= rest.size();
    const BodyStatus expected =
        !fits ? BodyStatus::TooLarge : (arrives ? BodyStatus::Read : BodyStatus::Failed);
    if (body.status != expected) fuzz::fail("the body read as", static_cast<uint64_t>(body.status));
    return;
  }
  IoError error;
  const std::optional<LabAnswer> lab_answer = answer_lab_request(head, reader, error);
  const std::optional<ServeAnswer> serve_answer = answer_serve_request(head, reader, error);
  if (!lab_answer.has_value() || !serve_answer.has_value())
    fuzz::fail("a route without a body failed");
  if (lab_answer->status != STATUS_OK && lab_answer->status != STATUS_NOT_FOUND) {
    fuzz::fail("a Lab route answered neither 200 nor 404");
  }
  if (serve_answer->status != STATUS_OK && serve_answer->status != STATUS_NOT_FOUND) {
    fuzz::fail("a test page route answered neither 200 nor 404");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::run_checked([&] {
    const std::string_view bytes(reinterpret_cast<const char*>(data),
                                 std::min(size, LONGEST_INPUT));
    std::array<int, 2> ends{};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0) {
      fuzz::fail("no socket pair");
    }
    const Socket client(ends[0]);
    const Socket server(ends[1]);
    if (!bytes.empty() &&
        ::write(client.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      fuzz::fail("the input did not fit the socket", bytes.size());
    }
    ::shutdown(client.get(), SHUT_WR);

    ExchangeLimits limits;
    limits.max_line = MAX_LINE;
    limits.max_head = MAX_HEAD;
    RequestReader reader(server.get(), std::chrono::milliseconds(5'000));
    const HeadResult result = read_request_head(reader, limits);
    const ExpectedHead expected = expected_head(bytes);
    if (result.status == HeadStatus::Idle) fuzz::fail("a head that arrived read as idle");
    if (!expected.length.has_value()) {
      if (result.status != HeadStatus::Failed) fuzz::fail("a head over the limits was read");
      if (result.error.text != expected.error) fuzz::fail("a head failed with another text");
      return;
    }
    if (result.status != HeadStatus::Read) fuzz::fail("a head within the limits failed");
    const RequestHead& head = result.head;
    if (holds_white_space(head.method) || holds_white_space(head.path)) {
      fuzz::fail("a request line word holds white space");
    }
    if (head.method.empty() && !head.path.empty()) fuzz::fail("a path without a method");
    const std::string_view after = bytes.substr(*expected.length);
    // The other routes read no body, so the reader's bytes can be checked first.
    if (!is_analysis(head) && rest_of(reader, after.size()) != after) {
      fuzz::fail("the bytes after the head differ");
    }
    check_route(head, reader, after);
  });
  return 0;
}
