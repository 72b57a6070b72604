// The folder of real scripts the benchmarks measure, and its reading: every regular file
// under a folder in path order, read as bytes. Usage of every corpus benchmark:
// <name>_bench [benchmark flags] [corpus folder]; a missing folder reads as no files, but
// for the default folder: when it is missing the benchmark says so in one line and reads
// the scripts the repository holds (the .sql files of tests/data and samples).

#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace veltrane::bench {

#ifdef VELTRANE_CORPUS_DIR
inline constexpr const char* DEFAULT_CORPUS = VELTRANE_CORPUS_DIR;
#else
inline constexpr const char* DEFAULT_CORPUS = "../shared/corpus";
#endif
// The repository, whose scripts stand in for a missing default corpus.
#ifdef VELTRANE_SOURCE_DIR
inline constexpr const char* SOURCE_FOLDER = VELTRANE_SOURCE_DIR;
#else
inline constexpr const char* SOURCE_FOLDER = ".";
#endif

// The folder named by the first argument left after the benchmark flags, else the default.
inline const char* corpus_folder(int argc, char** argv) {
  return argc > 1 ? argv[1] : DEFAULT_CORPUS;
}

struct CorpusFile {
  std::filesystem::path path;
  std::string bytes;
};

// Appends every regular file under `folder` for which `keep(path)` holds, in path order;
// nothing when the folder is missing.
template <typename Keep>
void append_paths_under(const std::filesystem::path& folder, Keep keep,
                        std::vector<std::filesystem::path>& paths) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return;
  const std::size_t first = paths.size();
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error) && keep(it->path())) paths.push_back(it->path());
  }
  std::sort(paths.begin() + static_cast<std::ptrdiff_t>(first), paths.end());
}

// Every regular file under `folder` for which `keep(path)` holds, in path order, with its
// bytes; empty when the folder is missing or holds nothing. The default folder, when
// missing, is replaced by the repository's scripts, which a line on standard error says.
template <typename Keep>
std::vector<CorpusFile> read_corpus_files(const std::filesystem::path& folder, Keep keep) {
  std::vector<std::filesystem::path> paths;
  std::error_code error;
  if (folder == DEFAULT_CORPUS && !std::filesystem::is_directory(folder, error)) {
    std::fprintf(stderr,
                 "no corpus at %s: reading the repository's scripts (tests/data, samples)\n",
                 folder.lexically_normal().string().c_str());
    const std::filesystem::path source = SOURCE_FOLDER;
    const auto keep_script = [&](const std::filesystem::path& path) {
      return path.extension() == ".sql" && keep(path);
    };
    append_paths_under(source / "tests/data", keep_script, paths);
    append_paths_under(source / "samples", keep_script, paths);
  } else {
    append_paths_under(folder, keep, paths);
  }
  std::vector<CorpusFile> files;
  files.reserve(paths.size());
  for (auto& path : paths) {
    std::ifstream input(path, std::ios::binary);
    std::ostringstream content;
    content << input.rdbuf();
    files.push_back(CorpusFile{std::move(path), content.str()});
  }
  return files;
}

inline std::vector<CorpusFile> read_corpus_files(const std::filesystem::path& folder) {
  return read_corpus_files(folder, [](const std::filesystem::path&) { return true; });
}

// The bytes of every file under `folder`, one string a file, in path order.
inline std::vector<std::string> read_corpus_texts(const std::filesystem::path& folder) {
  std::vector<std::string> texts;
  for (CorpusFile& file : read_corpus_files(folder)) texts.push_back(std::move(file.bytes));
  return texts;
}

// Every file under `folder` concatenated in path order.
inline std::string read_corpus_concatenated(const std::filesystem::path& folder) {
  std::string text;
  for (const CorpusFile& file : read_corpus_files(folder)) text += file.bytes;
  return text;
}

inline std::size_t total_bytes(const std::vector<std::string>& texts) {
  std::size_t bytes = 0;
  for (const std::string& text : texts) bytes += text.size();
  return bytes;
}

}  // namespace veltrane::bench
