#pragma once
// Test support: the scripts the corpus tests read, in path order. That is the corpus of real
// scripts beside the repository (../shared/corpus) when it is there, else the scripts the
// repository holds itself (the .sql files of tests/data and samples), so that a bare clone
// runs the same tests. Each reading says on standard output which set it read.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <vector>

namespace veltrane::test_support {

// Every regular file under `root` for which `keep(path)` holds, in path order.
template <typename Keep>
std::vector<std::filesystem::path> files_under(const std::filesystem::path& root, Keep keep) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && keep(entry.path())) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The corpus files for which `keep(path)` holds: every regular file of ../shared/corpus, or,
// when that folder is absent, the .sql files of tests/data and then of samples.
template <typename Keep>
std::vector<std::filesystem::path> corpus_files(Keep keep) {
  const std::filesystem::path corpus = VELTRANE_CORPUS_DIR;
  if (std::filesystem::is_directory(corpus)) {
    std::vector<std::filesystem::path> files = files_under(corpus, keep);
    std::cout << "corpus: " << files.size() << " files of " << corpus.lexically_normal().string()
              << "\n";
    return files;
  }
  const std::filesystem::path source = VELTRANE_SOURCE_DIR;
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"tests/data", "samples"}) {
    for (std::filesystem::path& file : files_under(source / folder, [&](const auto& path) {
           return path.extension() == ".sql" && keep(path);
         })) {
      files.push_back(std::move(file));
    }
  }
  std::cout << "corpus: " << corpus.lexically_normal().string() << " is absent; read the "
            << files.size() << " scripts of the repository (tests/data, samples)\n";
  return files;
}

// Every corpus file, as above.
inline std::vector<std::filesystem::path> corpus_files() {
  return corpus_files([](const std::filesystem::path&) { return true; });
}

}  // namespace veltrane::test_support
