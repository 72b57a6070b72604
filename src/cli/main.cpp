// The `veltrane` executable: the command line with every command, `serve` included.

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli.hpp"
#include "cli/output.hpp"
#include "syntax/stop.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  args.reserve(argc > 1 ? static_cast<std::size_t>(argc - 1) : 0);
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  try {
    return veltrane::cli::run_cli(args, true);
  } catch (const veltrane::syntax::InternalStop& stop) {
    // A broken internal invariant: say which, and end the way a failed assertion would.
    std::string message = "veltrane: internal error: ";
    message.append(stop.message.empty() ? "(no message)" : stop.message);
    message.push_back('\n');
    (void)veltrane::cli::write_all(2, message);
    std::abort();
  }
}
