#include "cli/whole_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <system_error>

#include "syntax/write_all.hpp"

namespace veltrane::cli {

namespace {

// Holds back the signals that end a run from a terminal or a supervisor for its lifetime;
// one that came meanwhile is delivered when it ends.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal_number);
    active_ = ::pthread_sigmask(SIG_BLOCK, &held, &previous_) == 0;
  }
  ~HeldSignals() {
    if (active_) ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t previous_{};
  bool active_ = false;
};

// The file a write to `path` replaces: the path itself, or the file its symbolic link names.
std::string replaced_file(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  std::error_code error;
  const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
  return error ? path : target.string();
}

// ".NAME.PID.part" in the folder of `path`.
std::string temporary_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::string temporary = path.substr(0, name_start);
  temporary.push_back('.');
  temporary.append(path, name_start);
  temporary.push_back('.');
  temporary.append(std::to_string(::getpid()));
  temporary.append(".part");
  return temporary;
}

// Creates the temporary file; one left by an earlier process of the same number (which
// cannot still be running) is removed first. The descriptor, or -1 with errno set.
int create_temporary(const std::string& temporary) {
  constexpr int FLAGS = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  int descriptor = ::open(temporary.c_str(), FLAGS, 0666);
  if (descriptor < 0 && errno == EEXIST && ::unlink(temporary.c_str()) == 0) {
    descriptor = ::open(temporary.c_str(), FLAGS, 0666);
  }
  return descriptor;
}

// Writes, flushes and closes the open temporary file; 0 or the error number. The
// descriptor is closed in every case.
int fill_and_close(int descriptor, std::string_view bytes, const struct stat* replaced) {
  if (replaced != nullptr && ::fchmod(descriptor, replaced->st_mode & 07777) != 0) {
    // A file system without permission bits (FAT, say) still takes the bytes.
  }
  int error = 0;
  if (!syntax::write_all(descriptor, bytes)) error = errno != 0 ? errno : EIO;
  if (error == 0 && ::fsync(descriptor) != 0) error = errno;
  if (::close(descriptor) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

int write_whole_file(const std::string& path, std::string_view bytes) {
  if (path.find('\0') != std::string::npos) return EINVAL;
  const std::string target = replaced_file(path);
  const std::string temporary = temporary_name(target);
  struct stat replaced {};
  const bool replaces_file = ::stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode);

  const HeldSignals held;
  const int descriptor = create_temporary(temporary);
  if (descriptor < 0) return errno;
  int error = fill_and_close(descriptor, bytes, replaces_file ? &replaced : nullptr);
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

}  // namespace veltrane::cli
