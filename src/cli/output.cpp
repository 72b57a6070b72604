#include "cli/output.hpp"

#include <unistd.h>

#include <cerrno>

namespace veltrane::cli {

namespace {

// Standard output is written once this much has gathered.
constexpr std::size_t OUT_BUFFER_LIMIT = 64 * 1024;

constexpr int STANDARD_OUTPUT = 1;
constexpr int STANDARD_ERROR = 2;

}  // namespace

bool write_all(int file_descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(file_descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

Output::~Output() { flush(); }

void Output::out(std::string_view text) {
  if (out_failed_) return;
  out_buffer_.append(text);
  if (out_buffer_.size() >= OUT_BUFFER_LIMIT) flush();
}

void Output::err(std::string_view text) {
  flush();
  if (err_failed_) return;
  if (!write_all(STANDARD_ERROR, text)) err_failed_ = true;
}

void Output::flush() {
  if (out_buffer_.empty()) return;
  if (!out_failed_ && !write_all(STANDARD_OUTPUT, out_buffer_)) out_failed_ = true;
  out_buffer_.clear();
}

}  // namespace veltrane::cli
