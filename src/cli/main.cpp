// The `veltrane` executable: the command line with every command, `serve` included.

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.hpp"
#include "cli/output.hpp"
#include "syntax/face_guard.hpp"

namespace {

// Writes "veltrane: {first}{second}\n" to standard error in one piece when that can be
// built, else piece by piece (after an exhausted allocator nothing more is asked of it).
void write_failure_line(std::string_view first, std::string_view second) {
  constexpr std::string_view PREFIX = "veltrane: ";
  char line[512];
  const std::size_t length = PREFIX.size() + first.size() + second.size() + 1;
  if (length <= sizeof line) {
    std::size_t used = 0;
    for (const std::string_view piece : {PREFIX, first, second, std::string_view("\n")}) {
      piece.copy(line + used, piece.size());
      used += piece.size();
    }
    (void)veltrane::cli::write_all(2, std::string_view(line, used));
    return;
  }
  for (const std::string_view piece : {PREFIX, first, second, std::string_view("\n")}) {
    (void)veltrane::cli::write_all(2, piece);
  }
}

}  // namespace

int main(int argc, char** argv) {
  return veltrane::syntax::guard_face(
      [&]() -> int {
        std::vector<std::string> args;
        args.reserve(argc > 1 ? static_cast<std::size_t>(argc - 1) : 0);
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        return veltrane::cli::run_cli(args, true);
      },
      [](const veltrane::syntax::FaceFailure& failure) -> int {
        using veltrane::syntax::FaceFailureKind;
        if (failure.kind == FaceFailureKind::OutOfMemory) {
          // Nothing is broken: the input asked for more memory than there is.
          write_failure_line(failure.message, {});
          return veltrane::cli::STATUS_FAILED;
        }
        // A broken internal invariant: say which, and end the way a failed assertion would.
        write_failure_line("internal error: ", failure.message);
        std::abort();
      });
}
