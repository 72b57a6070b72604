// Splitting speed over a folder of real scripts, all files concatenated in path
// order. Usage: split_bench [benchmark flags] [corpus folder]. A missing folder
// skips the run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "lexer/script_splitter.hpp"

namespace {

#ifdef VELTRANE_CORPUS_DIR
constexpr const char* DEFAULT_CORPUS = VELTRANE_CORPUS_DIR;
#else
constexpr const char* DEFAULT_CORPUS = "../shared/corpus";
#endif

// Every regular file under `folder`, concatenated in path order; empty when
// the folder is missing or holds nothing.
std::string read_corpus(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return {};
  std::vector<std::filesystem::path> files;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::string text;
  for (const auto& file : files) {
    std::ifstream input(file, std::ios::binary);
    std::ostringstream content;
    content << input.rdbuf();
    text += content.str();
  }
  return text;
}

void BM_split(benchmark::State& state, const std::string* text) {
  size_t items = 0;
  size_t tokens = 0;
  for (auto _ : state) {
    const veltrane::lexer::SplitResult result = veltrane::lexer::split_script(*text);
    items = result.items.size();
    tokens = result.tokens.size();
    benchmark::DoNotOptimize(result.items.data());
    benchmark::DoNotOptimize(result.tokens.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text->size()));
  state.counters["items"] = static_cast<double>(items);
  state.counters["tokens"] = static_cast<double>(tokens);
  state.counters["bytes"] = static_cast<double>(text->size());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder = argc > 1 ? argv[1] : DEFAULT_CORPUS;
  const std::string text = read_corpus(folder);
  if (text.empty()) {
    std::fprintf(stderr, "split_bench: no corpus at %s, skipped\n", folder.c_str());
    return 0;
  }
  benchmark::RegisterBenchmark("BM_split", BM_split, &text)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
