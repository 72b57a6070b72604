#pragma once
// Test support: the files of the corpus of real scripts, in path order.

#include <algorithm>
#include <filesystem>
#include <vector>

namespace veltrane::test_support {

// Every regular file under `root` for which `keep(path)` holds, in path order.
template <typename Keep>
std::vector<std::filesystem::path> corpus_files(const std::filesystem::path& root, Keep keep) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && keep(entry.path())) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Every regular file of the corpus, in path order.
inline std::vector<std::filesystem::path> corpus_files() {
  return corpus_files(VELTRANE_CORPUS_DIR, [](const std::filesystem::path&) { return true; });
}

}  // namespace veltrane::test_support
