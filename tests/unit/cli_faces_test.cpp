// The face guard, the text written for a person's terminal, and how the command line
// reports a stream it cannot write.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cli/output.hpp"
#include "cli/text_format.hpp"
#include "redirected.hpp"
#include "syntax/face_guard.hpp"
#include "syntax/stop.hpp"

namespace veltrane::cli {
namespace {

namespace fs = std::filesystem;
using syntax::FaceFailure;
using syntax::FaceFailureKind;

struct GuardCase {
  const char* name;
  std::function<int()> body;
  FaceFailureKind kind;
  std::string_view message;
  std::string_view detail;
};

TEST(CliFaces, GuardTurnsWhatEscapesIntoAFailure) {
  const GuardCase cases[] = {
      {"stop", []() -> int { syntax::stop("checkpoint is stale"); }, FaceFailureKind::Stop,
       "checkpoint is stale", ""},
      {"stop without a message", []() -> int { throw syntax::InternalStop{}; },
       FaceFailureKind::Stop, syntax::STOP_WITHOUT_MESSAGE, ""},
      {"exhausted allocator", []() -> int { throw std::bad_alloc(); }, FaceFailureKind::OutOfMemory,
       "out of memory", ""},
      {"out of range", [] { return static_cast<int>(std::string_view("abc").substr(5).size()); },
       FaceFailureKind::Unexpected, syntax::UNEXPECTED_EXCEPTION, "basic_string_view::substr"},
      {"no std::exception", []() -> int { throw 7; }, FaceFailureKind::Unexpected,
       syntax::UNEXPECTED_EXCEPTION, ""},
  };
  for (const GuardCase& test : cases) {
    SCOPED_TRACE(test.name);
    bool failed = false;
    const int result = syntax::guard_face(test.body, [&](const FaceFailure& failure) {
      failed = true;
      EXPECT_EQ(failure.kind, test.kind);
      EXPECT_EQ(failure.message, test.message);
      // A library's what() text may say more than the part checked here.
      EXPECT_EQ(failure.detail.substr(0, test.detail.size()), test.detail);
      return -1;
    });
    EXPECT_TRUE(failed);
    EXPECT_EQ(result, -1);
  }
  const int result = syntax::guard_face([] { return 42; }, [](const FaceFailure&) { return -1; });
  EXPECT_EQ(result, 42);
}

struct TerminalCase {
  const char* name;
  std::string_view text;
  std::string_view expected;
};

constexpr TerminalCase TERMINAL_CASES[] = {
    {"plain text", "select 1", "select 1"},
    {"tab kept", "a\tb", "a\tb"},
    {"escape sequence", "\x1B[2J", "\xEF\xBF\xBD[2J"},
    {"title sequence ended by BEL", "\x1B]0;x\x07", "\xEF\xBF\xBD]0;x\xEF\xBF\xBD"},
    {"line feed and carriage return", "a\nb\r",
     "a\xEF\xBF\xBD"
     "b\xEF\xBF\xBD"},
    {"NUL", std::string_view("a\0b", 3),
     "a\xEF\xBF\xBD"
     "b"},
    {"DEL", "a\x7F", "a\xEF\xBF\xBD"},
    {"C1 controls U+0080 and U+009F", "\xC2\x80x\xC2\x9F", "\xEF\xBF\xBDx\xEF\xBF\xBD"},
    {"no-break space U+00A0 kept", "\xC2\xA0", "\xC2\xA0"},
    {"other non-ASCII kept", "\xC3\xA9\xE2\x82\xAC", "\xC3\xA9\xE2\x82\xAC"},
    {"empty", "", ""},
};

TEST(CliFaces, TextForATerminal) {
  for (const TerminalCase& test : TERMINAL_CASES) {
    SCOPED_TRACE(test.name);
    std::string shown = "<";
    append_for_terminal(shown, test.text);
    EXPECT_EQ(shown, "<" + std::string(test.expected));
  }
  std::string position;
  append_position_for_terminal(position, "a\x1B.sql", {3, 4});
  EXPECT_EQ(position, "a\xEF\xBF\xBD.sql:3:4");
}

using test_support::Redirected;

TEST(CliFaces, AFailedWriteIsReportedOnce) {
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (full < 0) GTEST_SKIP() << "no /dev/full";
  const fs::path capture_path =
      fs::temp_directory_path() / ("veltrane-faces-err-" + std::to_string(::getpid()) + ".txt");
  const int capture = ::open(capture_path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
  ASSERT_GE(capture, 0);
  bool failed = false;
  {
    const Redirected out(1, full);
    const Redirected err(2, capture);
    Output output;
    output.out("first\n");
    output.flush();
    output.out("second\n");
    output.err("a message\n");
    output.flush();
    failed = output.failed();
  }
  ::close(full);
  ::close(capture);
  const std::string written = test_support::file_bytes(capture_path);
  fs::remove(capture_path);
  EXPECT_TRUE(failed);
  EXPECT_EQ(written,
            "veltrane: cannot write standard output: No space left on device (os error 28)\n"
            "a message\n");
}

}  // namespace
}  // namespace veltrane::cli
