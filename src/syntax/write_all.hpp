#pragma once

// Writing to a file descriptor: the one loop that writes all of a text, and the one failure
// line of every face (the executable, the C functions, the servers' connection threads),
// which allocates nothing, so that it can say that memory ran out.

#include <initializer_list>
#include <string_view>

namespace veltrane::syntax {

// Writes all of `bytes` to `file_descriptor`, retrying after EINTR and after short writes.
// False, with errno set, when a write fails (EIO when one writes nothing).
[[nodiscard]] bool write_all(int file_descriptor, std::string_view bytes);

// Writes the pieces of one line to standard error, joined in a fixed buffer, so in one write
// when they fit in 1024 bytes; a failure is dropped. The caller gives the line's prefix and
// its line feed as pieces.
void write_failure_line(std::initializer_list<std::string_view> pieces) noexcept;

}  // namespace veltrane::syntax
