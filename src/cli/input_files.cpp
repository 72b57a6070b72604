#include "cli/input_files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "cli/output.hpp"
#include "cli/text_format.hpp"
#include "report/file_errors.hpp"
#include "server/http.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/tree.hpp"

namespace veltrane::cli {

namespace {

constexpr std::string_view KELVIN_SIGN = "\xE2\x84\xAA";

constexpr std::string_view NOT_A_REGULAR_FILE = "not a regular file";
constexpr std::string_view PATH_HOLDS_NUL = "path contains a NUL byte";
constexpr std::string_view FILE_TOO_LARGE = "file too large (2 GiB or more)";

// The components of a path, one at a time; empty components (repeated "/") are passed over.
struct ComponentCursor {
  std::string_view rest;

  std::optional<std::string_view> next() {
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    if (rest.empty()) return std::nullopt;
    const std::size_t slash = rest.find('/');
    const std::string_view component = rest.substr(0, slash);
    rest.remove_prefix(component.size());
    return component;
  }
};

bool path_less(std::string_view left, std::string_view right) {
  ComponentCursor left_cursor{left};
  ComponentCursor right_cursor{right};
  while (true) {
    const std::optional<std::string_view> left_component = left_cursor.next();
    const std::optional<std::string_view> right_component = right_cursor.next();
    if (!right_component) return false;
    if (!left_component) return true;
    if (*left_component != *right_component) return *left_component < *right_component;
  }
}

InputFile listed_file(std::string path) {
  InputFile file;
  file.name = syntax::lossy_utf8(path);
  file.path = std::move(path);
  return file;
}

InputFile refused_path(std::string_view path, std::string problem, bool listed) {
  InputFile file = listed_file(std::string(path));
  file.problem = std::move(problem);
  file.listed = listed;
  return file;
}

// A named PATH that no command can read at all (see InputFile::named_unreadable).
InputFile unreadable_path(std::string_view path, std::string_view problem) {
  InputFile file = refused_path(path, std::string(problem), has_sql_extension(path));
  file.named_unreadable = true;
  return file;
}

bool is_hidden(std::string_view entry_path) {
  const std::size_t slash = entry_path.rfind('/');
  const std::string_view name =
      slash == std::string_view::npos ? entry_path : entry_path.substr(slash + 1);
  return !name.empty() && name.front() == '.';
}

// One folder of the walk: its sorted entry paths, the next one to visit, and its identity
// (device and inode), which tells a folder reached again through a symbolic link.
struct FolderFrame {
  std::vector<std::string> entries;
  std::size_t next = 0;
  dev_t device = 0;
  ino_t inode = 0;
};

// The next entry of an open folder as a path, "." and ".." left out; none at the end or
// when the folder cannot be read further.
std::optional<std::string> next_readable_entry(DIR* folder, std::string_view folder_path) {
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(folder);
    if (entry == nullptr) return std::nullopt;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    return join_entry(folder_path, name);
  }
}

// Reads a folder's entries, sorts them and pushes its frame; the error number when the
// folder cannot be opened, else 0. Holds one folder handle at a time.
int open_folder(const std::string& folder_path, const struct stat& status,
                std::vector<FolderFrame>& stack) {
  DIR* folder = ::opendir(folder_path.c_str());
  if (folder == nullptr) return errno == 0 ? EIO : errno;
  FolderFrame frame;
  frame.device = status.st_dev;
  frame.inode = status.st_ino;
  while (std::optional<std::string> entry = next_readable_entry(folder, folder_path)) {
    frame.entries.push_back(std::move(*entry));
  }
  ::closedir(folder);
  sort_paths(frame.entries);
  stack.push_back(std::move(frame));
  return 0;
}

bool on_walk_path(const std::vector<FolderFrame>& stack, const struct stat& status) {
  return std::any_of(stack.begin(), stack.end(), [&](const FolderFrame& frame) {
    return frame.device == status.st_dev && frame.inode == status.st_ino;
  });
}

// Walks a folder depth first. Returns the error number when the folder itself cannot be
// opened, else 0.
int walk_folder(const std::string& folder_path, const struct stat& status,
                std::vector<InputFile>& files) {
  std::vector<FolderFrame> stack;
  if (const int error = open_folder(folder_path, status, stack); error != 0) return error;
  while (!stack.empty()) {
    FolderFrame& top = stack.back();
    if (top.next == top.entries.size()) {
      stack.pop_back();
      continue;
    }
    std::string entry = std::move(top.entries[top.next]);
    ++top.next;
    if (is_hidden(entry)) continue;
    struct stat entry_status {};
    if (::stat(entry.c_str(), &entry_status) != 0) {
      // A dangling link or a vanished entry: taken by its name, its reading then fails.
      if (has_sql_extension(entry)) files.push_back(listed_file(std::move(entry)));
      continue;
    }
    if (S_ISDIR(entry_status.st_mode)) {
      if (!on_walk_path(stack, entry_status)) (void)open_folder(entry, entry_status, stack);
      continue;
    }
    if (S_ISREG(entry_status.st_mode) && has_sql_extension(entry)) {
      files.push_back(listed_file(std::move(entry)));
    }
  }
  return 0;
}

// Lower-cases an extension into `lower` when that can give ASCII; false otherwise.
bool lower_extension(std::string_view extension, std::string& lower) {
  lower.clear();
  for (std::size_t i = 0; i < extension.size();) {
    const auto byte = static_cast<unsigned char>(extension[i]);
    if (byte < 0x80) {
      lower.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a')
                                                 : static_cast<char>(byte));
      ++i;
    } else if (extension.substr(i, KELVIN_SIGN.size()) == KELVIN_SIGN) {
      lower.push_back('k');
      i += KELVIN_SIGN.size();
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::string_view> file_name_of(std::string_view path) {
  std::string_view rest = path;
  while (true) {
    while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    if (rest.empty()) return std::nullopt;
    const std::size_t slash = rest.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? rest : rest.substr(slash + 1);
    if (last == ".") {
      rest.remove_suffix(1);
      continue;
    }
    if (last == "..") return std::nullopt;
    return last;
  }
}

std::optional<std::string_view> extension_of(std::string_view file_name) {
  const std::size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  return file_name.substr(dot + 1);
}

bool has_sql_extension(std::string_view path) {
  const std::optional<std::string_view> name = file_name_of(path);
  if (!name) return false;
  const std::optional<std::string_view> extension = extension_of(*name);
  if (!extension) return false;
  std::string lower;
  if (!lower_extension(*extension, lower)) return false;
  return std::find(SQL_EXTENSIONS.begin(), SQL_EXTENSIONS.end(), lower) != SQL_EXTENSIONS.end();
}

std::string join_entry(std::string_view folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  if (path.empty() || path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

void sort_paths(std::vector<std::string>& paths) {
  std::stable_sort(
      paths.begin(), paths.end(),
      [](const std::string& left, const std::string& right) { return path_less(left, right); });
}

int collect_files(std::string_view path, std::vector<InputFile>& files) {
  const std::string path_string(path);
  struct stat status {};
  if (::stat(path_string.c_str(), &status) != 0) {
    if (has_sql_extension(path)) files.push_back(listed_file(path_string));
    return 0;
  }
  if (S_ISDIR(status.st_mode)) return walk_folder(path_string, status, files);
  if (S_ISREG(status.st_mode) && has_sql_extension(path)) files.push_back(listed_file(path_string));
  return 0;
}

std::vector<InputFile> expand_paths(std::span<const std::string> paths) {
  std::vector<InputFile> files;
  for (const std::string& path : paths) {
    if (path.find('\0') != std::string::npos) {
      files.push_back(unreadable_path(path, PATH_HOLDS_NUL));
      continue;
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
      const int error = errno;
      // A missing file with a SQL extension is a file of the list whose reading fails; any
      // other PATH that cannot be had is reported all the same.
      if (has_sql_extension(path)) {
        files.push_back(listed_file(path));
      } else {
        files.push_back(refused_path(path, os_error_text(error), false));
      }
      continue;
    }
    if (S_ISREG(status.st_mode)) {
      files.push_back(listed_file(path));
    } else if (S_ISDIR(status.st_mode)) {
      if (const int error = collect_files(path, files); error != 0) {
        files.push_back(refused_path(path, os_error_text(error), false));
      }
    } else {
      files.push_back(unreadable_path(path, NOT_A_REGULAR_FILE));
    }
  }
  return files;
}

std::string os_error_text(int error_number) { return server::system_error_text(error_number); }

namespace {

// Reads the open file whole; an error number, or 0 with `bytes` filled (`too_large` set
// when it reached syntax::MAX_TEXT_BYTES).
int read_whole(int descriptor, uint64_t size_hint, std::string& bytes, bool& too_large) {
  bytes.clear();
  too_large = false;
  // Room for the whole file and one more byte, so that a file that has not grown ends
  // with a read of 0 without a reallocation.
  std::size_t capacity = static_cast<std::size_t>(size_hint) + 1;
  if (capacity < 4096) capacity = 4096;
  bytes.resize(capacity);
  std::size_t used = 0;
  while (true) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t count = ::read(descriptor, bytes.data() + used, bytes.size() - used);
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (count == 0) break;
    used += static_cast<std::size_t>(count);
    if (used >= syntax::MAX_TEXT_BYTES) {
      too_large = true;
      break;
    }
  }
  bytes.resize(used);
  return 0;
}

}  // namespace

std::optional<SourceText> read_source_file(const InputFile& file, Output& output) {
  const auto refuse = [&](std::string_view description) -> std::optional<SourceText> {
    std::string message;
    message.reserve(file.name.size() + description.size() + 3);
    append_for_terminal(message, file.name);
    message.append(": ");
    message.append(description);
    message.push_back('\n');
    output.err(message);
    return std::nullopt;
  };
  if (!file.problem.empty()) return refuse(file.problem);
  if (file.path.find('\0') != std::string::npos) return refuse(PATH_HOLDS_NUL);

  // Non-blocking, so that a FIFO put in the file's place after the walk cannot hang the run.
  const int descriptor = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return refuse(os_error_text(errno));
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) {
    const int error = errno;
    ::close(descriptor);
    return refuse(os_error_text(error));
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(descriptor);
    return refuse(NOT_A_REGULAR_FILE);
  }
  if (static_cast<uint64_t>(status.st_size) >= syntax::MAX_TEXT_BYTES) {
    ::close(descriptor);
    return refuse(FILE_TOO_LARGE);
  }
  SourceText source;
  bool too_large = false;
  const int error =
      read_whole(descriptor, static_cast<uint64_t>(status.st_size), source.text, too_large);
  ::close(descriptor);
  if (error != 0) return refuse(os_error_text(error));
  if (too_large) return refuse(FILE_TOO_LARGE);

  source.utf16 = report::starts_as_utf16(source.text);
  if (!syntax::is_valid_utf8(source.text)) {
    source.text = syntax::lossy_utf8(source.text);
    source.was_utf8 = false;
    // Each replaced byte can grow to three: the decoded text has the same limit.
    if (source.text.size() >= syntax::MAX_TEXT_BYTES) return refuse(FILE_TOO_LARGE);
  }
  return source;
}

}  // namespace veltrane::cli
