// Split + parse of pathological script shapes, each at a tenth of its size and at full
// size, beside the ordinary scripts of the corpus. Time per byte should stay within a
// small constant factor of the corpus and not grow with the size: growth from the tenth
// to the full size means a path that is not linear. Usage: pathological_bench [benchmark
// flags] [corpus folder]; a missing corpus only drops the comparison run.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench_corpus.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"

namespace {

using veltrane::lexer::ScriptItem;
using veltrane::lexer::SplitResult;

std::string repeat(std::string_view piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

// Splits the text and parses every statement and unit item; returns the item count.
std::size_t split_and_parse(const std::string& text) {
  const veltrane::lexer::ParseOptions options{};
  const SplitResult split = veltrane::lexer::split_script(text);
  std::size_t items = 0;
  for (const ScriptItem& item : split.items) {
    const std::optional<veltrane::parser::ParsedStatement> parsed =
        veltrane::parser::parse_item(text, split, item, options);
    if (!parsed) continue;
    benchmark::DoNotOptimize(parsed->tree.nodes.data());
    ++items;
  }
  return items;
}

// The shapes; `scale` is 1 for a tenth of the full size and 10 for the full size.

// Ordinary statements on one line of about 50 MB.
std::string one_long_line(std::size_t scale) {
  return repeat("select a, b + 1 from t where c = 'x' and d in (1, 2); ", scale * 90000);
}

// 1,000,000 statements of one token each.
std::string one_token_statements(std::size_t scale) { return repeat("commit;\n", scale * 100000); }

// One string literal of 10 MB.
std::string long_string_literal(std::size_t scale) {
  return "select '" + std::string(scale * 1000000, 'a') + "' from dual;\n";
}

// 100,000 parentheses that are never closed.
std::string unclosed_parentheses(std::size_t scale) {
  return "select " + std::string(scale * 10000, '(') + "1 from dual;\n";
}

// One PL/SQL block of 100,000 statements.
std::string long_unit(std::size_t scale) {
  return "begin\n" + repeat("  x := x + 1;\n", scale * 10000) + "end;\n/\n";
}

// One procedure of 132,000 assignments (1.9 MB), the largest single unit of real code bases.
std::string long_procedure(std::size_t scale) {
  return "create or replace procedure p is\n  x number := 0;\nbegin\n" +
         repeat("  x := x + 1;\n", scale * 13200) + "end;\n/\n";
}

// 100,000 inline JavaScript openings, each cut at a "/" line, before one "}}" at the end.
std::string inline_code_openings(std::size_t scale) {
  return repeat("f as mle language js {{ x\n/\n", scale * 10000) + "}}\n";
}

// 100,000 Java sources without a "/" line after their heading.
std::string java_sources_without_end(std::size_t scale) {
  return repeat("create java source named a as x;\n", scale * 10000);
}

using Shape = std::string (*)(std::size_t);

void BM_Shape(benchmark::State& state, Shape shape) {
  const std::string text = shape(static_cast<std::size_t>(state.range(0)));
  std::size_t items = 0;
  for (auto _ : state) items = split_and_parse(text);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["items"] = static_cast<double>(items);
  state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_Corpus(benchmark::State& state, const std::vector<std::string>* files) {
  const std::size_t bytes = veltrane::bench::total_bytes(*files);
  for (auto _ : state) {
    for (const std::string& file : *files) benchmark::DoNotOptimize(split_and_parse(file));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["bytes"] = static_cast<double>(bytes);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder = veltrane::bench::corpus_folder(argc, argv);
  const std::vector<std::string> files = veltrane::bench::read_corpus_texts(folder);
  if (files.empty()) {
    std::fprintf(stderr, "pathological_bench: no corpus at %s, comparison skipped\n",
                 folder.c_str());
  } else {
    benchmark::RegisterBenchmark("BM_Corpus", BM_Corpus, &files)->Unit(benchmark::kMillisecond);
  }
  const struct {
    const char* name;
    Shape shape;
  } shapes[] = {
      {"BM_OneLongLine", one_long_line},
      {"BM_OneTokenStatements", one_token_statements},
      {"BM_LongStringLiteral", long_string_literal},
      {"BM_UnclosedParentheses", unclosed_parentheses},
      {"BM_LongUnit", long_unit},
      {"BM_LongProcedure", long_procedure},
      {"BM_InlineCodeOpenings", inline_code_openings},
      {"BM_JavaSourcesWithoutEnd", java_sources_without_end},
  };
  for (const auto& shape : shapes) {
    benchmark::RegisterBenchmark(shape.name, BM_Shape, shape.shape)
        ->Arg(1)
        ->Arg(10)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
