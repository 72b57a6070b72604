// The `veltrane` executable: the command line with every command, `serve` included.

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.hpp"
#include "cli/output.hpp"
#include "syntax/face_guard.hpp"
#include "syntax/write_all.hpp"

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
        using veltrane::syntax::write_failure_line;
        if (failure.kind == FaceFailureKind::OutOfMemory) {
          // Nothing is broken: the input asked for more memory than there is.
          write_failure_line({"veltrane: ", failure.message, "\n"});
          return veltrane::cli::STATUS_FAILED;
        }
        // A broken internal invariant: say which, and end the way a failed assertion would.
        write_failure_line({"veltrane: internal error: ", failure.message, "\n"});
        std::abort();
      });
}
