#include "server/http.hpp"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>

#include "syntax/face_guard.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/unicode.hpp"
#include "syntax/write_all.hpp"

namespace veltrane::server {

namespace {

constexpr std::string_view CONTENT_SECURITY_POLICY =
    "default-src 'self'; style-src 'self' 'unsafe-inline'; script-src 'self' "
    "'unsafe-inline'; img-src 'self' data: blob:";

// A text joined from pieces at compile time.
template <std::size_t Size>
struct FixedText {
  std::array<char, Size> bytes{};
};

template <std::size_t Count>
constexpr std::size_t joined_size(const std::array<std::string_view, Count>& pieces) {
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  return size;
}

template <std::size_t Size, std::size_t Count>
constexpr FixedText<Size> join_fixed(const std::array<std::string_view, Count>& pieces) {
  FixedText<Size> text;
  std::size_t used = 0;
  for (const std::string_view piece : pieces) {
    for (const char c : piece) text.bytes[used++] = c;
  }
  return text;
}

// The Content-Length of OUT_OF_MEMORY_BODY.
constexpr std::string_view OUT_OF_MEMORY_LENGTH = "25";
static_assert(OUT_OF_MEMORY_BODY.size() == 25);

// The pieces of a 503 answer with OUT_OF_MEMORY_BODY: the status line and the body's type
// and length, then `headers` (the first starting with the CRLF that ends the length's line,
// the last being the blank line's CRLF), then the body.
template <std::size_t Count>
constexpr std::array<std::string_view, Count + 7> out_of_memory_pieces(
    const std::array<std::string_view, Count>& headers) {
  std::array<std::string_view, Count + 7> pieces{
      "HTTP/1.1 ", STATUS_UNAVAILABLE,     "\r\nContent-Type: ",
      TYPE_JSON,   "\r\nContent-Length: ", OUT_OF_MEMORY_LENGTH};
  for (std::size_t at = 0; at < Count; ++at) pieces[6 + at] = headers[at];
  pieces[Count + 6] = OUT_OF_MEMORY_BODY;
  return pieces;
}

constexpr auto LAB_OUT_OF_MEMORY_PIECES = out_of_memory_pieces(std::array<std::string_view, 6>{
    "\r\nCache-Control: no-store\r\n", "X-Content-Type-Options: nosniff\r\n",
    "Content-Security-Policy: ", CONTENT_SECURITY_POLICY, "\r\nConnection: close\r\n", "\r\n"});
constexpr FixedText<joined_size(LAB_OUT_OF_MEMORY_PIECES)> LAB_OUT_OF_MEMORY =
    join_fixed<joined_size(LAB_OUT_OF_MEMORY_PIECES)>(LAB_OUT_OF_MEMORY_PIECES);

constexpr auto SERVE_OUT_OF_MEMORY_PIECES = out_of_memory_pieces(std::array<std::string_view, 3>{
    "\r\nCache-Control: no-store\r\n", "Connection: close\r\n", "\r\n"});
constexpr FixedText<joined_size(SERVE_OUT_OF_MEMORY_PIECES)> SERVE_OUT_OF_MEMORY =
    join_fixed<joined_size(SERVE_OUT_OF_MEMORY_PIECES)>(SERVE_OUT_OF_MEMORY_PIECES);

constexpr std::string_view HEAD_NOT_UTF8 = "request head is not valid UTF-8";
constexpr std::string_view BODY_ENDED_EARLY = "request body ended early";
constexpr std::string_view SEND_ACCEPTED_NOTHING = "the connection accepted no bytes";

// Moved bytes beyond this earn no more time (no exchange moves this much), so that the
// arithmetic cannot overflow.
constexpr uint64_t LONGEST_TIMED_TRANSFER = uint64_t{1} << 40;

bool is_timeout(int error_number) { return error_number == EAGAIN || error_number == EWOULDBLOCK; }

// The milliseconds from now until the earliest of `progress_due` and the two optional
// due times, rounded up; 0 or less when one has passed.
long long ms_until(Clock::time_point progress_due, std::optional<Clock::time_point> deadline,
                   const ExchangeBudget* budget) {
  Clock::time_point due = progress_due;
  if (deadline.has_value()) due = std::min(due, *deadline);
  if (budget != nullptr) due = std::min(due, budget->due());
  return std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
}

// Waits until `socket` is ready for `events` or `wait_ms` (above 0) have passed.
// 1 when ready, 0 on timeout, -1 on failure with errno set (EINTR included).
int wait_for(int socket, short events, long long wait_ms) {
  pollfd waiting{socket, events, 0};
  return ::poll(&waiting, 1, static_cast<int>(std::min<long long>(wait_ms, INT_MAX)));
}

// The bytes sent on `socket` that its peer has not taken yet; 0 when the system cannot
// tell, so that every sent byte counts as taken.
uint64_t bytes_not_taken(int socket) {
  int queued = 0;
  if (::ioctl(socket, SIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<uint64_t>(queued);
}

// The byte length of the White_Space character at `offset`, or 0 when another character
// (or none) stands there.
std::size_t white_space_at(std::string_view text, std::size_t offset) {
  if (offset >= text.size()) return 0;
  const syntax::DecodedChar decoded = syntax::decode_utf8(text, offset);
  if (decoded.code_point < 0) return 0;
  return syntax::is_white_space(static_cast<char32_t>(decoded.code_point)) ? decoded.length : 0;
}

// The length of the character that starts at `offset` (1 for a stray byte).
std::size_t char_length_at(std::string_view text, std::size_t offset) {
  const syntax::DecodedChar decoded = syntax::decode_utf8(text, offset);
  return decoded.length == 0 ? 1 : decoded.length;
}

// The next word at or after `offset`, which moves past it.
std::string_view next_word(std::string_view text, std::size_t& offset) {
  while (offset < text.size()) {
    const std::size_t blank = white_space_at(text, offset);
    if (blank == 0) break;
    offset += blank;
  }
  const std::size_t start = offset;
  while (offset < text.size() && white_space_at(text, offset) == 0) {
    offset += char_length_at(text, offset);
  }
  return text.substr(start, offset - start);
}

}  // namespace

Socket::~Socket() { close(); }

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    descriptor_ = other.release();
  }
  return *this;
}

int Socket::release() noexcept {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  return descriptor;
}

void Socket::close() noexcept {
  if (descriptor_ >= 0) {
    // A close interrupted by a signal has still released the descriptor on Linux.
    (void)::close(descriptor_);
    descriptor_ = -1;
  }
}

std::string system_error_text(int error_number) {
  std::string text;
  const char* description = ::strerrordesc_np(error_number);
  if (description != nullptr) {
    text.append(description);
  } else {
    text.append("Unknown error ");
    text.append(std::to_string(error_number));
  }
  text.append(" (os error ");
  text.append(std::to_string(error_number));
  text.push_back(')');
  return text;
}

ExchangeBudget::ExchangeBudget(Clock::time_point start, const ExchangeLimits& limits)
    : start_(start), first_(limits.first_transfer_time), per_mib_(limits.time_per_mib) {}

Clock::time_point ExchangeBudget::due() const {
  const uint64_t moved = std::min(moved_, LONGEST_TIMED_TRANSFER);
  const auto per_mib_us =
      static_cast<uint64_t>(std::max<long long>(std::chrono::microseconds(per_mib_).count(), 0));
  // Whole MiB (at most 2^20) and the rest (below 2^20 bytes) apart: with any time per MiB
  // below 2^42 microseconds (50 days), neither product overflows.
  const auto earned = std::chrono::microseconds(static_cast<long long>(
      moved / MEBIBYTE * per_mib_us + moved % MEBIBYTE * per_mib_us / MEBIBYTE));
  return start_ + first_ + server_time_ + earned;
}

long RequestReader::refill(IoError& error) {
  begin_ = 0;
  end_ = 0;
  const Clock::time_point progress_due = Clock::now() + progress_timeout_;
  for (;;) {
    const long long wait_ms = ms_until(progress_due, deadline_, budget_);
    if (wait_ms <= 0) break;
    const int ready = wait_for(socket_, POLLIN, wait_ms);
    if (ready == 0) continue;
    if (ready < 0) {
      if (errno == EINTR) continue;
      error.text = system_error_text(errno);
      return -1;
    }
    const ssize_t got = ::recv(socket_, buffer_, BUFFER_SIZE, MSG_DONTWAIT);
    if (got >= 0) {
      last_read_end_ = Clock::now();
      end_ = static_cast<std::size_t>(got);
      if (got > 0) {
        received_any_ = true;
        if (budget_ != nullptr) budget_->add_moved(static_cast<uint64_t>(got));
      }
      return static_cast<long>(got);
    }
    const int error_number = errno;
    if (error_number == EINTR || is_timeout(error_number)) continue;
    error.text = system_error_text(error_number);
    return -1;
  }
  timed_out_ = true;
  error.text = TIMED_OUT;
  return -1;
}

RequestReader::LineStatus RequestReader::read_line(std::string& line, std::size_t max_length,
                                                   IoError& error) {
  line.clear();
  for (;;) {
    if (begin_ == end_) {
      const long got = refill(error);
      if (got < 0) return LineStatus::Failed;
      if (got == 0) return LineStatus::Read;
    }
    const char* start = buffer_ + begin_;
    const std::size_t available = end_ - begin_;
    const void* found = std::memchr(start, '\n', available);
    const std::size_t take =
        found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - start) + 1
                         : available;
    if (line.size() + take > max_length) return LineStatus::TooLong;
    line.append(start, take);
    begin_ += take;
    if (found != nullptr) return LineStatus::Read;
  }
}

std::optional<IoError> RequestReader::read_exact(char* out, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    if (begin_ == end_) {
      IoError error;
      const long got = refill(error);
      if (got < 0) return error;
      if (got == 0) return IoError{std::string(BODY_ENDED_EARLY)};
    }
    const std::size_t take = std::min(end_ - begin_, count - done);
    std::memcpy(out + done, buffer_ + begin_, take);
    begin_ += take;
    done += take;
  }
  return std::nullopt;
}

std::optional<IoError> RequestReader::read_body(uint64_t count, std::string& out) {
  out.clear();
  while (out.size() < count) {
    const std::size_t have = out.size();
    const auto next =
        static_cast<std::size_t>(std::min<uint64_t>(count, std::max(FIRST_BODY_BLOCK, have * 2)));
    out.resize(next);
    if (std::optional<IoError> error = read_exact(out.data() + have, next - have)) {
      out.clear();
      out.shrink_to_fit();
      return error;
    }
  }
  return std::nullopt;
}

void read_request_line(std::string_view line, RequestHead& head) {
  std::size_t offset = 0;
  head.method = next_word(line, offset);
  head.path = next_word(line, offset);
}

bool host_is_local(std::string_view value) {
  const std::size_t colon = value.rfind(':');
  const std::string_view host = colon == std::string_view::npos ? value : value.substr(0, colon);
  return host == "127.0.0.1" || host == "localhost" || host == "[::1]";
}

uint64_t read_content_length(std::string_view value) {
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  if (value.empty()) return 0;
  uint64_t number = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return 0;
    const auto digit = static_cast<uint64_t>(c - '0');
    if (number > (UINT64_MAX - digit) / 10) return 0;
    number = number * 10 + digit;
  }
  return number;
}

void apply_header_line(std::string_view line, RequestHead& head) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = syntax::trim_white_space(line.substr(0, colon));
  const std::string_view value = syntax::trim_white_space(line.substr(colon + 1));
  if (syntax::equals_ascii_folded(name, "host")) {
    head.host_allowed = host_is_local(value);
  } else if (syntax::equals_ascii_folded(name, "content-length")) {
    head.content_length = read_content_length(value);
  } else if (syntax::equals_ascii_folded(name, "origin")) {
    head.origin = std::string(value);
  }
}

bool origin_is_own(std::string_view origin, uint16_t port) {
  constexpr std::string_view SCHEME = "http://";
  if (origin.substr(0, SCHEME.size()) != SCHEME) return false;
  const std::string_view authority = origin.substr(SCHEME.size());
  const std::size_t colon = authority.rfind(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view host = authority.substr(0, colon);
  if (host != "127.0.0.1" && host != "localhost" && host != "[::1]") return false;
  return authority.substr(colon + 1) == std::to_string(port);
}

std::optional<uint16_t> local_port(int socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return std::nullopt;
  }
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
  }
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
  }
  return std::nullopt;
}

HeadResult read_request_head(RequestReader& reader, const ExchangeLimits& limits) {
  HeadResult result;
  std::string line;
  std::size_t head_bytes = 0;
  bool first = true;
  for (;;) {
    const std::size_t room = std::min(limits.max_line, limits.max_head - head_bytes);
    switch (reader.read_line(line, room, result.error)) {
      case RequestReader::LineStatus::Read:
        break;
      case RequestReader::LineStatus::TooLong:
        result.status = HeadStatus::Failed;
        result.error.text = HEAD_TOO_LARGE;
        return result;
      case RequestReader::LineStatus::Failed:
        result.status =
            reader.timed_out() && !reader.received_any() ? HeadStatus::Idle : HeadStatus::Failed;
        return result;
    }
    head_bytes += line.size();
    if (!syntax::is_valid_utf8(line)) {
      result.status = HeadStatus::Failed;
      result.error.text = HEAD_NOT_UTF8;
      return result;
    }
    if (first) {
      read_request_line(line, result.head);
      first = false;
    } else if (line == "\n" || line == "\r\n") {
      return result;
    } else {
      apply_header_line(line, result.head);
    }
    // The end of the stream ends the head.
    if (line.empty() || line.back() != '\n') return result;
  }
}

std::string lab_answer_head(std::string_view status, std::string_view content_type,
                            std::size_t body_length, std::optional<std::string_view> attachment) {
  std::string head;
  head.reserve(512);
  head.append("HTTP/1.1 ").append(status).append("\r\n");
  head.append("Content-Type: ").append(content_type).append("\r\n");
  head.append("Content-Length: ").append(std::to_string(body_length)).append("\r\n");
  if (attachment.has_value()) {
    head.append("Content-Disposition: attachment; filename=\"")
        .append(*attachment)
        .append("\"\r\n");
  }
  head.append("Cache-Control: no-store\r\n");
  head.append("X-Content-Type-Options: nosniff\r\n");
  head.append("Content-Security-Policy: ").append(CONTENT_SECURITY_POLICY).append("\r\n");
  head.append("Connection: close\r\n\r\n");
  return head;
}

std::string serve_answer_head(std::string_view status, std::string_view content_type,
                              std::size_t body_length) {
  std::string head;
  head.reserve(160);
  head.append("HTTP/1.1 ").append(status).append("\r\n");
  head.append("Content-Type: ").append(content_type).append("\r\n");
  head.append("Content-Length: ").append(std::to_string(body_length)).append("\r\n");
  head.append("Cache-Control: no-store\r\n");
  head.append("Connection: close\r\n\r\n");
  return head;
}

std::string_view lab_out_of_memory_answer() noexcept {
  return {LAB_OUT_OF_MEMORY.bytes.data(), LAB_OUT_OF_MEMORY.bytes.size()};
}

std::string_view serve_out_of_memory_answer() noexcept {
  return {SERVE_OUT_OF_MEMORY.bytes.data(), SERVE_OUT_OF_MEMORY.bytes.size()};
}

std::optional<IoError> send_all(int socket, std::string_view bytes,
                                std::chrono::milliseconds progress_timeout,
                                ExchangeBudget* budget) {
  // Each send queues only what fits now, and poll waits for room until the first of the
  // progress and budget times: a blocking send would wait on past both.
  Clock::time_point progress_due = Clock::now() + progress_timeout;
  uint64_t sent_in_all = 0;
  uint64_t taken_counted = 0;
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      sent_in_all += static_cast<uint64_t>(sent);
      progress_due = Clock::now() + progress_timeout;
    } else if (sent == 0) {
      return IoError{std::string(SEND_ACCEPTED_NOTHING)};
    } else if (errno != EINTR && !is_timeout(errno)) {
      return IoError{system_error_text(errno)};
    }
    if (budget != nullptr) {
      const uint64_t taken = sent_in_all - std::min(sent_in_all, bytes_not_taken(socket));
      if (taken > taken_counted) {
        budget->add_moved(taken - taken_counted);
        taken_counted = taken;
      }
    }
    if (bytes.empty() || sent > 0) continue;
    const long long wait_ms = ms_until(progress_due, std::nullopt, budget);
    if (wait_ms <= 0) return IoError{std::string(TIMED_OUT)};
    if (wait_for(socket, POLLOUT, wait_ms) < 0 && errno != EINTR) {
      return IoError{system_error_text(errno)};
    }
  }
  return std::nullopt;
}

void finish_connection(Socket& socket, std::chrono::milliseconds linger) {
  if (!socket.valid()) return;
  if (::shutdown(socket.get(), SHUT_WR) == 0) {
    const Clock::time_point deadline = Clock::now() + linger;
    char discard[4096];
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd waiting{socket.get(), POLLIN, 0};
      const int ready = ::poll(&waiting, 1, static_cast<int>(left));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      const ssize_t got = ::recv(socket.get(), discard, sizeof discard, MSG_DONTWAIT);
      if (got > 0) continue;
      if (got < 0 && (errno == EINTR || is_timeout(errno))) continue;
      break;
    }
  }
  socket.close();
}

void report_failed_request(std::string_view text) {
  syntax::write_failure_line({"request failed: ", text, "\n"});
}

std::optional<std::string_view> refusal(const RequestHead& head, const Responder& responder,
                                        std::optional<uint16_t> port) {
  if (responder.wrong_host.has_value() && !head.host_allowed) return responder.wrong_host;
  if (head.origin.has_value() && (!port.has_value() || !origin_is_own(*head.origin, *port))) {
    return CROSS_SITE_REFUSED;
  }
  return std::nullopt;
}

void serve_exchange(Socket connection, const ExchangeLimits& limits, const Responder& responder) {
  const Clock::time_point started = Clock::now();
  ExchangeBudget budget(started, limits);
  RequestReader reader(connection.get(), limits.progress_timeout, &budget);
  reader.set_deadline(started + limits.head_deadline);
  std::optional<Reply> reply;
  Clock::time_point asked = started;
  try {
    const HeadResult head = read_request_head(reader, limits);
    if (head.status == HeadStatus::Idle) return;
    if (head.status == HeadStatus::Failed) {
      report_failed_request(head.error.text);
      return;
    }
    reader.set_deadline(std::nullopt);
    asked = Clock::now();
    if (const std::optional<std::string_view> refused =
            refusal(head.head, responder, local_port(connection.get()))) {
      reply = Reply{responder.text_head(STATUS_FORBIDDEN, refused->size()), std::string(*refused)};
    } else {
      IoError error;
      reply = responder.answer(head.head, reader, error);
      if (!reply.has_value()) {
        report_failed_request(error.text);
        return;
      }
    }
  } catch (const std::bad_alloc&) {
    // What the work held is given back by now; the answer and the line allocate nothing.
    reply.reset();
    report_failed_request(syntax::OUT_OF_MEMORY);
  }
  // The time since the client's last byte was the server's own.
  budget.add_server_time(Clock::now() - std::max(asked, reader.last_read_end()));
  const std::array<std::string_view, 2> parts =
      reply.has_value()
          ? std::array<std::string_view, 2>{reply->head, reply->body}
          : std::array<std::string_view, 2>{responder.out_of_memory_answer, std::string_view()};
  for (const std::string_view part : parts) {
    if (std::optional<IoError> failed =
            send_all(connection.get(), part, limits.progress_timeout, &budget)) {
      report_failed_request(failed->text);
      return;
    }
  }
  finish_connection(connection);
}

}  // namespace veltrane::server
