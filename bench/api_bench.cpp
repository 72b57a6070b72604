// Speed of the whole analysis (split, parse, tables, catalog, package specifications,
// resolution, JSON result) over a folder of real scripts, file by file, with the result
// bytes and the peak heap per source byte. Usage: api_bench [benchmark flags] [corpus
// folder]. A missing folder skips the run.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "api/analyze_json.hpp"
#include "api/lossy_input.hpp"
#include "bench_corpus.hpp"

// The heap in use and its peak while `heap_counting` is set, counted by the program's own
// operator new and delete: a measuring aid of this benchmark alone, off while speed is
// measured.
namespace {
std::atomic<bool> heap_counting{false};
std::atomic<std::size_t> heap_in_use{0};
std::atomic<std::size_t> heap_peak{0};

void* counted_allocation(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  if (!heap_counting.load(std::memory_order_relaxed)) return p;
  const std::size_t now = heap_in_use += malloc_usable_size(p);
  std::size_t peak = heap_peak.load();
  while (now > peak && !heap_peak.compare_exchange_weak(peak, now)) {
  }
  return p;
}

void counted_release(void* p) noexcept {
  if (p == nullptr) return;
  if (heap_counting.load(std::memory_order_relaxed)) heap_in_use -= malloc_usable_size(p);
  std::free(p);
}
}  // namespace

void* operator new(std::size_t size) { return counted_allocation(size); }
void* operator new[](std::size_t size) { return counted_allocation(size); }
void operator delete(void* p) noexcept { counted_release(p); }
void operator delete[](void* p) noexcept { counted_release(p); }
void operator delete(void* p, std::size_t) noexcept { counted_release(p); }
void operator delete[](void* p, std::size_t) noexcept { counted_release(p); }

namespace {

// The text of every file under `folder`, in path order, decoded as analyze decodes it;
// empty when the folder is missing or holds nothing.
std::vector<std::string> read_corpus(const std::filesystem::path& folder) {
  std::vector<std::string> files = veltrane::bench::read_corpus_texts(folder);
  for (std::string& file : files) {
    file = veltrane::api::decode_lossy(file, veltrane::api::lossy_decoded_length(file));
  }
  return files;
}

// Every file analysed once per iteration.
void BM_analyze(benchmark::State& state, const std::vector<std::string>* corpus) {
  const std::vector<std::string>& files = *corpus;
  std::size_t source_bytes = 0;
  for (const std::string& file : files) source_bytes += file.size();
  std::size_t result_bytes = 0;
  for (auto _ : state) {
    result_bytes = 0;
    for (const std::string& file : files) {
      const std::string result = veltrane::api::analyze_json(file, "");
      result_bytes += result.size();
      benchmark::DoNotOptimize(result.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source_bytes));
  state.counters["result_per_source_byte"] =
      static_cast<double>(result_bytes) / static_cast<double>(source_bytes);
}

// The whole corpus as one script: the peak heap of one call beyond its input and its
// result, per source byte (the counting slows this one down).
void BM_analyze_one_script(benchmark::State& state, const std::vector<std::string>* corpus) {
  std::string script;
  for (const std::string& file : *corpus) {
    script += file;
    script += "\n/\n";
  }
  double extra_per_byte = 0.0;
  double result_per_byte = 0.0;
  double reserved_per_result_byte = 0.0;
  for (auto _ : state) {
    // Everything this call frees it allocated itself, so the count starts at 0.
    heap_in_use = 0;
    heap_peak = 0;
    heap_counting = true;
    const std::string result = veltrane::api::analyze_json(script, "");
    heap_counting = false;
    const std::size_t peak = heap_peak.load();
    benchmark::DoNotOptimize(result.data());
    extra_per_byte = (static_cast<double>(peak) - static_cast<double>(result.capacity())) /
                     static_cast<double>(script.size());
    result_per_byte = static_cast<double>(result.size()) / static_cast<double>(script.size());
    reserved_per_result_byte =
        static_cast<double>(result.capacity()) / static_cast<double>(result.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script.size()));
  state.counters["heap_beyond_result_per_byte"] = extra_per_byte;
  state.counters["result_per_source_byte"] = result_per_byte;
  state.counters["reserved_per_result_byte"] = reserved_per_result_byte;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder = veltrane::bench::corpus_folder(argc, argv);
  const std::vector<std::string> corpus = read_corpus(folder);
  if (corpus.empty()) {
    std::fprintf(stderr, "api_bench: no scripts under %s; nothing to measure\n", folder.c_str());
    return 0;
  }
  benchmark::RegisterBenchmark("BM_analyze", BM_analyze, &corpus)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_analyze_one_script", BM_analyze_one_script, &corpus)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
