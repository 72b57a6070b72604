// Split + parse speed over a folder of real scripts, file by file, and the tree memory
// that parsing keeps per byte of source. Usage: parse_bench [benchmark flags] [corpus
// folder]. A missing folder skips the run.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench_corpus.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/tree.hpp"

namespace {

using veltrane::lexer::ScriptItem;
using veltrane::lexer::SplitResult;
using veltrane::parser::ParsedStatement;

using veltrane::bench::total_bytes;

// Bytes a tree holds on the heap: what its vectors reserved, and what they use; and the
// node vector alone, the one whose length the parser can only estimate up front.
struct TreeMemory {
  std::size_t reserved = 0;
  std::size_t used = 0;
  std::size_t node_reserved = 0;
  std::size_t node_used = 0;
};

TreeMemory tree_memory(const veltrane::syntax::Tree& tree) {
  using veltrane::syntax::Child;
  using veltrane::syntax::Node;
  using veltrane::syntax::TreeToken;
  TreeMemory memory;
  memory.reserved =
      tree.nodes.capacity() * sizeof(Node) + tree.tokens.capacity() * sizeof(TreeToken) +
      tree.token_parents.capacity() * sizeof(uint32_t) + tree.children.capacity() * sizeof(Child);
  memory.used = tree.nodes.size() * sizeof(Node) + tree.tokens.size() * sizeof(TreeToken) +
                tree.token_parents.size() * sizeof(uint32_t) + tree.children.size() * sizeof(Child);
  memory.node_reserved = tree.nodes.capacity() * sizeof(Node);
  memory.node_used = tree.nodes.size() * sizeof(Node);
  return memory;
}

// Split every file, then parse every statement and unit item of it.
void BM_SplitAndParse(benchmark::State& state, const std::vector<std::string>* files) {
  const veltrane::lexer::ParseOptions options{};
  std::size_t items = 0;
  std::size_t errors = 0;
  for (auto _ : state) {
    items = 0;
    errors = 0;
    for (const std::string& text : *files) {
      const SplitResult split = veltrane::lexer::split_script(text);
      for (const ScriptItem& item : split.items) {
        const std::optional<ParsedStatement> parsed =
            veltrane::parser::parse_item(text, split, item, options);
        if (!parsed) continue;
        benchmark::DoNotOptimize(parsed->tree.nodes.data());
        ++items;
        errors += parsed->diagnostics.size();
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(total_bytes(*files)));
  state.counters["items"] = static_cast<double>(items);
  state.counters["diagnostics"] = static_cast<double>(errors);
}

// Parse only: the files are split once, outside the timing.
void BM_ParseItems(benchmark::State& state, const std::vector<std::string>* files) {
  const veltrane::lexer::ParseOptions options{};
  std::vector<SplitResult> splits;
  std::size_t item_bytes = 0;
  for (const std::string& text : *files) {
    splits.push_back(veltrane::lexer::split_script(text));
    // The items that parse_item parses (a warm-up parse, outside the timing).
    for (const ScriptItem& item : splits.back().items) {
      if (veltrane::parser::parse_item(text, splits.back(), item, options)) {
        item_bytes += item.end - item.start;
      }
    }
  }
  for (auto _ : state) {
    for (std::size_t file = 0; file < files->size(); ++file) {
      for (const ScriptItem& item : splits[file].items) {
        const std::optional<ParsedStatement> parsed =
            veltrane::parser::parse_item((*files)[file], splits[file], item, options);
        if (parsed) benchmark::DoNotOptimize(parsed->tree.nodes.data());
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(item_bytes));
}

// Tree memory per byte of source, over every item's tree (measured once, then a cheap
// loop so the counters appear in the benchmark's table).
void BM_TreeMemory(benchmark::State& state, const std::vector<std::string>* files) {
  const veltrane::lexer::ParseOptions options{};
  TreeMemory total;
  std::size_t item_bytes = 0;
  std::size_t split_token_bytes = 0;
  for (const std::string& text : *files) {
    const SplitResult split = veltrane::lexer::split_script(text);
    split_token_bytes += split.tokens.capacity() * sizeof(veltrane::lexer::Token);
    for (const ScriptItem& item : split.items) {
      const std::optional<ParsedStatement> parsed =
          veltrane::parser::parse_item(text, split, item, options);
      if (!parsed) continue;
      const TreeMemory memory = tree_memory(parsed->tree);
      total.reserved += memory.reserved;
      total.used += memory.used;
      total.node_reserved += memory.node_reserved;
      total.node_used += memory.node_used;
      item_bytes += item.end - item.start;
    }
  }
  for (auto _ : state) benchmark::DoNotOptimize(total.reserved);
  const double source = static_cast<double>(total_bytes(*files));
  state.counters["tree_bytes_per_source_byte"] = static_cast<double>(total.reserved) / source;
  state.counters["tree_bytes_used_per_source_byte"] = static_cast<double>(total.used) / source;
  state.counters["node_bytes_per_source_byte"] = static_cast<double>(total.node_reserved) / source;
  state.counters["node_bytes_used_per_source_byte"] = static_cast<double>(total.node_used) / source;
  state.counters["split_token_bytes_per_source_byte"] =
      static_cast<double>(split_token_bytes) / source;
  state.counters["item_bytes"] = static_cast<double>(item_bytes);
  state.counters["source_bytes"] = source;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder = veltrane::bench::corpus_folder(argc, argv);
  const std::vector<std::string> files = veltrane::bench::read_corpus_texts(folder);
  if (total_bytes(files) == 0) {
    std::fprintf(stderr, "parse_bench: no corpus at %s, skipped\n", folder.c_str());
    return 0;
  }
  benchmark::RegisterBenchmark("BM_SplitAndParse", BM_SplitAndParse, &files)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_ParseItems", BM_ParseItems, &files)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_TreeMemory", BM_TreeMemory, &files)->Iterations(1);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
