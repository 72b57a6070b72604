// The routes of the Lab and of the test page, driven over a socket pair, and the pieces
// they are built from: samples, body members, report inputs and the "micros" member.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "api/analysis_options.hpp"
#include "lexer/oracle_version.hpp"
#include "report/file_analysis.hpp"
#include "report/version_arg.hpp"
#include "server/http.hpp"
#include "server/json_body.hpp"
#include "server/lab.hpp"
#include "server/test_page.hpp"

namespace veltrane::server {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

using Handler = void (*)(Socket, const ExchangeLimits&);

// Sends `request` to `handler` over a socket pair, closes the sending side, and returns
// everything the handler answers until it closes.
std::string exchange(Handler handler, std::string_view request) {
  int descriptors[2];
  EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, descriptors), 0);
  Socket client(descriptors[0]);
  ExchangeLimits limits;
  limits.progress_timeout = 5000ms;
  std::thread server(
      [handler, descriptor = descriptors[1], &limits] { handler(Socket(descriptor), limits); });
  std::thread writer([&client, request] {
    (void)send_all(client.get(), request, 120000ms);
    ::shutdown(client.get(), SHUT_WR);
  });
  // Generous: the handler may work a long while on a 20 MiB body in a sanitizer build on a
  // busy machine before its first byte comes back.
  const timeval patience{120, 0};
  EXPECT_EQ(::setsockopt(client.get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience), 0);
  std::string answer;
  char buffer[8192];
  for (int reads = 0; reads < 1000000; ++reads) {
    const ssize_t got = ::recv(client.get(), buffer, sizeof buffer, 0);
    if (got > 0) {
      answer.append(buffer, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  writer.join();
  server.join();
  return answer;
}

void lab_handler(Socket connection, const ExchangeLimits& limits) {
  handle_lab_connection(std::move(connection), limits);
}

void serve_handler(Socket connection, const ExchangeLimits& limits) {
  handle_serve_connection(std::move(connection), limits);
}

std::string post(std::string_view path, std::string_view body, std::string_view extra = "") {
  std::string request = "POST ";
  request.append(path).append(" HTTP/1.1\r\nHost: 127.0.0.1:8790\r\n");
  request.append(extra);
  request.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n\r\n");
  request.append(body);
  return request;
}

struct Split {
  std::string status_line;
  std::string head;
  std::string body;
};

Split split_answer(const std::string& answer) {
  Split split;
  const std::size_t line_end = answer.find("\r\n");
  const std::size_t head_end = answer.find("\r\n\r\n");
  if (line_end == std::string::npos || head_end == std::string::npos) return split;
  split.status_line = answer.substr(0, line_end);
  split.head = answer.substr(0, head_end + 4);
  split.body = answer.substr(head_end + 4);
  return split;
}

TEST(LabRoutes, AnswersByMethodAndPath) {
  struct Case {
    const char* name;
    std::string request;
    std::string_view status_line;
    std::string_view content_type;
    std::string_view body_start;
  };
  const Case cases[] = {
      {"page", "GET / HTTP/1.1\r\nHost: localhost:8790\r\n\r\n", "HTTP/1.1 200 OK",
       "text/html; charset=utf-8", "<!"},
      {"page by name", "GET /index.html HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK",
       "text/html; charset=utf-8", "<!"},
      {"samples", "GET /api/samples HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK", "application/json",
       "[{\"name\":\"Data warehouse tables (DDL)\",\"text\":"},
      {"parse by GET", "GET /api/parse HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", "text/plain",
       "not found"},
      {"POST to the page", "POST / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", "text/plain",
       "not found"},
      {"lower-case method", "get / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", "text/plain",
       "not found"},
      {"query string", "GET /index.html?x=1 HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found",
       "text/plain", "not found"},
      {"empty request", "", "HTTP/1.1 404 Not Found", "text/plain", "not found"},
      {"foreign host", "GET / HTTP/1.1\r\nHost: example:8790\r\n\r\n", "HTTP/1.1 403 Forbidden",
       "text/plain", "Veltrane Lab answers on 127.0.0.1 only"},
      {"foreign host on a missing route", "GET /x HTTP/1.1\r\nHost: [::1]\r\n\r\n",
       "HTTP/1.1 403 Forbidden", "text/plain", "Veltrane Lab answers on 127.0.0.1 only"},
      {"body over 64 MiB, unread", "POST /api/parse HTTP/1.1\r\nContent-Length: 67108865\r\n\r\n",
       "HTTP/1.1 413 Payload Too Large", "text/plain", "larger than 64 MiB"},
      {"report body over 64 MiB",
       "POST /api/report HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n",
       "HTTP/1.1 413 Payload Too Large", "text/plain", "larger than 64 MiB"},
      {"parse of an empty body", post("/api/parse", ""), "HTTP/1.1 200 OK", "application/json",
       "{\"bytes\":0,\"classes\":[],"},
      {"parse of a body that is not JSON", post("/api/parse", "{\"source\":"), "HTTP/1.1 200 OK",
       "application/json", "{\"bytes\":0,"},
      {"parse with a bad version", post("/api/parse", R"({"version":"19.x"})"), "HTTP/1.1 200 OK",
       "application/json",
       R"j({"error":"19.x is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)"})j"},
      {"report with a bad version", post("/api/report", R"({"version":"nine"})"),
       "HTTP/1.1 400 Bad Request", "text/plain",
       "nine is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)"},
      {"unknown report file", post("/api/report", R"({"file":"nope.txt"})"),
       "HTTP/1.1 404 Not Found", "text/plain", "no such report file"},
      {"report file by name", post("/api/report", R"({"file":"files.csv"})"), "HTTP/1.1 200 OK",
       "text/csv; charset=utf-8", ""},
      {"report json", post("/api/report", R"({"file":"report.json"})"), "HTTP/1.1 200 OK",
       "application/json", "{"},
      {"report page", post("/api/report", R"({"file":"report.html"})"), "HTTP/1.1 200 OK",
       "text/html; charset=utf-8", "<!"},
      {"archive by default", post("/api/report", "{}"), "HTTP/1.1 200 OK", "application/zip", "PK"},
      {"archive when file is a number", post("/api/report", R"({"file":7})"), "HTTP/1.1 200 OK",
       "application/zip", "PK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Split answer = split_answer(exchange(lab_handler, c.request));
    EXPECT_EQ(answer.status_line, c.status_line);
    EXPECT_NE(answer.head.find("\r\nContent-Type: " + std::string(c.content_type) + "\r\n"),
              std::string::npos)
        << answer.head;
    EXPECT_NE(answer.head.find("\r\nContent-Length: " + std::to_string(answer.body.size())),
              std::string::npos);
    EXPECT_EQ(answer.body.substr(0, c.body_start.size()), c.body_start);
  }
}

TEST(LabRoutes, AttachmentsNameTheFile) {
  struct Case {
    std::string_view file;
    std::string_view disposition;
  };
  const Case cases[] = {
      {"", "attachment; filename=\"veltrane-report.zip\""},
      {"report.zip", "attachment; filename=\"veltrane-report.zip\""},
      {"statements.csv", "attachment; filename=\"statements.csv\""},
      {"report.json", "attachment; filename=\"report.json\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file));
    const std::string body =
        c.file.empty() ? std::string("{}") : R"({"file":")" + std::string(c.file) + "\"}";
    const Split answer = split_answer(exchange(lab_handler, post("/api/report", body)));
    EXPECT_NE(answer.head.find("\r\nContent-Disposition: " + std::string(c.disposition) + "\r\n"),
              std::string::npos)
        << answer.head;
  }
  // Only attachments carry the header.
  const Split samples = split_answer(exchange(lab_handler, "GET /api/samples HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(samples.head.find("Content-Disposition"), std::string::npos);
}

TEST(LabRoutes, ParseAnswersTheFileAnalysisWithTrees) {
  const Split answer = split_answer(
      exchange(lab_handler, post("/api/parse", R"({"source":"select * from dual;\n"})")));
  const Json value = Json::parse(answer.body);
  EXPECT_EQ(value["name"], "input.sql");
  EXPECT_EQ(value["bytes"], 20);
  EXPECT_EQ(value["lines"], 1);
  EXPECT_EQ(value["version"], "26ai");
  EXPECT_EQ(value["classes"].dump(), R"([[0,6,"kw"],[7,8,"op"],[9,13,"kw"],[14,18,"id"]])");
  ASSERT_EQ(value["items"].size(), 1u);
  EXPECT_EQ(value["items"][0]["s"], 0);
  EXPECT_EQ(value["items"][0]["e"], 18);
  EXPECT_EQ(value["items"][0]["tree"]["k"], "SelectStmt");
}

TEST(LabRoutes, ParseReadsOnlyStringMembers) {
  struct Case {
    const char* name;
    std::string body;
    std::string_view file_name;
    std::string_view version;
    uint64_t bytes;
  };
  const Case cases[] = {
      {"version as a number", R"({"source":"select 1 from dual","version":19})", "input.sql",
       "26ai", 18},
      {"name and version", R"({"name":"a.sql","source":"select 1","version":"19c"})", "a.sql",
       "19c", 8},
      {"blank version", R"({"source":"x","version":"  "})", "input.sql", "26ai", 1},
      {"source as an array", R"({"source":["select 1"]})", "input.sql", "26ai", 0},
      {"body is an array", R"([{"source":"select 1"}])", "input.sql", "26ai", 0},
      {"nested too deep", std::string(129, '[') + std::string(129, ']'), "input.sql", "26ai", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Split answer = split_answer(exchange(lab_handler, post("/api/parse", c.body)));
    ASSERT_EQ(answer.status_line, "HTTP/1.1 200 OK");
    const Json value = Json::parse(answer.body);
    EXPECT_EQ(value["name"], c.file_name);
    EXPECT_EQ(value["version"], c.version);
    EXPECT_EQ(value["bytes"], c.bytes);
  }
}

// The answer's JSON without its parse times.
Json without_times(const std::string& body) {
  Json value = Json::parse(body);
  value.erase("micros");
  for (Json& item : value["items"]) item.erase("micros");
  return value;
}

TEST(LabRoutes, AHugeIgnoredMemberIsAnsweredAsTheBodyWithoutIt) {
  const std::string plain = R"({"source":"select 1 from dual;","version":"19c"})";
  std::string padded = R"({"pad":[)";
  for (int i = 0; i < 1'000'000; ++i) padded.append("0,");
  padded.append(R"({"source":"ignored"}],"source":"select 1 from dual;","version":"19c"})");
  const Split expected = split_answer(exchange(lab_handler, post("/api/parse", plain)));
  const Split answer = split_answer(exchange(lab_handler, post("/api/parse", padded)));
  ASSERT_EQ(answer.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(without_times(answer.body), without_times(expected.body));
}

TEST(LabRoutes, SourceLimitIsTwentyMebibytes) {
  struct Case {
    std::size_t source_bytes;
    std::string_view status_line;
  };
  const Case cases[] = {
      {20u * 1024 * 1024, "HTTP/1.1 200 OK"},
      {20u * 1024 * 1024 + 1, "HTTP/1.1 413 Payload Too Large"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source_bytes);
    // A comment: the cheapest text to analyse.
    std::string source = "--";
    source.append(c.source_bytes - 2, 'x');
    const Split answer =
        split_answer(exchange(lab_handler, post("/api/parse", R"({"source":")" + source + "\"}")));
    EXPECT_EQ(answer.status_line, c.status_line);
    if (c.status_line != "HTTP/1.1 200 OK") {
      EXPECT_EQ(answer.body, "a file larger than 20 MiB: use veltrane report for it");
    }
  }
}

TEST(LabRoutes, ABodyCutShortGetsNoAnswer) {
  struct Case {
    const char* name;
    std::string request;
  };
  const Case cases[] = {
      {"at the limit, nothing sent",
       "POST /api/parse HTTP/1.1\r\nContent-Length: 67108864\r\n\r\n"},
      {"half sent", "POST /api/report HTTP/1.1\r\nContent-Length: 10\r\n\r\n{\"a\""},
      {"head too large", "GET /" + std::string(70000, 'a') + " HTTP/1.1\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(exchange(lab_handler, c.request), "");
  }
  // The test page reads a body of exactly 50 MiB too.
  EXPECT_EQ(
      exchange(serve_handler, "POST /api/analyze HTTP/1.1\r\nContent-Length: 52428800\r\n\r\n"),
      "");
}

TEST(LabSamples, FiveTitledScriptsThatParseWithoutErrors) {
  const std::vector<std::string_view> titles = {
      "Data warehouse tables (DDL)", "Package: load dimensions", "INSERT ALL into several tables",
      "Dynamic SQL in anonymous blocks", "Queries: analytics, PIVOT, MATCH_RECOGNIZE"};
  ASSERT_EQ(lab_samples().size(), titles.size());
  const report::VersionArg version = report::parse_version_arg(std::nullopt);
  for (std::size_t i = 0; i < titles.size(); ++i) {
    const LabSample& sample = lab_samples()[i];
    SCOPED_TRACE(sample.title);
    EXPECT_EQ(sample.title, titles[i]);
    const Json analysis =
        Json::parse(report::file_analysis_json(sample.title, sample.text, version.options));
    EXPECT_EQ(analysis["counts"]["errors"], 0);
    EXPECT_GT(analysis["counts"]["statements"].get<uint64_t>(), 0u);
  }
  EXPECT_EQ(lab_samples()[4].text.substr(0, lab_samples()[4].text.find('\n')),
            "-- A few constructs Veltrane reads: analytics, PIVOT, MATCH_RECOGNIZE, MERGE");
  EXPECT_NE(lab_samples()[1].text.find("-- @dyn DYN-19 D2"), std::string_view::npos);
  EXPECT_NE(lab_samples()[0].text.find("must expand the column list from the dictionary"),
            std::string_view::npos);
  EXPECT_NE(lab_samples()[0].text.find("Dictionary comments carry business meaning"),
            std::string_view::npos);

  const Json samples = samples_json();
  ASSERT_EQ(samples.size(), 5u);
  EXPECT_EQ(samples[2]["name"], titles[2]);
  EXPECT_EQ(samples[2]["text"], lab_samples()[2].text);
}

TEST(Pages, LoadNothingFromElsewhere) {
  struct Case {
    const char* name;
    std::string_view page;
    std::string_view title;
  };
  const Case cases[] = {
      {"lab", lab_page(), "<title>Veltrane Lab</title>"},
      {"test page", test_page(), "<title>Veltrane Playground</title>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.page.substr(0, 15), "<!doctype html>");
    EXPECT_NE(c.page.find(c.title), std::string_view::npos);
    // No browser asks for /favicon.ico, and nothing is loaded from anywhere else.
    EXPECT_NE(c.page.find("<link rel=\"icon\" href=\"data:,\">"), std::string_view::npos);
    for (const std::string_view outside : {"<script src", "rel=\"stylesheet\"", "@import",
                                           "url(http", "src=\"http", "href=\"http"}) {
      EXPECT_EQ(c.page.find(outside), std::string_view::npos) << outside;
    }
  }
}

TEST(LabBody, KeepsOnlyTheWantedMembersOfOneObject) {
  constexpr std::array<std::string_view, 2> TEXTS = {"source", "version"};
  using Texts = std::vector<std::optional<std::string>>;
  struct Case {
    const char* name;
    std::string body;
    Texts texts;
  };
  const Case cases[] = {
      {"both", R"({"version":"19c","source":"select 1"})", {"select 1", "19c"}},
      {"others skipped",
       R"({"a":{"source":"x"},"source":"s","b":[["version"],"v"]})",
       {"s", std::nullopt}},
      {"not strings", R"({"source":1,"version":{"a":"b"}})", {std::nullopt, std::nullopt}},
      {"a later string replaces", R"({"source":1,"source":"s"})", {"s", std::nullopt}},
      {"a later non-string replaces",
       R"({"source":"s","source":[]})",
       {std::nullopt, std::nullopt}},
      {"escapes read", R"({"source":"a\"\u00e9\n"})", {"a\"\xC3\xA9\n", std::nullopt}},
      {"body an array", R"([{"source":"s"}])", {std::nullopt, std::nullopt}},
      {"body a string", R"("source")", {std::nullopt, std::nullopt}},
      {"empty body", "", {std::nullopt, std::nullopt}},
      {"trailing text", R"({"source":"s"} x)", {std::nullopt, std::nullopt}},
      {"cut short", R"({"source":"s","version":)", {std::nullopt, std::nullopt}},
      {"byte-order mark", "\xEF\xBB\xBF{\"source\":\"s\"}", {std::nullopt, std::nullopt}},
      {"NUL after the value",
       std::string(R"({"source":"s"})") + '\0',
       {std::nullopt, std::nullopt}},
      {"nested 128 deep",
       R"({"source":"s","x":)" + std::string(127, '[') + std::string(127, ']') + "}",
       {"s", std::nullopt}},
      {"nested 129 deep",
       R"({"source":"s","x":)" + std::string(128, '[') + std::string(128, ']') + "}",
       {std::nullopt, std::nullopt}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BodyMembers members = read_body_members(c.body, WantedMembers{TEXTS, std::nullopt});
    EXPECT_EQ(members.texts, c.texts);
    EXPECT_FALSE(members.list.has_value());
  }
}

TEST(LabBody, ReportInputsFromFiles) {
  constexpr std::array<std::string_view, 1> TEXTS = {"file"};
  struct Case {
    const char* name;
    std::string files;
    std::vector<std::pair<std::string, std::string>> inputs;
  };
  const Case cases[] = {
      {"two files",
       R"([{"name":"a.sql","text":"select 1"},{"name":"b.sql","text":""}])",
       {{"a.sql", "select 1"}, {"b.sql", ""}}},
      {"missing members",
       R"([{}, {"name":5,"text":null}])",
       {{"input.sql", ""}, {"input.sql", ""}}},
      {"element not an object",
       R"([1, "x", null, ["name"]])",
       {{"input.sql", ""}, {"input.sql", ""}, {"input.sql", ""}, {"input.sql", ""}}},
      {"nested members skipped",
       R"([{"x":{"name":"n","text":"t"},"name":"a","text":{"text":"t"}}])",
       {{"a", ""}}},
      {"a later member replaces", R"([{"name":"a","name":"b","text":"t","text":1}])", {{"b", ""}}},
      {"files an object", R"({"a":1})", {}},
      {"files a string", R"("a.sql")", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BodyMembers members =
        read_body_members(R"({"file":"f","files":)" + c.files + "}", WantedMembers{TEXTS, "files"});
    EXPECT_EQ(members.texts[0], "f");
    const std::vector<report::SourceInput> inputs = members.list.has_value()
                                                        ? report_inputs(std::move(*members.list))
                                                        : std::vector<report::SourceInput>();
    ASSERT_EQ(inputs.size(), c.inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      EXPECT_EQ(inputs[i].name, c.inputs[i].first);
      EXPECT_EQ(inputs[i].text, c.inputs[i].second);
    }
  }
  // The last "files" counts.
  const BodyMembers replaced =
      read_body_members(R"({"files":[{"name":"a"}],"files":0})", WantedMembers{TEXTS, "files"});
  EXPECT_FALSE(replaced.list.has_value());
}

TEST(TestPage, OptionsReadAsTheOptionsTextReadsThem) {
  struct Case {
    std::string_view version;
    std::string_view ccflags;
  };
  const Case cases[] = {
      {"", ""},
      {"19c", "debug:TRUE, level:2"},
      {" 12.2 ", "a:'x', b:1e3, :5, c"},
      {"not a version", "A:1,a:2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " / " + std::string(c.ccflags));
    Json text = Json::object();
    text["version"] = std::string(c.version);
    text["ccflags"] = std::string(c.ccflags);
    const api::AnalysisOptions expected = api::read_analysis_options(text.dump());
    const api::AnalysisOptions options = analysis_options(c.version, c.ccflags);
    EXPECT_EQ(lexer::format_version(options.version), lexer::format_version(expected.version));
    EXPECT_EQ(options.ccflags, expected.ccflags);
    EXPECT_EQ(options.schema, expected.schema);
  }
}

TEST(TestPage, Routes) {
  struct Case {
    const char* name;
    std::string request;
    std::string_view status_line;
    std::string_view body_start;
  };
  const Case cases[] = {
      {"page", "GET / HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK", "<!"},
      {"page by name", "GET /index.html HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK", "<!"},
      {"analysis by GET", "GET /api/analyze HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found",
       "not found"},
      {"POST to the page", "POST / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", "not found"},
      {"near name", "GET /index.htm HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", "not found"},
      {"foreign host answered",
       post("/api/analyze", R"({"source":"select 1 from dual"})", "Host: example:8765\r\n"),
       "HTTP/1.1 200 OK", "{\"diagnostics\":"},
      {"over 50 MiB, unread", "POST /api/analyze HTTP/1.1\r\nContent-Length: 52428801\r\n\r\n",
       "HTTP/1.1 413 Payload Too Large", "the source is larger than 50 MiB"},
      {"body not JSON", post("/api/analyze", "select 1"), "HTTP/1.1 200 OK",
       "{\"diagnostics\":[],\"items\":[],\"lines\":1,\"micros\":"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Split answer = split_answer(exchange(serve_handler, c.request));
    EXPECT_EQ(answer.status_line, c.status_line);
    EXPECT_EQ(answer.body.substr(0, c.body_start.size()), c.body_start);
    EXPECT_EQ(answer.head.find("Content-Security-Policy"), std::string::npos);
    EXPECT_NE(answer.head.find("\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n"),
              std::string::npos);
  }
}

TEST(TestPage, AnalysisCarriesMicrosAndTheVersion) {
  const Split answer = split_answer(exchange(
      serve_handler, post("/api/analyze", R"({"source":"select 1","version":"19c","ccflags":1})")));
  const Json value = Json::parse(answer.body);
  EXPECT_TRUE(value["micros"].is_number_unsigned());
  EXPECT_EQ(value["version"], "19c");
  // A version that names none is analysed for the default, silently.
  const Split fallback = split_answer(
      exchange(serve_handler, post("/api/analyze", R"({"source":"select 1","version":"x"})")));
  EXPECT_EQ(Json::parse(fallback.body)["version"], "26ai");
}

}  // namespace
}  // namespace veltrane::server
