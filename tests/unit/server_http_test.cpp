// The HTTP layer: request heads, their bounds and timeouts, the answer heads, the listener
// and the accept loop.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "server/http.hpp"
#include "server/lab.hpp"
#include "server/listener.hpp"

namespace veltrane::server {
namespace {

using namespace std::chrono_literals;

// A connected pair of stream sockets: `client` plays the browser, `server` the Lab.
struct Pair {
  Socket client;
  Socket server;
};

Pair make_pair() {
  int descriptors[2];
  EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, descriptors), 0);
  return Pair{Socket(descriptors[0]), Socket(descriptors[1])};
}

void send_text(const Socket& socket, std::string_view text) {
  ASSERT_FALSE(send_all(socket.get(), text).has_value());
}

// Everything the peer sends until it closes, read with a timeout.
std::string receive_all(const Socket& socket) {
  EXPECT_TRUE(set_socket_timeouts(socket.get(), 5000ms));
  std::string text;
  char buffer[4096];
  for (int reads = 0; reads < 100000; ++reads) {
    const ssize_t got = ::recv(socket.get(), buffer, sizeof buffer, 0);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  return text;
}

HeadResult head_of(std::string_view request, HeadLimits limits = {}) {
  Pair pair = make_pair();
  send_text(pair.client, request);
  ::shutdown(pair.client.get(), SHUT_WR);
  RequestReader reader(pair.server.get());
  EXPECT_TRUE(set_socket_timeouts(pair.server.get(), limits.timeout));
  return read_request_head(reader, limits);
}

TEST(RequestHead, ReadsMethodPathHostAndLength) {
  struct Case {
    const char* name;
    std::string_view request;
    std::string_view method;
    std::string_view path;
    bool host_allowed;
    uint64_t content_length;
  };
  const Case cases[] = {
      {"crlf", "GET / HTTP/1.1\r\nHost: localhost:8790\r\n\r\n", "GET", "/", true, 0},
      {"lf alone", "GET / HTTP/1.1\nHost: localhost:8790\n\n", "GET", "/", true, 0},
      {"closed at once", "", "", "", true, 0},
      {"method alone", "GET\r\n\r\n", "GET", "", true, 0},
      {"query kept", "GET /?x=1 HTTP/1.1\r\n\r\n", "GET", "/?x=1", true, 0},
      {"case kept", "get /Index.html HTTP/1.1\r\n\r\n", "get", "/Index.html", true, 0},
      {"unicode blanks", "POST\xC2\xA0/api/parse\xE3\x80\x80HTTP/1.1\r\n\r\n", "POST", "/api/parse",
       true, 0},
      {"leading blanks", "  \tGET   /x  \r\n\r\n", "GET", "/x", true, 0},
      {"no host", "GET / HTTP/1.1\r\nAccept: */*\r\n\r\n", "GET", "/", true, 0},
      {"refused host", "GET / HTTP/1.1\r\nHost: example:8790\r\n\r\n", "GET", "/", false, 0},
      {"last host wins (allowed)",
       "GET / HTTP/1.1\r\nHost: example:1\r\nHost: 127.0.0.1:8790\r\n\r\n", "GET", "/", true, 0},
      {"last host wins (refused)",
       "GET / HTTP/1.1\r\nHost: 127.0.0.1:8790\r\nHost: example:1\r\n\r\n", "GET", "/", false, 0},
      {"host name case-blind", "GET / HTTP/1.1\r\nhOsT: example\r\n\r\n", "GET", "/", false, 0},
      {"length", "POST /api/parse HTTP/1.1\r\nContent-Length: 42\r\n\r\n", "POST", "/api/parse",
       true, 42},
      {"length trimmed", "POST / HTTP/1.1\r\ncontent-length:\t 7 \t\r\n\r\n", "POST", "/", true, 7},
      {"last length wins", "POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 9\r\n\r\n",
       "POST", "/", true, 9},
      {"line without colon skipped", "POST / HTTP/1.1\r\nContent-Length 5\r\n\r\n", "POST", "/",
       true, 0},
      {"blank name", "POST / HTTP/1.1\r\n : x\r\nContent-Length: 3\r\n\r\n", "POST", "/", true, 3},
      {"end of stream ends the head", "POST / HTTP/1.1\r\nContent-Length: 3", "POST", "/", true, 3},
      {"body after the empty line ignored",
       "POST / HTTP/1.1\r\n\r\nContent-Length: 3\r\nHost: example\r\n", "POST", "/", true, 0},
      {"a line of blanks is a header line", "POST / HTTP/1.1\r\n \r\nContent-Length: 4\r\n\r\n",
       "POST", "/", true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HeadResult result = head_of(c.request);
    ASSERT_EQ(result.status, HeadStatus::Read) << result.error.text;
    EXPECT_EQ(result.head.method, c.method);
    EXPECT_EQ(result.head.path, c.path);
    EXPECT_EQ(result.head.host_allowed, c.host_allowed);
    EXPECT_EQ(result.head.content_length, c.content_length);
  }
}

TEST(RequestHead, HostCheck) {
  struct Case {
    std::string_view value;
    bool allowed;
  };
  const Case cases[] = {
      {"localhost:8790", true},
      {"localhost", true},
      {"127.0.0.1:8790", true},
      {"127.0.0.1", true},
      {"[::1]:8790", true},
      {"LOCALHOST:8790", false},
      {"example:8790", false},
      {"127.0.0.1.x:80", false},
      {"", false},
      {"[::1]", false},
      {"localhost:", true},
      {"a:localhost:1", false},
      {"127.0.0.1:8790:1", false},
      {"evil.localhost:80", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value));
    EXPECT_EQ(host_is_local(c.value), c.allowed);
  }
}

TEST(RequestHead, ContentLengthValues) {
  struct Case {
    std::string_view value;
    uint64_t length;
  };
  const Case cases[] = {
      {"0", 0},
      {"12", 12},
      {"+12", 12},
      {"0012", 12},
      {"67108865", 67108865},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", 0},
      {"99999999999999999999999", 0},
      {"12abc", 0},
      {"-1", 0},
      {"", 0},
      {"+", 0},
      {"++1", 0},
      {"1 2", 0},
      {"0x10", 0},
      {"\xD9\xA3", 0},  // ARABIC-INDIC DIGIT THREE is not an ASCII digit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value));
    EXPECT_EQ(read_content_length(c.value), c.length);
  }
}

TEST(RequestHead, Bounds) {
  const std::string long_line(64 * 1024 + 1, 'a');
  std::string many_headers = "GET / HTTP/1.1\r\n";
  while (many_headers.size() <= 1024 * 1024)
    many_headers.append("X-Pad: " + std::string(1000, 'p') + "\r\n");
  struct Case {
    const char* name;
    std::string request;
    HeadStatus status;
    std::string_view error;
  };
  const Case cases[] = {
      {"request line at the limit", "GET /" + std::string(64 * 1024 - 7, 'a') + "\r\n\r\n",
       HeadStatus::Read, ""},
      {"request line over the limit", "GET /" + std::string(64 * 1024 - 6, 'a') + "\r\n\r\n",
       HeadStatus::Failed, HEAD_TOO_LARGE},
      {"header line over the limit", "GET / HTTP/1.1\r\nX: " + long_line + "\r\n\r\n",
       HeadStatus::Failed, HEAD_TOO_LARGE},
      {"head over the limit", many_headers + "\r\n", HeadStatus::Failed, HEAD_TOO_LARGE},
      {"endless line without LF", long_line, HeadStatus::Failed, HEAD_TOO_LARGE},
      {"request line not UTF-8", "GET /\xFF HTTP/1.1\r\n\r\n", HeadStatus::Failed,
       "request head is not valid UTF-8"},
      {"header not UTF-8", "GET / HTTP/1.1\r\nX: \xC3\r\n\r\n", HeadStatus::Failed,
       "request head is not valid UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A writer thread, since the request may be larger than the socket's buffer.
    Pair pair = make_pair();
    std::thread writer([&pair, &c] {
      (void)send_all(pair.client.get(), c.request);
      ::shutdown(pair.client.get(), SHUT_WR);
    });
    RequestReader reader(pair.server.get());
    ASSERT_TRUE(set_socket_timeouts(pair.server.get(), 5000ms));
    const HeadResult result = read_request_head(reader, HeadLimits{});
    // Unblock a writer still sending the rest.
    ::shutdown(pair.server.get(), SHUT_RDWR);
    writer.join();
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.error.text, c.error);
  }
}

TEST(RequestHead, ReadTimeout) {
  HeadLimits limits;
  limits.timeout = 100ms;
  struct Case {
    const char* name;
    std::string_view sent;
    HeadStatus status;
    std::string_view error;
  };
  const Case cases[] = {
      {"silent from the start", "", HeadStatus::Idle, ""},
      {"silent inside the request line", "GET / HT", HeadStatus::Failed, TIMED_OUT},
      {"silent inside the headers", "GET / HTTP/1.1\r\nHost: localhost\r\n", HeadStatus::Failed,
       TIMED_OUT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair = make_pair();  // the client stays open and says no more
    if (!c.sent.empty()) send_text(pair.client, c.sent);
    RequestReader reader(pair.server.get());
    ASSERT_TRUE(set_socket_timeouts(pair.server.get(), limits.timeout));
    const HeadResult result = read_request_head(reader, limits);
    EXPECT_EQ(result.status, c.status);
    if (c.status == HeadStatus::Failed) {
      EXPECT_EQ(result.error.text, c.error);
    }
  }
}

TEST(RequestReader, BodyComesAfterTheHeadFromTheSameBuffer) {
  struct Case {
    const char* name;
    std::string_view request;
    std::size_t body_length;
    std::optional<std::string_view> body;  // none: the read fails
  };
  const Case cases[] = {
      {"whole body", "POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 5, "hello"},
      {"extra bytes left unread", "POST / HTTP/1.1\r\n\r\nhello world", 5, "hello"},
      {"empty body", "POST / HTTP/1.1\r\n\r\n", 0, ""},
      {"short body", "POST / HTTP/1.1\r\n\r\nhel", 5, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair = make_pair();
    send_text(pair.client, c.request);
    ::shutdown(pair.client.get(), SHUT_WR);
    RequestReader reader(pair.server.get());
    ASSERT_EQ(read_request_head(reader, HeadLimits{}).status, HeadStatus::Read);
    std::string body(c.body_length, '\0');
    const std::optional<IoError> error = reader.read_exact(body.data(), body.size());
    if (c.body.has_value()) {
      ASSERT_FALSE(error.has_value()) << error->text;
      EXPECT_EQ(body, *c.body);
    } else {
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->text, "request body ended early");
    }
  }
}

TEST(RequestReader, LargeBodyAcrossManyBuffers) {
  Pair pair = make_pair();
  std::string body(300'000, 'x');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  std::thread writer([&] {
    (void)send_all(pair.client.get(), "POST / HTTP/1.1\r\nContent-Length: 300000\r\n\r\n");
    (void)send_all(pair.client.get(), body);
  });
  RequestReader reader(pair.server.get());
  const HeadResult head = read_request_head(reader, HeadLimits{});
  ASSERT_EQ(head.head.content_length, body.size());
  std::string got(body.size(), '\0');
  EXPECT_FALSE(reader.read_exact(got.data(), got.size()).has_value());
  writer.join();
  EXPECT_EQ(got, body);
}

constexpr std::string_view CSP =
    "Content-Security-Policy: default-src 'self'; style-src 'self' 'unsafe-inline'; "
    "script-src 'self' 'unsafe-inline'; img-src 'self' data: blob:\r\n";

TEST(AnswerHead, LabByteForByte) {
  struct Case {
    std::string_view status;
    std::string_view type;
    std::size_t length;
    std::optional<std::string_view> attachment;
    std::string expected;
  };
  const std::string tail =
      std::string("Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n") +
      std::string(CSP) + "Connection: close\r\n\r\n";
  const Case cases[] = {
      {STATUS_OK, TYPE_HTML, 48010, std::nullopt,
       "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 48010\r\n" +
           tail},
      {STATUS_OK, TYPE_JSON, 2, std::nullopt,
       "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 2\r\n" + tail},
      {STATUS_NOT_FOUND, TYPE_TEXT, 9, std::nullopt,
       "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n" + tail},
      {STATUS_OK, TYPE_ZIP, 0, "veltrane-report.zip",
       "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 0\r\n"
       "Content-Disposition: attachment; filename=\"veltrane-report.zip\"\r\n" +
           tail},
      {STATUS_OK, TYPE_CSV, 10, "files.csv",
       "HTTP/1.1 200 OK\r\nContent-Type: text/csv; charset=utf-8\r\nContent-Length: 10\r\n"
       "Content-Disposition: attachment; filename=\"files.csv\"\r\n" +
           tail},
      {STATUS_TOO_LARGE, TYPE_TEXT, 17, std::nullopt,
       "HTTP/1.1 413 Payload Too Large\r\nContent-Type: text/plain\r\nContent-Length: 17\r\n" +
           tail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.status) + " " + std::string(c.type));
    EXPECT_EQ(lab_answer_head(c.status, c.type, c.length, c.attachment), c.expected);
  }
}

TEST(AnswerHead, TestPageByteForByte) {
  EXPECT_EQ(serve_answer_head(STATUS_OK, TYPE_JSON, 123),
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 123\r\n"
            "Cache-Control: no-store\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(serve_answer_head(STATUS_TOO_LARGE, TYPE_TEXT, 31),
            "HTTP/1.1 413 Payload Too Large\r\nContent-Type: text/plain\r\nContent-Length: 31\r\n"
            "Cache-Control: no-store\r\nConnection: close\r\n\r\n");
}

TEST(AnswerWriting, ClosedClientIsAnErrorNotASignal) {
  Pair pair = make_pair();
  pair.client.close();
  const std::optional<IoError> error =
      send_answer(pair.server.get(), "HTTP/1.1 200 OK\r\n\r\n", "x");
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->text.find("(os error 32)"), std::string::npos) << error->text;
}

// A client that stops reading: the send fills the socket's buffers, then waits the send
// timeout without progress and gives up; it is not restarted by the part queued before.
TEST(AnswerWriting, AClientThatStopsReadingTimesOut) {
  Pair pair = make_pair();
  ASSERT_TRUE(set_socket_timeouts(pair.server.get(), 200ms));
  const std::string answer(8 << 20, 'x');
  const std::optional<IoError> error = send_all(pair.server.get(), answer);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->text, TIMED_OUT);
}

TEST(AnswerWriting, FinishLetsTheClientReadAnAnswerDespiteUnreadBytes) {
  // A large unread body: closing at once would reset the connection under the answer.
  const Listener listener = [] {
    int error_number = 0;
    std::optional<Listener> made = listen_loopback(0, error_number);
    EXPECT_TRUE(made.has_value()) << error_number;
    return std::move(*made);
  }();
  Socket client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(listener.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(client.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
            0);
  Socket server(::accept4(listener.socket.get(), nullptr, nullptr, SOCK_CLOEXEC));
  ASSERT_TRUE(server.valid());
  send_text(client, "POST / HTTP/1.1\r\nContent-Length: 100000\r\n\r\n" + std::string(60000, 'b'));
  std::this_thread::sleep_for(50ms);
  const std::string answer = "HTTP/1.1 413 Payload Too Large\r\nContent-Length: 4\r\n\r\nbig!";
  ASSERT_FALSE(send_all(server.get(), answer).has_value());
  std::thread closer([&server] { finish_connection(server, 500ms); });
  EXPECT_EQ(receive_all(client), answer);
  closer.join();
  EXPECT_FALSE(server.valid());
}

TEST(PortOption, ReadsTheFirstExactOption) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::optional<uint16_t> port;
  };
  const Case cases[] = {
      {"none", {}, std::nullopt},
      {"plain", {"--port", "9000"}, 9000},
      {"plus", {"--port", "+9000"}, 9000},
      {"zero", {"--port", "0"}, 0},
      {"highest", {"--port", "65535"}, 65535},
      {"too high", {"--port", "65536"}, std::nullopt},
      {"very long", {"--port", "000000000000000000009000"}, 9000},
      {"letters", {"--port", "abc"}, std::nullopt},
      {"last argument", {"--port"}, std::nullopt},
      {"value is another option", {"--port", "--no-open"}, std::nullopt},
      {"after another option", {"--no-open", "--port", "9000"}, 9000},
      {"equals form is not the option", {"--port=8000"}, std::nullopt},
      {"first occurrence counts", {"--port", "x", "--port", "9000"}, std::nullopt},
      {"first of two good ones", {"--port", "1", "--port", "2"}, 1},
      {"sign alone", {"--port", "+"}, std::nullopt},
      {"negative", {"--port", "-1"}, std::nullopt},
      {"blank inside", {"--port", "90 00"}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read_port_option(c.args), c.port);
  }
}

Socket connect_loopback(uint16_t port) {
  Socket client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(client.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
            0);
  return client;
}

// Connects to the listener, sends a request line and returns all that comes back.
std::string exchange(uint16_t port) {
  Socket client = connect_loopback(port);
  (void)send_all(client.get(), "GET / HTTP/1.1\r\n\r\n");
  return receive_all(client);
}

TEST(AcceptLoop, AFailedThreadStartDropsOnlyThatConnection) {
  int error_number = 0;
  std::optional<Listener> listener = listen_loopback(0, error_number);
  ASSERT_TRUE(listener.has_value()) << error_number;
  ASSERT_NE(listener->port, 0);

  std::atomic<int> starts{0};
  const ThreadStarter fail_first = [&starts](std::function<void()> body) {
    if (starts.fetch_add(1) == 0) return false;
    return start_detached_thread(std::move(body));
  };
  const ConnectionHandler answer = [](Socket connection) {
    RequestReader reader(connection.get());
    (void)read_request_head(reader, HeadLimits{});
    (void)send_all(connection.get(), "answered");
    finish_connection(connection, 200ms);
  };
  std::thread loop(
      [&] { accept_connections(*listener, answer, fail_first, {.max_connections = 3}); });
  EXPECT_EQ(exchange(listener->port), "");
  EXPECT_EQ(exchange(listener->port), "answered");
  EXPECT_EQ(exchange(listener->port), "answered");
  loop.join();
  EXPECT_EQ(starts.load(), 3);
}

TEST(AcceptLoop, AHandlerThatThrowsEndsOnlyItsOwnExchange) {
  int error_number = 0;
  std::optional<Listener> listener = listen_loopback(0, error_number);
  ASSERT_TRUE(listener.has_value());
  std::atomic<int> calls{0};
  const ConnectionHandler flaky = [&calls](Socket connection) {
    if (calls.fetch_add(1) == 0) throw std::runtime_error("boom");
    (void)send_all(connection.get(), "fine");
    finish_connection(connection, 200ms);
  };
  std::thread loop(
      [&] { accept_connections(*listener, flaky, start_detached_thread, {.max_connections = 2}); });
  EXPECT_EQ(exchange(listener->port), "");
  EXPECT_EQ(exchange(listener->port), "fine");
  loop.join();
}

using Clock = std::chrono::steady_clock;

long long elapsed_ms(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// Slow clients fill every slot: a real request waits in the listen queue until one of them
// leaves, and the others are cut off at the head deadline.
TEST(AcceptLoop, SlowClientsHoldAtMostTheCapForAtMostTheHeadDeadline) {
  int error_number = 0;
  std::optional<Listener> listener = listen_loopback(0, error_number);
  ASSERT_TRUE(listener.has_value()) << error_number;
  const ConnectionHandler handler = [](Socket connection) {
    // Only the head deadline ends a silent client.
    handle_lab_connection(std::move(connection), {.timeout = 10'000ms, .head_deadline = 1500ms});
  };
  std::thread loop([&] {
    accept_connections(*listener, handler, start_detached_thread,
                       {.max_exchanges = 3, .max_connections = 4});
  });
  const Clock::time_point started = Clock::now();
  std::vector<Socket> slow;
  for (int i = 0; i < 3; ++i) {
    slow.push_back(connect_loopback(listener->port));
    send_text(slow.back(), "GET / HT");
  }
  Socket real = connect_loopback(listener->port);
  send_text(real, "GET / HTTP/1.1\r\n\r\n");
  pollfd waiting{real.get(), POLLIN, 0};
  EXPECT_EQ(::poll(&waiting, 1, 300), 0) << "answered while every slot was taken";
  slow.front().close();
  const Clock::time_point freed = Clock::now();
  EXPECT_EQ(receive_all(real).substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_LT(elapsed_ms(freed), 2000);
  for (std::size_t i = 1; i < slow.size(); ++i) EXPECT_EQ(receive_all(slow[i]), "");
  EXPECT_GE(elapsed_ms(started), 1400);
  EXPECT_LT(elapsed_ms(started), 3500);
  loop.join();
}

// A client that sends a byte every 20 ms is still cut off when its head or body is due.
TEST(Exchange, DeadlinesEndSlowHeadsAndBodies) {
  struct Case {
    const char* name;
    std::string_view sent_at_once;
    long long due_ms;
  };
  const Case cases[] = {
      {"head", "GET / HTTP/1.1\r\nX-Slow: ", 400},
      // 200 ms for any body, and 400 ms for the one MiB declared.
      {"body", "POST /api/parse HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n", 600},
  };
  // The client never stalls for the 5 s timeout.
  const HeadLimits limits{.timeout = 5000ms,
                          .head_deadline = 400ms,
                          .body_deadline = 200ms,
                          .body_time_per_mib = 400ms};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair = make_pair();
    send_text(pair.client, c.sent_at_once);
    std::thread dripper([&pair] {  // six seconds at most
      for (int i = 0; i < 300 && !send_all(pair.client.get(), "x").has_value(); ++i) {
        std::this_thread::sleep_for(20ms);
      }
    });
    const Clock::time_point started = Clock::now();
    handle_lab_connection(std::move(pair.server), limits);
    const long long took = elapsed_ms(started);
    EXPECT_GE(took, c.due_ms - 50);
    EXPECT_LT(took, c.due_ms + 2500);
    EXPECT_EQ(receive_all(pair.client), "");
    dripper.join();
  }
}

TEST(Listener, ABusyPortIsRefused) {
  int error_number = 0;
  std::optional<Listener> first = listen_loopback(0, error_number);
  ASSERT_TRUE(first.has_value());
  std::optional<Listener> second = listen_loopback(first->port, error_number);
  EXPECT_FALSE(second.has_value());
  EXPECT_EQ(error_number, EADDRINUSE);
  EXPECT_EQ(system_error_text(EADDRINUSE), "Address already in use (os error 98)");
}

}  // namespace
}  // namespace veltrane::server
