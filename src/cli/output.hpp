#pragma once

// The two output streams of one command-line run, written straight to file descriptors 1
// and 2 (never through C stdio or iostreams, so nothing waits in a library buffer when
// the run returns, and a host process's own stdio state is not touched).
//
// Standard output is collected in a buffer of this object and written in large pieces;
// before anything goes to standard error the buffer is written out, so that the two
// streams keep the order in which lines were produced. A write that fails (a closed pipe,
// a full disk) marks its stream as failed: one line on standard error names the stream and
// the system's message ("veltrane: cannot write standard output: No space left on device
// (os error 28)"), later text for that stream is dropped and the write is never retried.

#include <cstddef>
#include <string>
#include <string_view>

namespace veltrane::cli {

class Output {
 public:
  Output() = default;
  // Writes out what is still buffered.
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Adds text for standard output.
  void out(std::string_view text);
  // Writes buffered standard output, then `text` to standard error in one piece.
  void err(std::string_view text);
  // Writes buffered standard output.
  void flush();

  // True once a write to either stream has failed.
  [[nodiscard]] bool failed() const { return out_failed_ || err_failed_; }

 private:
  // Marks the stream failed and says so once on standard error.
  void report_failure(bool standard_output, int error_number);

  std::string out_buffer_;
  bool out_failed_ = false;
  bool err_failed_ = false;
};

}  // namespace veltrane::cli
