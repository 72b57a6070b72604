// Catalog building speed over a folder of real scripts: build_catalog over every script
// file in path order into one catalog, beside the split and parse it does inside, for
// comparison. Usage: catalog_bench [benchmark flags] [corpus folder]. A missing folder
// skips the run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench_corpus.hpp"
#include "catalog/build_catalog.hpp"
#include "catalog/catalog.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"

namespace {

constexpr std::array<std::string_view, 16> SCRIPT_EXTENSIONS = {
    ".sql", ".pks", ".pkb", ".pls", ".plb", ".prc", ".fnc", ".trg",
    ".tps", ".tpb", ".ddl", ".bdy", ".spc", ".pck", ".typ", ".vw"};

struct Script {
  std::string name;
  std::string text;
};

bool is_script_file(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::find(SCRIPT_EXTENSIONS.begin(), SCRIPT_EXTENSIONS.end(), extension) !=
         SCRIPT_EXTENSIONS.end();
}

// Every script file under `folder` in path order; empty when the folder is missing.
std::vector<Script> read_scripts(const std::filesystem::path& folder) {
  std::vector<Script> scripts;
  for (veltrane::bench::CorpusFile& file :
       veltrane::bench::read_corpus_files(folder, is_script_file)) {
    scripts.push_back(Script{file.path.string(), std::move(file.bytes)});
  }
  return scripts;
}

int64_t total_bytes(const std::vector<Script>& scripts) {
  int64_t bytes = 0;
  for (const Script& script : scripts) bytes += static_cast<int64_t>(script.text.size());
  return bytes;
}

void BM_build_catalog(benchmark::State& state, const std::vector<Script>* scripts) {
  const veltrane::lexer::ParseOptions options;
  std::size_t objects = 0;
  for (auto _ : state) {
    veltrane::catalog::Catalog catalog;
    std::string schema = "SYSTEM";
    for (const Script& script : *scripts) {
      schema = veltrane::catalog::build_catalog(catalog, script.name, script.text, schema, options);
    }
    objects = catalog.objects.size() + catalog.triggers.size() + catalog.synonyms.size();
    benchmark::DoNotOptimize(catalog.objects.size());
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(*scripts));
  state.counters["entries"] = static_cast<double>(objects);
}

// What build_catalog does before it reads any tree: split each file and parse its items.
void BM_split_and_parse_items(benchmark::State& state, const std::vector<Script>* scripts) {
  const veltrane::lexer::ParseOptions options;
  for (auto _ : state) {
    for (const Script& script : *scripts) {
      const veltrane::lexer::SplitResult split = veltrane::lexer::split_script(script.text);
      for (const veltrane::lexer::ScriptItem& item : split.items) {
        const std::optional<veltrane::parser::ParsedStatement> parsed =
            veltrane::parser::parse_item(script.text, split, item, options);
        benchmark::DoNotOptimize(parsed.has_value());
      }
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(*scripts));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder = veltrane::bench::corpus_folder(argc, argv);
  const std::vector<Script> scripts = read_scripts(folder);
  if (scripts.empty()) {
    std::fprintf(stderr, "catalog_bench: no scripts at %s, skipped\n", folder.c_str());
    return 0;
  }
  benchmark::RegisterBenchmark("BM_build_catalog", BM_build_catalog, &scripts)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_split_and_parse_items", BM_split_and_parse_items, &scripts)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
