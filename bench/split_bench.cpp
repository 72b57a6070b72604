// Splitting speed over a folder of real scripts, all files concatenated in path
// order. Usage: split_bench [benchmark flags] [corpus folder]. A missing folder
// skips the run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench_corpus.hpp"
#include "lexer/script_splitter.hpp"

namespace {

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
  const std::string folder = veltrane::bench::corpus_folder(argc, argv);
  const std::string text = veltrane::bench::read_corpus_concatenated(folder);
  if (text.empty()) {
    std::fprintf(stderr, "split_bench: no corpus at %s, skipped\n", folder.c_str());
    return 0;
  }
  benchmark::RegisterBenchmark("BM_split", BM_split, &text)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
