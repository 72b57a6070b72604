#include "server/http.hpp"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "syntax/lossy_utf8.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::server {

namespace {

constexpr std::string_view CONTENT_SECURITY_POLICY =
    "default-src 'self'; style-src 'self' 'unsafe-inline'; script-src 'self' "
    "'unsafe-inline'; img-src 'self' data: blob:";

constexpr std::string_view HEAD_NOT_UTF8 = "request head is not valid UTF-8";
constexpr std::string_view BODY_ENDED_EARLY = "request body ended early";
constexpr std::string_view SEND_ACCEPTED_NOTHING = "the connection accepted no bytes";

constexpr uint64_t MEBIBYTE = uint64_t{1024} * 1024;
// Declared lengths beyond this earn no more body time (no route takes a body this large).
constexpr uint64_t LONGEST_TIMED_BODY = uint64_t{1} << 40;

bool is_timeout(int error_number) { return error_number == EAGAIN || error_number == EWOULDBLOCK; }

// The socket's receive or send timeout (`option` SO_RCVTIMEO or SO_SNDTIMEO) in
// milliseconds; -1 when none is set or the system cannot tell.
long long socket_timeout_ms(int socket, int option) {
  timeval timeout{};
  socklen_t timeout_size = sizeof timeout;
  if (::getsockopt(socket, SOL_SOCKET, option, &timeout, &timeout_size) != 0 ||
      (timeout.tv_sec == 0 && timeout.tv_usec == 0)) {
    return -1;
  }
  return static_cast<long long>(timeout.tv_sec) * 1000 + timeout.tv_usec / 1000;
}

// Waits until `socket` is ready for `events` or `wait_ms` have passed (-1: no limit).
// 1 when ready, 0 on timeout, -1 on failure with errno set (EINTR included).
int wait_for(int socket, short events, long long wait_ms) {
  pollfd waiting{socket, events, 0};
  const int bounded = wait_ms < 0 ? -1 : static_cast<int>(std::min<long long>(wait_ms, INT_MAX));
  return ::poll(&waiting, 1, bounded);
}

// The time a body of `content_length` bytes may take to arrive under `limits`.
std::chrono::milliseconds body_time_allowed(const HeadLimits& limits, uint64_t content_length) {
  const uint64_t length = std::min(content_length, LONGEST_TIMED_BODY);
  const auto per_mib =
      static_cast<uint64_t>(std::max<long long>(limits.body_time_per_mib.count(), 0));
  // Rounded up, so that any declared byte earns its share.
  const uint64_t extra_ms = (length * per_mib + MEBIBYTE - 1) / MEBIBYTE;
  return limits.body_deadline + std::chrono::milliseconds(static_cast<long long>(extra_ms));
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

bool set_socket_timeouts(int socket, std::chrono::milliseconds timeout) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  return ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value) == 0 &&
         ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value) == 0;
}

long RequestReader::refill(IoError& error) {
  begin_ = 0;
  end_ = 0;
  const long long progress_ms = socket_timeout_ms(socket_, SO_RCVTIMEO);
  for (;;) {
    long long wait_ms = progress_ms;
    if (deadline_.has_value()) {
      const long long left =
          std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
      if (left <= 0) break;
      if (wait_ms < 0 || left < wait_ms) wait_ms = left;
    }
    const int ready = wait_for(socket_, POLLIN, wait_ms);
    if (ready == 0) break;
    if (ready < 0) {
      if (errno == EINTR) continue;
      error.text = system_error_text(errno);
      return -1;
    }
    const ssize_t got = ::recv(socket_, buffer_, BUFFER_SIZE, MSG_DONTWAIT);
    if (got >= 0) {
      end_ = static_cast<std::size_t>(got);
      if (got > 0) received_any_ = true;
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

std::string_view trim_white_space(std::string_view text) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t blank = white_space_at(text, start);
    if (blank == 0) break;
    start += blank;
  }
  // Scan forwards and remember where the last non-blank character ended: UTF-8 cannot
  // be decoded backwards safely without this.
  std::size_t end = start;
  std::size_t offset = start;
  while (offset < text.size()) {
    const std::size_t blank = white_space_at(text, offset);
    if (blank != 0) {
      offset += blank;
    } else {
      offset += char_length_at(text, offset);
      end = offset;
    }
  }
  return text.substr(start, end - start);
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
  const std::string_view name = trim_white_space(line.substr(0, colon));
  const std::string_view value = trim_white_space(line.substr(colon + 1));
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

HeadResult read_request_head(RequestReader& reader, const HeadLimits& limits) {
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

std::optional<IoError> send_all(int socket, std::string_view bytes) {
  // The socket's send timeout bounds the time without progress. A blocking send that times
  // out after queueing part of its bytes would start a fresh wait, so each send queues only
  // what fits now, and poll waits for room with the time left since the last progress.
  const long long timeout_ms = socket_timeout_ms(socket, SO_SNDTIMEO);
  using Clock = std::chrono::steady_clock;
  Clock::time_point last_progress = Clock::now();
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      last_progress = Clock::now();
      continue;
    }
    if (sent == 0) return IoError{std::string(SEND_ACCEPTED_NOTHING)};
    const int error_number = errno;
    if (error_number == EINTR) continue;
    if (!is_timeout(error_number)) return IoError{system_error_text(error_number)};
    long long wait_ms = -1;
    if (timeout_ms >= 0) {
      const long long waited =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - last_progress)
              .count();
      if (waited >= timeout_ms) return IoError{std::string(TIMED_OUT)};
      wait_ms = timeout_ms - waited;
    }
    if (wait_for(socket, POLLOUT, wait_ms) < 0 && errno != EINTR) {
      return IoError{system_error_text(errno)};
    }
  }
  return std::nullopt;
}

std::optional<IoError> send_answer(int socket, std::string_view head, std::string_view body) {
  if (auto error = send_all(socket, head)) return error;
  return send_all(socket, body);
}

void finish_connection(Socket& socket, std::chrono::milliseconds linger) {
  if (!socket.valid()) return;
  if (::shutdown(socket.get(), SHUT_WR) == 0) {
    using Clock = std::chrono::steady_clock;
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

void write_error_line(std::string_view line) {
  while (!line.empty()) {
    const ssize_t written = ::write(2, line.data(), line.size());
    if (written > 0) {
      line.remove_prefix(static_cast<std::size_t>(written));
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

void report_failed_request(std::string_view text) {
  std::string line = "request failed: ";
  line.append(text);
  line.push_back('\n');
  write_error_line(line);
}

void serve_exchange(Socket connection, const HeadLimits& limits, AnswerRequest answer) {
  const RequestReader::Clock::time_point started = RequestReader::Clock::now();
  (void)set_socket_timeouts(connection.get(), limits.timeout);
  RequestReader reader(connection.get());
  reader.set_deadline(started + limits.head_deadline);
  HeadResult head = read_request_head(reader, limits);
  if (head.status == HeadStatus::Idle) return;
  if (head.status == HeadStatus::Failed) {
    report_failed_request(head.error.text);
    return;
  }
  reader.set_deadline(RequestReader::Clock::now() +
                      body_time_allowed(limits, head.head.content_length));
  if (head.head.origin.has_value()) {
    const std::optional<uint16_t> port = local_port(connection.get());
    head.head.cross_site = !port.has_value() || !origin_is_own(*head.head.origin, *port);
  }
  IoError error;
  const std::optional<Reply> reply = answer(head.head, reader, error);
  if (!reply.has_value()) {
    report_failed_request(error.text);
    return;
  }
  if (std::optional<IoError> failed = send_answer(connection.get(), reply->head, reply->body)) {
    report_failed_request(failed->text);
    return;
  }
  finish_connection(connection);
}

}  // namespace veltrane::server
