#pragma once

// The small HTTP/1.1 layer that both local servers share: one request per connection,
// read through a bounded, buffered reader, and one answer with "Connection: close".
// Everything here is plain POSIX sockets; no HTTP library is involved.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::server {

// An owned socket descriptor, closed when the object goes away. Move-only.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int descriptor) : descriptor_(descriptor) {}
  ~Socket();
  Socket(Socket&& other) noexcept : descriptor_(other.release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  [[nodiscard]] int get() const { return descriptor_; }
  [[nodiscard]] bool valid() const { return descriptor_ >= 0; }
  // Gives up ownership: the caller closes the descriptor.
  [[nodiscard]] int release() noexcept;
  void close() noexcept;

 private:
  int descriptor_ = -1;
};

// The text of a failed exchange, as "request failed: {}" prints it.
struct IoError {
  std::string text;
};

// "{system text} (os error {code})" for an error number.
[[nodiscard]] std::string system_error_text(int error_number);

// The bounds on one exchange: the size of its head, how long a read or a write may wait
// for progress, and how long the head and the body may take in all.
struct HeadLimits {
  std::size_t max_line = std::size_t{64} * 1024;
  std::size_t max_head = std::size_t{1024} * 1024;
  std::chrono::milliseconds timeout{30'000};
  // The whole head must arrive within this time of the exchange's start.
  std::chrono::milliseconds head_deadline{30'000};
  // The body must arrive within `body_deadline` of the end of the head, plus
  // `body_time_per_mib` for every MiB (1,048,576 bytes) that the head declares.
  std::chrono::milliseconds body_deadline{30'000};
  std::chrono::milliseconds body_time_per_mib{10'000};
};

// Status texts.
inline constexpr std::string_view STATUS_OK = "200 OK";
inline constexpr std::string_view STATUS_BAD_REQUEST = "400 Bad Request";
inline constexpr std::string_view STATUS_FORBIDDEN = "403 Forbidden";
inline constexpr std::string_view STATUS_NOT_FOUND = "404 Not Found";
inline constexpr std::string_view STATUS_TOO_LARGE = "413 Payload Too Large";
inline constexpr std::string_view STATUS_SERVER_ERROR = "500 Internal Server Error";

// Content types.
inline constexpr std::string_view TYPE_HTML = "text/html; charset=utf-8";
inline constexpr std::string_view TYPE_CSV = "text/csv; charset=utf-8";
inline constexpr std::string_view TYPE_JSON = "application/json";
inline constexpr std::string_view TYPE_TEXT = "text/plain";
inline constexpr std::string_view TYPE_ZIP = "application/zip";

inline constexpr std::string_view HEAD_TOO_LARGE = "request head too large";
inline constexpr std::string_view TIMED_OUT = "timed out";
// The body of the 403 answer to a request sent by a page of another site.
inline constexpr std::string_view CROSS_SITE_REFUSED = "requests from other sites are refused";

// Sets the socket's receive and send timeouts (SO_RCVTIMEO, SO_SNDTIMEO). False when the
// system refuses.
[[nodiscard]] bool set_socket_timeouts(int socket, std::chrono::milliseconds timeout);

// A buffered reader of 8192 bytes over one connection. The head and the body are read
// through it, so bytes that arrived together with the head are the body's first bytes.
// Borrows the socket; reads repeat after EINTR. A read waits for progress at most the
// socket's receive timeout, and never past the reader's deadline; either running out is
// the error "timed out".
class RequestReader {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t BUFFER_SIZE = 8192;
  // The first block of a body buffer; it doubles as bytes arrive.
  static constexpr std::size_t FIRST_BODY_BLOCK = std::size_t{64} * 1024;

  explicit RequestReader(int socket) : socket_(socket) {}

  // From now on, a read that would wait past `deadline` fails with "timed out", also
  // when bytes keep coming. Replaces an earlier deadline.
  void set_deadline(Clock::time_point deadline) { deadline_ = deadline; }

  enum class LineStatus : uint8_t { Read, TooLong, Failed };

  // Reads bytes up to and including the next LF, or to the end of the stream, into `line`
  // (cleared first; empty at the end of the stream). A line longer than `max_length`
  // bytes is TooLong; a failed read is Failed with `error` set.
  [[nodiscard]] LineStatus read_line(std::string& line, std::size_t max_length, IoError& error);

  // Reads exactly `count` bytes into `out`, bytes already buffered first. The stream
  // ending early is an error, like a failed read.
  [[nodiscard]] std::optional<IoError> read_exact(char* out, std::size_t count);

  // Reads exactly `count` bytes into `out` (replacing its contents) as `read_exact` does,
  // growing `out` as the bytes arrive: FIRST_BODY_BLOCK, then doubling up to `count`. So
  // a large declared length costs memory only once its bytes come. `out` is empty after
  // a failure.
  [[nodiscard]] std::optional<IoError> read_body(uint64_t count, std::string& out);

  // True once any byte has come from the connection.
  [[nodiscard]] bool received_any() const { return received_any_; }
  // True when the last failure was a timeout.
  [[nodiscard]] bool timed_out() const { return timed_out_; }

 private:
  // Fills the empty buffer: the number of bytes read, 0 at the end of the stream, or -1
  // with `error` set.
  long refill(IoError& error);

  int socket_;
  std::optional<Clock::time_point> deadline_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool received_any_ = false;
  bool timed_out_ = false;
  char buffer_[BUFFER_SIZE];
};

// What a request head says that the servers look at.
struct RequestHead {
  std::string method;
  std::string path;
  bool host_allowed = true;
  uint64_t content_length = 0;
  // The value of the last Origin line, when there is one.
  std::optional<std::string> origin;
  // Set by the exchange: the request names an origin other than the server's own. The
  // servers refuse it with 403 and do no work for it.
  bool cross_site = false;
};

enum class HeadStatus : uint8_t {
  Read,
  // The connection timed out before it sent its first byte: close it without a word.
  Idle,
  Failed,
};

struct HeadResult {
  HeadStatus status = HeadStatus::Read;
  RequestHead head;
  IoError error;
};

// Reads the request line and the header lines up to an empty line ("\n" or "\r\n") or the
// end of the stream. A connection that closes at once gives an empty method and path.
// A line over `limits.max_line` bytes, a head over `limits.max_head` bytes, a line that
// is not UTF-8 and a failed read end the exchange.
[[nodiscard]] HeadResult read_request_head(RequestReader& reader, const HeadLimits& limits);

// The method and path of a request line: its first and second words split on Unicode
// White_Space, each empty when absent. The line must be valid UTF-8.
void read_request_line(std::string_view line, RequestHead& head);

// Applies one header line (valid UTF-8, line end included or not) to the head: Host sets
// host_allowed, Content-Length sets content_length, Origin sets origin (names ASCII
// case-blind, a later line replacing an earlier one); a line without ":" and other names
// change nothing.
void apply_header_line(std::string_view line, RequestHead& head);

// True when the Host value names this machine: its text before the last ":" (or the
// whole value) is exactly "127.0.0.1", "localhost" or "[::1]".
[[nodiscard]] bool host_is_local(std::string_view value);

// True when an Origin value is the server's own origin on `port`: exactly
// "http://127.0.0.1:{port}", "http://localhost:{port}" or "http://[::1]:{port}".
[[nodiscard]] bool origin_is_own(std::string_view origin, uint16_t port);

// The local port of a connected TCP socket; none for other sockets or when the system
// cannot tell.
[[nodiscard]] std::optional<uint16_t> local_port(int socket);

// A Content-Length value: an optional "+" and ASCII digits fitting 64 bits; anything else
// gives 0.
[[nodiscard]] uint64_t read_content_length(std::string_view value);

// `text` without Unicode White_Space at either end. `text` must be valid UTF-8.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

// The Lab's answer head: status, type, length, the attachment when given, no-store,
// nosniff, the Content-Security-Policy and "Connection: close", then the empty line.
[[nodiscard]] std::string lab_answer_head(std::string_view status, std::string_view content_type,
                                          std::size_t body_length,
                                          std::optional<std::string_view> attachment);

// The test page's answer head: status, type, length, no-store and "Connection: close",
// then the empty line.
[[nodiscard]] std::string serve_answer_head(std::string_view status, std::string_view content_type,
                                            std::size_t body_length);

// Sends all of `bytes`: repeats after EINTR, never raises SIGPIPE; a send that accepts
// nothing, or makes no progress within the send timeout, is an error.
[[nodiscard]] std::optional<IoError> send_all(int socket, std::string_view bytes);

// Sends the head, then the whole body.
[[nodiscard]] std::optional<IoError> send_answer(int socket, std::string_view head,
                                                 std::string_view body);

// Ends an answered exchange: no more writes, then the client's unread bytes are read and
// dropped for at most `linger` (so that the kernel does not reset the connection under
// an answer the client has not read yet), then the socket is closed.
void finish_connection(Socket& socket,
                       std::chrono::milliseconds linger = std::chrono::milliseconds(1000));

// Writes "request failed: {text}\n" to standard error in one piece.
void report_failed_request(std::string_view text);

// An answer ready to send: its head (empty line included) and its body.
struct Reply {
  std::string head;
  std::string body;
};

// Answers a request whose head has been read; none, with `error` set, when reading the
// body failed.
using AnswerRequest = std::optional<Reply> (*)(const RequestHead& head, RequestReader& reader,
                                               IoError& error);

// One whole exchange on an accepted connection: the timeouts set, the head read within
// the head deadline (an idle connection is dropped unanswered), the body deadline set from
// the declared length, `cross_site` set from the Origin and the connection's own port, the
// answer built by `answer` and sent, the connection finished. Failures go to standard
// error as "request failed: {}".
void serve_exchange(Socket connection, const HeadLimits& limits, AnswerRequest answer);

// Writes `line` to standard error in one write, retrying after EINTR; a failure is dropped.
void write_error_line(std::string_view line);

}  // namespace veltrane::server
