// Name resolution speed over a folder of real scripts, file by file, each file resolved by
// the analysis driver's own road from schema "APP": its catalog built under the file name
// "script", the package specification of every CREATE PACKAGE collected, then every
// statement resolved with its default owner (the owner its CREATE writes, else "APP").
// BM_resolve times the resolution alone, over trees, catalogs and package specifications
// made before the loop (BM_resolve_long_unit the same over one procedure of 132,000
// assignments); BM_split_parse_resolve times every step from the text on;
// BM_referenced_tables times the referenced-table read of every statement's tree. Usage:
// resolve_bench [benchmark flags] [corpus folder]. A missing folder skips the run.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench_corpus.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_script.hpp"
#include "syntax/lossy_utf8.hpp"
#include "views/referenced_tables.hpp"

namespace {

using namespace veltrane;

constexpr std::string_view SCHEMA = "APP";

// The text of every file under `folder`, in path order, decoded lossily as every face
// decodes its input; empty when the folder is missing or holds nothing.
std::vector<std::string> read_corpus(const std::filesystem::path& folder) {
  std::vector<std::string> files = bench::read_corpus_texts(folder);
  for (std::string& file : files) file = syntax::lossy_utf8(file);
  return files;
}

// Every item of one file parsed: the statement of each item, or none.
std::vector<std::optional<parser::ParsedStatement>> split_and_parse(
    std::string_view text, const lexer::SplitResult& split, const lexer::ParseOptions& options) {
  std::vector<std::optional<parser::ParsedStatement>> parsed;
  parsed.reserve(split.items.size());
  for (const lexer::ScriptItem& item : split.items) {
    parsed.push_back(parser::parse_item(text, split, item, options));
  }
  return parsed;
}

// The statement slots the driver hands to resolution: one per item, null where none.
std::vector<const parser::ParsedStatement*> statement_slots(
    const std::vector<std::optional<parser::ParsedStatement>>& parsed) {
  std::vector<const parser::ParsedStatement*> slots;
  slots.reserve(parsed.size());
  for (const std::optional<parser::ParsedStatement>& statement : parsed) {
    slots.push_back(statement ? &*statement : nullptr);
  }
  return slots;
}

// The number of records of one resolution, both kinds together.
std::size_t record_count(const resolve::ResolvedRecords& records) {
  return records.identifiers.size() + records.statements.size();
}

// One file made ready for resolution: its statements, and its resolver holding the
// catalog and the package specifications.
struct PreparedFile {
  std::vector<std::optional<parser::ParsedStatement>> parsed;
  std::unique_ptr<resolve::ScriptResolver> resolver;
};

std::vector<PreparedFile> prepare_files(const std::vector<std::string>& corpus) {
  const lexer::ParseOptions options;
  std::vector<PreparedFile> files(corpus.size());
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    const lexer::SplitResult split = lexer::split_script(corpus[i]);
    files[i].parsed = split_and_parse(corpus[i], split, options);
    files[i].resolver = std::make_unique<resolve::ScriptResolver>(
        corpus[i], split.items, statement_slots(files[i].parsed), SCHEMA);
  }
  return files;
}

// Each statement resolved by its file's resolver: the default owner and the package's own
// package specification looked up, then the walk.
void BM_resolve(benchmark::State& state, const std::vector<PreparedFile>* prepared,
                std::size_t source_bytes) {
  const std::vector<PreparedFile>& files = *prepared;
  std::size_t records = 0;
  for (auto _ : state) {
    records = 0;
    for (const PreparedFile& file : files) {
      for (const std::optional<parser::ParsedStatement>& statement : file.parsed) {
        if (!statement) continue;
        const resolve::ResolvedRecords resolved = file.resolver->resolve(*statement);
        records += record_count(resolved);
        benchmark::DoNotOptimize(resolved.identifiers.data());
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source_bytes));
  state.counters["records"] = static_cast<double>(records);
}

// The referenced tables of every statement, over the trees made before the loop.
void BM_referenced_tables(benchmark::State& state, const std::vector<PreparedFile>* prepared,
                          const std::vector<std::string>* corpus) {
  std::size_t names = 0;
  for (auto _ : state) {
    names = 0;
    for (std::size_t i = 0; i < prepared->size(); ++i) {
      for (const std::optional<parser::ParsedStatement>& statement : (*prepared)[i].parsed) {
        if (!statement) continue;
        const std::vector<std::string> tables =
            views::referenced_tables(statement->tree, (*corpus)[i]);
        names += tables.size();
        benchmark::DoNotOptimize(tables.data());
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bench::total_bytes(*corpus)));
  state.counters["names"] = static_cast<double>(names);
}

// The driver's steps from the text on: split and parse, then the catalog from those
// statements, the package specifications and the resolution.
void BM_split_parse_resolve(benchmark::State& state, const std::vector<std::string>* corpus) {
  const lexer::ParseOptions options;
  std::size_t records = 0;
  for (auto _ : state) {
    records = 0;
    for (const std::string& text : *corpus) {
      const lexer::SplitResult split = lexer::split_script(text);
      const std::vector<std::optional<parser::ParsedStatement>> parsed =
          split_and_parse(text, split, options);
      const std::vector<resolve::ResolvedRecords> resolved =
          resolve::resolve_script(text, split.items, statement_slots(parsed), SCHEMA);
      for (const resolve::ResolvedRecords& statement_records : resolved) {
        records += record_count(statement_records);
      }
      benchmark::DoNotOptimize(resolved.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bench::total_bytes(*corpus)));
  state.counters["records"] = static_cast<double>(records);
}

}  // namespace

// One procedure of 132,000 assignments to one variable: a long unit of few names.
std::string long_unit() {
  std::string text = "create or replace procedure p is\n  x number := 0;\nbegin\n";
  for (int line = 0; line < 132'000; ++line) text += "  x := x + 1;\n";
  text += "end;\n/\n";
  return text;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder = bench::corpus_folder(argc, argv);
  const std::vector<std::string> corpus = read_corpus(folder);
  if (corpus.empty()) {
    std::fprintf(stderr, "resolve_bench: no scripts under %s; nothing to measure\n",
                 folder.c_str());
    return 0;
  }
  const std::vector<PreparedFile> prepared = prepare_files(corpus);
  benchmark::RegisterBenchmark("BM_resolve", BM_resolve, &prepared, bench::total_bytes(corpus))
      ->Unit(benchmark::kMillisecond);
  const std::vector<std::string> unit = {long_unit()};
  const std::vector<PreparedFile> prepared_unit = prepare_files(unit);
  benchmark::RegisterBenchmark("BM_resolve_long_unit", BM_resolve, &prepared_unit,
                               bench::total_bytes(unit))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_referenced_tables", BM_referenced_tables, &prepared, &corpus)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_split_parse_resolve", BM_split_parse_resolve, &corpus)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
