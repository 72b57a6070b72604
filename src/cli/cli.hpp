#pragma once

// The `veltrane` command line as one library function: the words after the program name
// in, an exit status out. Results go to standard output (file descriptor 1); counts,
// timings, messages and the usage text to standard error (file descriptor 2).

#include <cstdint>
#include <span>
#include <string>

namespace veltrane::cli {

// Exit statuses: 0 done, 1 a check or an operation failed, 2 the command line is wrong.
inline constexpr uint8_t STATUS_DONE = 0;
inline constexpr uint8_t STATUS_FAILED = 1;
inline constexpr uint8_t STATUS_USAGE = 2;

// Runs one command line. `args[0]` is the command word ("lex", "split", "parse", ...); the
// rest are its arguments. `allow_serve` offers the `serve` command (the executable does,
// the Python `cli` does not). Keeps no state between calls and touches no global state, so
// several calls may run at once on different threads. Borrows `args` for the call.
// A broken internal invariant propagates as syntax::InternalStop and an exhausted allocator
// as std::bad_alloc; the caller's face guard decides what they become.
[[nodiscard]] uint8_t run_cli(std::span<const std::string> args, bool allow_serve);

}  // namespace veltrane::cli
