// Report speed over a folder of real scripts: the Lab's analysis of each file, the whole
// report (document, page, CSV tables and JSON) and its ZIP archive. Usage: report_bench
// [benchmark flags] [corpus folder]. A missing folder skips the run.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_corpus.hpp"
#include "lexer/parse_options.hpp"
#include "report/file_analysis.hpp"
#include "report/render.hpp"
#include "report/report_data.hpp"
#include "report/zip_report.hpp"
#include "syntax/lossy_utf8.hpp"

namespace {

using veltrane::report::SourceInput;

// Every regular file under `folder`, in path order, read as text the way the command line
// reads it (invalid UTF-8 replaced); empty when the folder is missing.
std::vector<SourceInput> read_corpus(const std::filesystem::path& folder) {
  std::vector<SourceInput> inputs;
  for (const veltrane::bench::CorpusFile& file : veltrane::bench::read_corpus_files(folder)) {
    inputs.push_back({file.path.string(), veltrane::syntax::lossy_utf8(file.bytes)});
  }
  return inputs;
}

int64_t total_bytes(const std::vector<SourceInput>& inputs) {
  int64_t bytes = 0;
  for (const SourceInput& input : inputs) bytes += static_cast<int64_t>(input.text.size());
  return bytes;
}

const std::vector<std::string> ALL_FORMATS = {"html", "csv", "json"};

void BM_analyze_file(benchmark::State& state, const std::vector<SourceInput>& inputs) {
  const veltrane::lexer::ParseOptions options;
  for (auto _ : state) {
    for (const SourceInput& input : inputs) {
      benchmark::DoNotOptimize(
          veltrane::report::file_analysis_json(input.name, input.text, options));
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(inputs));
}

void BM_report(benchmark::State& state, const std::vector<SourceInput>& inputs) {
  const veltrane::lexer::ParseOptions options;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        veltrane::report::build_report(inputs, options, "APP", "Veltrane report", ALL_FORMATS));
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(inputs));
}

void BM_zip_report(benchmark::State& state, const std::vector<SourceInput>& inputs) {
  const veltrane::lexer::ParseOptions options;
  const std::vector<veltrane::report::ReportFile> files =
      veltrane::report::build_report(inputs, options, "APP", "Veltrane report", ALL_FORMATS)
          .outputs;
  int64_t bytes = 0;
  for (const auto& file : files) bytes += static_cast<int64_t>(file.bytes.size());
  for (auto _ : state) benchmark::DoNotOptimize(veltrane::report::zip_report(files));
  state.SetBytesProcessed(state.iterations() * bytes);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::filesystem::path folder = veltrane::bench::corpus_folder(argc, argv);
  static const std::vector<SourceInput> inputs = read_corpus(folder);
  if (inputs.empty()) return 0;
  benchmark::RegisterBenchmark("BM_analyze_file", BM_analyze_file, inputs)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_report", BM_report, inputs)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_zip_report", BM_zip_report, inputs)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
