#include "syntax/write_all.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace veltrane::syntax {

namespace {

constexpr int STANDARD_ERROR = 2;

}  // namespace

bool write_all(int file_descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(file_descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void write_failure_line(std::initializer_list<std::string_view> pieces) noexcept {
  char line[1024];
  std::size_t used = 0;
  for (const std::string_view piece : pieces) {
    if (used + piece.size() > sizeof line) {
      (void)write_all(STANDARD_ERROR, std::string_view(line, used));
      used = 0;
    }
    if (piece.size() > sizeof line) {
      (void)write_all(STANDARD_ERROR, piece);
    } else {
      piece.copy(line + used, piece.size());
      used += piece.size();
    }
  }
  (void)write_all(STANDARD_ERROR, std::string_view(line, used));
}

}  // namespace veltrane::syntax
