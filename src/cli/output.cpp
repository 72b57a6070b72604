#include "cli/output.hpp"

#include <cerrno>
#include <string>

#include "cli/input_files.hpp"
#include "syntax/write_all.hpp"

namespace veltrane::cli {

namespace {

// Standard output is written once this much has gathered.
constexpr std::size_t OUT_BUFFER_LIMIT = 64 * 1024;

constexpr int STANDARD_OUTPUT = 1;
constexpr int STANDARD_ERROR = 2;

}  // namespace

Output::~Output() { flush(); }

void Output::out(std::string_view text) {
  if (out_failed_) return;
  if (out_buffer_.empty() && text.size() >= OUT_BUFFER_LIMIT) {
    // A large piece is written as it stands rather than copied first.
    if (!syntax::write_all(STANDARD_OUTPUT, text)) report_failure(true, errno);
    return;
  }
  out_buffer_.append(text);
  if (out_buffer_.size() >= OUT_BUFFER_LIMIT) flush();
}

void Output::err(std::string_view text) {
  flush();
  if (err_failed_) return;
  if (!syntax::write_all(STANDARD_ERROR, text)) report_failure(false, errno);
}

void Output::flush() {
  if (out_buffer_.empty()) return;
  if (!out_failed_ && !syntax::write_all(STANDARD_OUTPUT, out_buffer_)) report_failure(true, errno);
  out_buffer_.clear();
}

void Output::report_failure(bool standard_output, int error_number) {
  (standard_output ? out_failed_ : err_failed_) = true;
  std::string line = "veltrane: cannot write ";
  line.append(standard_output ? "standard output" : "standard error");
  line.append(": ");
  line.append(os_error_text(error_number));
  line.push_back('\n');
  // Tried once even when standard error itself failed: the failure may have been passing.
  if (!standard_output || !err_failed_) (void)syntax::write_all(STANDARD_ERROR, line);
}

}  // namespace veltrane::cli
