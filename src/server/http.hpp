#pragma once

// The small HTTP/1.1 layer that both local servers share: one request per connection,
// read through a bounded, buffered reader, and one answer with "Connection: close".
// Everything here is plain POSIX sockets; no HTTP library is involved.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
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

using Clock = std::chrono::steady_clock;

inline constexpr uint64_t MEBIBYTE = uint64_t{1024} * 1024;

// The limits of the servers' exchanges, and the memory and time they let clients take.
//
// Memory: at most `max_exchanges` exchanges run at once, each with a body of at most its
// route's limit (64 MiB for the Lab, 50 MiB for the test page). Reading a body costs its
// bytes and the members the route keeps (at most as many again); the analysis then takes
// up to about 200 bytes per source byte for /api/parse and 350 for /api/report, answer
// included (a script of empty statements; real scripts take 5 to 120). So the worst case
// is 64 exchanges x 64 MiB x 350, about 1.4 TiB: no machine has it, and an allocation
// that fails ends only its own exchange, answered 503 (see serve_exchange), while the
// others go on.
//
// Time: a head must be complete within `head_deadline` of the exchange's start, or the
// connection is closed. The exchange's transfers (the body received, then the answer
// sent) must be done within `first_transfer_time` of its start plus `time_per_mib` for
// every MiB moved so far: received from the client, or taken by it from the answer (bytes
// still queued on this side do not count). The server's own work between the body and
// the answer is not counted. Any read or write also fails after `progress_timeout`
// without progress. With the defaults, a client that moves next to nothing (an idle one,
// one that trickles its head or body, one that takes its answer a few bytes at a time)
// holds its place about 30 s (plus the server's work and a linger of at most 1 s), so
// while 64 of them run a new connection is served within about 31 s. A client that moves
// r bytes a second holds its place at most 30 s / (1 - r / 104,858), 50 s at 40 KiB/s,
// and one that moves a MiB in 10 s or less is never cut off. None holds its place longer
// than 30 s plus 10 s per MiB moved and the server's work (for a body of 64 MiB, 670 s:
// what a client at 100 KiB/s needs for it, and 15 s more).
struct ExchangeLimits {
  // Exchanges that run at once (at least 1). Further connections wait in the listen queue
  // until an exchange ends.
  std::size_t max_exchanges = 64;
  // The longest line of a head, and the longest head.
  std::size_t max_line = std::size_t{64} * 1024;
  std::size_t max_head = std::size_t{1024} * 1024;
  // How long a read or a write may wait without progress.
  std::chrono::milliseconds progress_timeout{30'000};
  // The whole head must arrive within this time of the exchange's start.
  std::chrono::milliseconds head_deadline{30'000};
  // The time every exchange has for its transfers, and what each MiB moved adds to it.
  std::chrono::milliseconds first_transfer_time{30'000};
  std::chrono::milliseconds time_per_mib{10'000};
};

// The time the client side of one exchange may take (see ExchangeLimits): it runs out at
// `first_transfer_time` after the start, plus `time_per_mib` for every MiB moved, plus
// the server's own time.
class ExchangeBudget {
 public:
  ExchangeBudget(Clock::time_point start, const ExchangeLimits& limits);

  // `bytes` more have moved between the client and the server.
  void add_moved(uint64_t bytes) { moved_ += bytes; }
  // The server worked for `time` (not the client's).
  void add_server_time(Clock::duration time) { server_time_ += time; }

  [[nodiscard]] Clock::time_point due() const;

 private:
  Clock::time_point start_;
  std::chrono::milliseconds first_;
  std::chrono::milliseconds per_mib_;
  uint64_t moved_ = 0;
  Clock::duration server_time_{};
};

// Status texts.
inline constexpr std::string_view STATUS_OK = "200 OK";
inline constexpr std::string_view STATUS_BAD_REQUEST = "400 Bad Request";
inline constexpr std::string_view STATUS_FORBIDDEN = "403 Forbidden";
inline constexpr std::string_view STATUS_NOT_FOUND = "404 Not Found";
inline constexpr std::string_view STATUS_TOO_LARGE = "413 Payload Too Large";
inline constexpr std::string_view STATUS_SERVER_ERROR = "500 Internal Server Error";
inline constexpr std::string_view STATUS_UNAVAILABLE = "503 Service Unavailable";

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
// The body of the 503 answer to a request whose work ran out of memory.
inline constexpr std::string_view OUT_OF_MEMORY_BODY = R"({"error":"out of memory"})";
// The body of both servers' 404 answer.
inline constexpr std::string_view NOT_FOUND_TEXT = "not found";

// A buffered reader of 8192 bytes over one connection. The head and the body are read
// through it, so bytes that arrived together with the head are the body's first bytes.
// Borrows the socket, and the budget when given, which learns of every byte received;
// reads repeat after EINTR. A read waits for progress at most `progress_timeout`, and
// never past the reader's deadline or the budget's; any of them running out is the error
// "timed out".
class RequestReader {
 public:
  static constexpr std::size_t BUFFER_SIZE = 8192;
  // The first block of a body buffer; it doubles as bytes arrive.
  static constexpr std::size_t FIRST_BODY_BLOCK = std::size_t{64} * 1024;

  RequestReader(int socket, std::chrono::milliseconds progress_timeout,
                ExchangeBudget* budget = nullptr)
      : socket_(socket), progress_timeout_(progress_timeout), budget_(budget) {}

  // From now on, a read that would wait past `deadline` fails with "timed out", also
  // when bytes keep coming; none lifts it. Replaces an earlier deadline.
  void set_deadline(std::optional<Clock::time_point> deadline) { deadline_ = deadline; }

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
  // When the last read from the connection ended (the reader's making, before any).
  [[nodiscard]] Clock::time_point last_read_end() const { return last_read_end_; }

 private:
  // Fills the empty buffer: the number of bytes read, 0 at the end of the stream, or -1
  // with `error` set.
  long refill(IoError& error);

  int socket_;
  std::chrono::milliseconds progress_timeout_;
  ExchangeBudget* budget_;
  std::optional<Clock::time_point> deadline_;
  Clock::time_point last_read_end_ = Clock::now();
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
[[nodiscard]] HeadResult read_request_head(RequestReader& reader, const ExchangeLimits& limits);

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

// The Lab's answer head: status, type, length, the attachment when given, no-store,
// nosniff, the Content-Security-Policy and "Connection: close", then the empty line.
[[nodiscard]] std::string lab_answer_head(std::string_view status, std::string_view content_type,
                                          std::size_t body_length,
                                          std::optional<std::string_view> attachment);

// The test page's answer head: status, type, length, no-store and "Connection: close",
// then the empty line.
[[nodiscard]] std::string serve_answer_head(std::string_view status, std::string_view content_type,
                                            std::size_t body_length);

// The whole answers, head and body, of the Lab and of the test page to a request that ran
// out of memory: 503 with OUT_OF_MEMORY_BODY as JSON, heads as lab_answer_head and
// serve_answer_head write them. Made at compile time, so that sending one allocates nothing.
[[nodiscard]] std::string_view lab_out_of_memory_answer() noexcept;
[[nodiscard]] std::string_view serve_out_of_memory_answer() noexcept;

// Sends all of `bytes`: repeats after EINTR, never raises SIGPIPE; a send that accepts
// nothing is an error, and so is waiting `progress_timeout` for room, or waiting past the
// budget's due time when a budget is given. The budget learns of the bytes the peer has
// taken (sent bytes still queued on this side do not count, when the system tells).
[[nodiscard]] std::optional<IoError> send_all(int socket, std::string_view bytes,
                                              std::chrono::milliseconds progress_timeout,
                                              ExchangeBudget* budget = nullptr);

// Ends an answered exchange: no more writes, then the client's unread bytes are read and
// dropped for at most `linger` (so that the kernel does not reset the connection under
// an answer the client has not read yet), then the socket is closed.
void finish_connection(Socket& socket,
                       std::chrono::milliseconds linger = std::chrono::milliseconds(1000));

// Writes "request failed: {text}\n" to standard error in one piece, allocating nothing.
void report_failed_request(std::string_view text);

// An answer ready to send: its head (empty line included) and its body.
struct Reply {
  std::string head;
  std::string body;
};

// How one server answers the requests that its exchanges let through.
struct Responder {
  // Answers a request whose head has been read; none, with `error` set, when reading the
  // body failed.
  std::optional<Reply> (*answer)(const RequestHead& head, RequestReader& reader,
                                 IoError& error) = nullptr;
  // The head of a plain-text answer with `status` and a body of `body_length` bytes.
  std::string (*text_head)(std::string_view status, std::size_t body_length) = nullptr;
  // When set, the Host check is made, and a request that fails it gets 403 with this text.
  std::optional<std::string_view> wrong_host;
  // The whole answer (head and body) to a request that ran out of memory.
  std::string_view out_of_memory_answer;
};

// The 403 answer that an exchange gives instead of its server's, or none: for a Host that
// names another machine (when `responder` checks it, first), or an Origin other than the
// server's own on `port` (no port known: any Origin).
[[nodiscard]] std::optional<std::string_view> refusal(const RequestHead& head,
                                                      const Responder& responder,
                                                      std::optional<uint16_t> port);

// One whole exchange on an accepted connection: the head read within the head deadline
// (an idle connection is dropped unanswered), the refusals made, the answer built by the
// responder under the exchange's budget and sent, the connection finished. Failures go
// to standard error as "request failed: {}". When memory runs out before the answer is
// built (the head and the body read included), the responder's out-of-memory answer is
// sent instead, allocating nothing.
void serve_exchange(Socket connection, const ExchangeLimits& limits, const Responder& responder);

}  // namespace veltrane::server
