// The HTTP layer: request heads, their bounds and timeouts, the answer heads, the own-origin
// rule, the exchange budget, the listener and the accept loop. Slow clients are tested by
// order and outcome under small limits, never by how long anything took.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
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

// The time any one step of a test may wait: long enough for a loaded machine.
constexpr auto PATIENCE = 5000ms;

void send_text(const Socket& socket, std::string_view text) {
  ASSERT_FALSE(send_all(socket.get(), text, PATIENCE).has_value());
}

// Sets the receive timeout of a test's own socket.
void set_receive_timeout(const Socket& socket, std::chrono::milliseconds timeout) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  ASSERT_EQ(::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value), 0);
}

// Everything the peer sends until it closes, read with a timeout.
std::string receive_all(const Socket& socket) {
  set_receive_timeout(socket, PATIENCE);
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

HeadResult head_of(std::string_view request, const ExchangeLimits& limits = {}) {
  Pair pair = make_pair();
  send_text(pair.client, request);
  ::shutdown(pair.client.get(), SHUT_WR);
  RequestReader reader(pair.server.get(), limits.progress_timeout);
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

TEST(RequestHead, OnlyThisMachinesHostNamesAreAllowed) {
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

TEST(RequestHead, ContentLengthIsDigitsWithAnOptionalPlusElseZero) {
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

TEST(RequestHead, OverlongLinesOrHeadsAndNonUtf8LinesEndTheExchange) {
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
      (void)send_all(pair.client.get(), c.request, PATIENCE);
      ::shutdown(pair.client.get(), SHUT_WR);
    });
    RequestReader reader(pair.server.get(), PATIENCE);
    const HeadResult result = read_request_head(reader, ExchangeLimits{});
    // Unblock a writer still sending the rest.
    ::shutdown(pair.server.get(), SHUT_RDWR);
    writer.join();
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.error.text, c.error);
  }
}

TEST(RequestHead, SilenceIsIdleBeforeTheFirstByteAndATimeoutAfterIt) {
  ExchangeLimits limits;
  limits.progress_timeout = 100ms;
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
    RequestReader reader(pair.server.get(), limits.progress_timeout);
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
    RequestReader reader(pair.server.get(), PATIENCE);
    ASSERT_EQ(read_request_head(reader, ExchangeLimits{}).status, HeadStatus::Read);
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
    (void)send_all(pair.client.get(), "POST / HTTP/1.1\r\nContent-Length: 300000\r\n\r\n",
                   PATIENCE);
    (void)send_all(pair.client.get(), body, PATIENCE);
  });
  RequestReader reader(pair.server.get(), PATIENCE);
  const HeadResult head = read_request_head(reader, ExchangeLimits{});
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
      send_all(pair.server.get(), "HTTP/1.1 200 OK\r\n\r\nx", PATIENCE);
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->text.find("(os error 32)"), std::string::npos) << error->text;
}

// A client that stops reading: the send fills the socket's buffers, then waits the
// progress timeout and gives up; it is not restarted by the part queued before.
TEST(AnswerWriting, AClientThatStopsReadingTimesOut) {
  Pair pair = make_pair();
  const std::string answer(8 << 20, 'x');
  const std::optional<IoError> error = send_all(pair.server.get(), answer, 200ms);
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
  ASSERT_FALSE(send_all(server.get(), answer, PATIENCE).has_value());
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
  (void)send_all(client.get(), "GET / HTTP/1.1\r\n\r\n", PATIENCE);
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
    RequestReader reader(connection.get(), PATIENCE);
    (void)read_request_head(reader, ExchangeLimits{});
    (void)send_all(connection.get(), "answered", PATIENCE);
    finish_connection(connection, 200ms);
  };
  std::thread loop([&] { accept_connections(*listener, answer, fail_first, 64, 3); });
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
    (void)send_all(connection.get(), "fine", PATIENCE);
    finish_connection(connection, 200ms);
  };
  std::thread loop([&] { accept_connections(*listener, flaky, start_detached_thread, 64, 2); });
  EXPECT_EQ(exchange(listener->port), "");
  EXPECT_EQ(exchange(listener->port), "fine");
  loop.join();
}

TEST(OwnOrigin, OnlyTheServersOwnAddressAndPort) {
  struct Case {
    std::string_view origin;
    bool own;
  };
  const Case cases[] = {
      {"http://127.0.0.1:8790", true},
      {"http://localhost:8790", true},
      {"http://[::1]:8790", true},
      {"http://127.0.0.1:8791", false},
      {"http://127.0.0.1:08790", false},
      {"http://127.0.0.1", false},
      {"http://127.0.0.1:", false},
      {"http://127.0.0.1:8790/", false},
      {"https://127.0.0.1:8790", false},
      {"HTTP://127.0.0.1:8790", false},
      {"http://LOCALHOST:8790", false},
      {"http://evil.localhost:8790", false},
      {"http://user@127.0.0.1:8790", false},
      {"http://example:8790", false},
      {"null", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.origin));
    EXPECT_EQ(origin_is_own(c.origin, 8790), c.own);
  }
}

std::string text_head(std::string_view status, std::size_t body_length) {
  return std::string(status) + " " + std::to_string(body_length);
}

TEST(Refusal, WrongHostFirstThenAnyOtherOrigin) {
  const Responder checks_host{nullptr, text_head, "wrong host", {}};
  const Responder no_host_check{nullptr, text_head, std::nullopt, {}};
  struct Case {
    const char* name;
    bool host_allowed;
    std::optional<std::string> origin;
    const Responder& responder;
    std::optional<uint16_t> port;
    std::optional<std::string_view> refused;
  };
  const Case cases[] = {
      {"plain request", true, std::nullopt, checks_host, 8790, std::nullopt},
      {"own origin", true, "http://localhost:8790", checks_host, 8790, std::nullopt},
      {"other origin", true, "http://evil.example", checks_host, 8790, CROSS_SITE_REFUSED},
      {"other port", true, "http://localhost:8791", checks_host, 8790, CROSS_SITE_REFUSED},
      {"port unknown", true, "http://localhost:8790", checks_host, std::nullopt,
       CROSS_SITE_REFUSED},
      {"wrong host", false, std::nullopt, checks_host, 8790, "wrong host"},
      {"wrong host before other origin", false, "http://evil.example", checks_host, 8790,
       "wrong host"},
      {"host not checked", false, std::nullopt, no_host_check, 8790, std::nullopt},
      {"origin checked without host check", false, "null", no_host_check, 8790, CROSS_SITE_REFUSED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RequestHead head;
    head.host_allowed = c.host_allowed;
    head.origin = c.origin;
    EXPECT_EQ(refusal(head, c.responder, c.port), c.refused);
  }
}

TEST(ExchangeBudget, DueGrowsWithBytesMovedAndServerTime) {
  const ExchangeLimits limits{.first_transfer_time = 30'000ms, .time_per_mib = 10'000ms};
  const Clock::time_point start{};
  ExchangeBudget budget(start, limits);
  EXPECT_EQ(budget.due(), start + 30'000ms);
  budget.add_moved(MEBIBYTE / 2);
  EXPECT_EQ(budget.due(), start + 35'000ms);
  budget.add_moved(MEBIBYTE * 64 + MEBIBYTE / 2);
  EXPECT_EQ(budget.due(), start + 680'000ms);
  budget.add_server_time(2500ms);
  EXPECT_EQ(budget.due(), start + 682'500ms);
  budget.add_moved(uint64_t{1} << 50);  // no overflow: the count stops growing at 2^40
  EXPECT_EQ(budget.due(), start + 30'000ms + 2500ms + std::chrono::seconds(10 << 20));
}

// Sends `chunk` every `pause` for as long as the peer takes it, at most `count` times.
std::thread trickle(const Socket& socket, std::string chunk, std::chrono::milliseconds pause,
                    int count) {
  return std::thread([descriptor = socket.get(), chunk = std::move(chunk), pause, count] {
    for (int i = 0; i < count && !send_all(descriptor, chunk, PATIENCE).has_value(); ++i) {
      std::this_thread::sleep_for(pause);
    }
  });
}

// Small limits: one second for any exchange, then 0.4 s for each MiB moved (2.5 MiB/s).
constexpr ExchangeLimits SMALL_LIMITS{.progress_timeout = PATIENCE,
                                      .head_deadline = 1000ms,
                                      .first_transfer_time = 1000ms,
                                      .time_per_mib = 400ms};

// A request of `body_bytes` whose body is a small script and an ignored member padding it.
std::string padded_parse_request(std::size_t body_bytes) {
  std::string body = R"({"source":"select 1 from dual;","pad":")";
  body.append(body_bytes - body.size() - 2, 'x');
  body.append("\"}");
  return "POST /api/parse HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
         body;
}

// Clients that move bytes too slowly lose their exchange unanswered, whatever they declare;
// one that moves them steadily keeps it past the first second and is answered.
TEST(Exchange, SlowTransfersAreCutOffAndSteadyOnesAreNot) {
  struct Case {
    const char* name;
    std::string sent_at_once;
    std::string chunk;  // then sent every 20 ms, up to 400 times
    bool answered;
  };
  const std::string steady = padded_parse_request(8 << 20);
  const Case cases[] = {
      {"head trickled", "GET / HTTP/1.1\r\nX-Slow: ", "x", false},
      {"body trickled under a large declared length",
       "POST /api/parse HTTP/1.1\r\nContent-Length: 67108864\r\n\r\n", "x", false},
      {"body sent at 12 MiB/s", "", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair = make_pair();
    std::thread client;
    if (c.answered) {
      client = std::thread([&pair, &steady] {
        for (std::size_t at = 0; at < steady.size(); at += 256 * 1024) {
          if (send_all(pair.client.get(), std::string_view(steady).substr(at, 256 * 1024),
                       PATIENCE)) {
            return;
          }
          std::this_thread::sleep_for(20ms);
        }
      });
    } else {
      send_text(pair.client, c.sent_at_once);
      client = trickle(pair.client, c.chunk, 20ms, 400);
    }
    handle_lab_connection(std::move(pair.server), SMALL_LIMITS);
    const std::string answer = receive_all(pair.client);
    pair.client.close();
    client.join();
    if (c.answered) {
      EXPECT_EQ(answer.substr(0, 15), "HTTP/1.1 200 OK");
    } else {
      EXPECT_EQ(answer, "");
    }
  }
}

// A client that takes its answer too slowly loses the rest of it; one that reads steadily
// gets all of it, although it takes longer than the first second.
TEST(AnswerWriting, SlowReadersAreCutOffAndSteadyOnesAreNot) {
  struct Case {
    const char* name;
    std::size_t read_size;  // read every 10 ms
    bool whole;
  };
  const Case cases[] = {
      {"400 KiB/s", 4 * 1024, false},
      {"25 MiB/s", 256 * 1024, true},
  };
  const std::string answer(6 << 20, 'a');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair = make_pair();
    std::thread reader([&pair, &c] {
      set_receive_timeout(pair.client, PATIENCE);
      std::vector<char> buffer(c.read_size);
      for (int reads = 0; reads < 100000; ++reads) {
        const ssize_t got = ::recv(pair.client.get(), buffer.data(), buffer.size(), 0);
        if (got <= 0 && !(got < 0 && errno == EINTR)) break;
        std::this_thread::sleep_for(10ms);
      }
    });
    ExchangeBudget budget(Clock::now(), SMALL_LIMITS);
    const std::optional<IoError> error = send_all(pair.server.get(), answer, PATIENCE, &budget);
    pair.server.close();
    reader.join();
    if (c.whole) {
      EXPECT_FALSE(error.has_value()) << error->text;
    } else {
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->text, TIMED_OUT);
    }
  }
}

// An answer that takes the server longer than the first transfer time to make, and is
// larger than the socket's buffers, still reaches a client that reads it at once.
TEST(Exchange, TheServersOwnWorkIsNotCountedAgainstTheClient) {
  Pair pair = make_pair();
  const Responder slow_server{
      [](const RequestHead&, RequestReader&, IoError&) -> std::optional<Reply> {
        std::this_thread::sleep_for(SMALL_LIMITS.first_transfer_time + 500ms);
        return Reply{"HTTP/1.1 200 OK\r\n\r\n", std::string(4 << 20, 'a')};
      },
      [](std::string_view, std::size_t) { return std::string(); },
      std::nullopt,
      {}};
  send_text(pair.client, "GET / HTTP/1.1\r\n\r\n");
  std::thread server(
      [&pair, &slow_server] { serve_exchange(std::move(pair.server), SMALL_LIMITS, slow_server); });
  const std::string answer = receive_all(pair.client);
  server.join();
  EXPECT_EQ(answer.size(), std::string_view("HTTP/1.1 200 OK\r\n\r\n").size() + (4 << 20));
}

// Work that runs out of memory is answered with the server's fixed 503, which reads as its
// own answer head would write it.
TEST(Exchange, RunningOutOfMemoryIsAnsweredWithTheFixedAnswer) {
  EXPECT_EQ(lab_out_of_memory_answer(), lab_answer_head(STATUS_UNAVAILABLE, TYPE_JSON,
                                                        OUT_OF_MEMORY_BODY.size(), std::nullopt) +
                                            std::string(OUT_OF_MEMORY_BODY));
  EXPECT_EQ(serve_out_of_memory_answer(),
            serve_answer_head(STATUS_UNAVAILABLE, TYPE_JSON, OUT_OF_MEMORY_BODY.size()) +
                std::string(OUT_OF_MEMORY_BODY));
  Pair pair = make_pair();
  const Responder starved{[](const RequestHead&, RequestReader&, IoError&) -> std::optional<Reply> {
                            throw std::bad_alloc();
                          },
                          [](std::string_view, std::size_t) { return std::string(); }, std::nullopt,
                          lab_out_of_memory_answer()};
  send_text(pair.client, "GET / HTTP/1.1\r\n\r\n");
  testing::internal::CaptureStderr();
  serve_exchange(std::move(pair.server), SMALL_LIMITS, starved);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "request failed: out of memory\n");
  EXPECT_EQ(receive_all(pair.client), lab_out_of_memory_answer());
}

// Slow clients of every kind fill every place: a real request waits in the listen queue
// until the first of them is cut off, then is answered; none of the slow ones is.
TEST(AcceptLoop, ARealRequestGetsThePlaceOfTheFirstSlowClientCutOff) {
  int error_number = 0;
  std::optional<Listener> listener = listen_loopback(0, error_number);
  ASSERT_TRUE(listener.has_value()) << error_number;
  std::mutex mutex;
  std::vector<std::string> events;
  std::atomic<int> accepted{0};
  const ConnectionHandler handler = [&](Socket connection) {
    const std::string name = std::to_string(accepted.fetch_add(1));
    {
      const std::lock_guard lock(mutex);
      events.push_back("start " + name);
    }
    handle_lab_connection(std::move(connection), SMALL_LIMITS);
    const std::lock_guard lock(mutex);
    events.push_back("end " + name);
  };
  constexpr std::size_t SLOW_CLIENTS = 3;
  std::thread loop([&] {
    accept_connections(*listener, handler, start_detached_thread, SLOW_CLIENTS, SLOW_CLIENTS + 1);
  });
  std::vector<Socket> slow;
  std::vector<std::thread> tricklers;
  slow.push_back(connect_loopback(listener->port));  // idle
  slow.push_back(connect_loopback(listener->port));
  send_text(slow.back(), "GET / HT");
  tricklers.push_back(trickle(slow.back(), "x", 20ms, 400));
  slow.push_back(connect_loopback(listener->port));
  send_text(slow.back(), "POST /api/parse HTTP/1.1\r\nContent-Length: 1000\r\n\r\n");
  tricklers.push_back(trickle(slow.back(), " ", 20ms, 400));
  // The slow clients are accepted first: they fill every place.
  for (int waits = 0; waits < 500 && accepted.load() < 3; ++waits)
    std::this_thread::sleep_for(10ms);
  ASSERT_EQ(accepted.load(), 3);

  Socket real = connect_loopback(listener->port);
  send_text(real, "GET / HTTP/1.1\r\n\r\n");
  set_receive_timeout(real, 4 * PATIENCE);
  const std::string answer = receive_all(real);
  EXPECT_EQ(answer.substr(0, 15), "HTTP/1.1 200 OK");
  for (const Socket& client : slow) EXPECT_EQ(receive_all(client), "");
  for (Socket& client : slow) client.close();
  for (std::thread& trickler : tricklers) trickler.join();
  loop.join();
  for (int waits = 0; waits < 500; ++waits) {
    {
      const std::lock_guard lock(mutex);
      if (events.size() == 8) break;
    }
    std::this_thread::sleep_for(10ms);
  }
  const std::lock_guard lock(mutex);
  ASSERT_EQ(events.size(), 8u);
  const auto at = [&](std::string_view event) {
    return std::find(events.begin(), events.end(), event) - events.begin();
  };
  // The real request started only once a slow one had ended.
  const auto first_end = std::min({at("end 0"), at("end 1"), at("end 2")});
  EXPECT_LT(first_end, at("start 3"));
}

TEST(Listener, ABusyPortIsRefusedWithTheSystemsText) {
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
