#pragma once

// Writing an output file whole: its bytes go to a temporary file beside it, which is
// flushed to the disk and renamed over the file only when every byte is written. An
// interrupted or failed write leaves the file as it was.

#include <string>
#include <string_view>

namespace veltrane::cli {

// Replaces the file at `path` (a symbolic link is followed: the file it names is replaced)
// with `bytes`, or creates it (rw-rw-rw- less the umask; a replaced file keeps its
// permission bits). The temporary file is named ".NAME.PID.part" in the same folder and is
// removed on every failure. SIGINT, SIGTERM and SIGHUP are held back while the file is
// written and renamed, so that one of them ends the run between two files. 0 or the error
// number.
[[nodiscard]] int write_whole_file(const std::string& path, std::string_view bytes);

}  // namespace veltrane::cli
