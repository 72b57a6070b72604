// Building and walking syntax trees of N tokens.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>

#include "syntax/dump.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/walk.hpp"

namespace {

using veltrane::syntax::Checkpoint;
using veltrane::syntax::NodeKind;
using veltrane::syntax::syntax_kind;
using veltrane::syntax::TokenKind;
using veltrane::syntax::Tree;
using veltrane::syntax::TreeBuilder;

// A flat select list: "a, a, a, ..." with one SelectItem(NameRef(Ident)) per item, a comma
// and a blank between items. Four tokens and two nodes per item.
Tree build_list(uint32_t items) {
  TreeBuilder builder;
  builder.reserve(std::size_t{items} * 4, std::size_t{items} * 2 + 2);
  builder.start_node(syntax_kind(NodeKind::SelectStmt));
  builder.start_node(syntax_kind(NodeKind::SelectList));
  for (uint32_t i = 0; i < items; ++i) {
    const uint32_t offset = 3 * i;
    builder.start_node(syntax_kind(NodeKind::SelectItem));
    builder.start_node(syntax_kind(NodeKind::NameRef));
    builder.token(syntax_kind(TokenKind::Ident), offset, offset + 1);
    builder.finish_node();
    builder.finish_node();
    builder.token(syntax_kind(TokenKind::Comma), offset + 1, offset + 2);
    builder.token(syntax_kind(TokenKind::Whitespace), offset + 2, offset + 3);
  }
  builder.finish_node();
  builder.finish_node();
  return std::move(builder).finish();
}

// A left-nested chain "1||1||...": each operator opened at one checkpoint.
Tree build_chain(uint32_t operators) {
  TreeBuilder builder;
  builder.reserve(std::size_t{operators} * 2 + 1, std::size_t{operators} * 2 + 2);
  builder.start_node(syntax_kind(NodeKind::SelectStmt));
  const Checkpoint operand_start = builder.checkpoint();
  builder.token(syntax_kind(TokenKind::Number), 0, 1);
  for (uint32_t i = 0; i < operators; ++i) {
    const uint32_t offset = 1 + 3 * i;
    builder.start_node_at(operand_start, syntax_kind(NodeKind::BinaryExpr));
    builder.token(syntax_kind(TokenKind::Concat), offset, offset + 2);
    builder.start_node(syntax_kind(NodeKind::Literal));
    builder.token(syntax_kind(TokenKind::Number), offset + 2, offset + 3);
    builder.finish_node();
    builder.finish_node();
  }
  builder.finish_node();
  return std::move(builder).finish();
}

void BM_BuildFlatList(benchmark::State& state) {
  const auto items = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    Tree tree = build_list(items);
    benchmark::DoNotOptimize(tree.root);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 4);
  state.SetLabel("tokens");
}
BENCHMARK(BM_BuildFlatList)->RangeMultiplier(16)->Range(16, 1 << 20);

void BM_BuildLeftChain(benchmark::State& state) {
  const auto operators = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    Tree tree = build_chain(operators);
    benchmark::DoNotOptimize(tree.root);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
  state.SetLabel("tokens");
}
BENCHMARK(BM_BuildLeftChain)->RangeMultiplier(16)->Range(16, 1 << 20);

void BM_WalkDescendantTokens(benchmark::State& state) {
  const Tree tree = build_list(static_cast<uint32_t>(state.range(0)));
  for (auto _ : state) {
    uint64_t sum = 0;
    for (const uint32_t token : veltrane::syntax::descendant_tokens(tree, tree.root)) sum += token;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(tree.tokens.size()));
}
BENCHMARK(BM_WalkDescendantTokens)->Range(1 << 10, 1 << 20);

// The shared walk over every node of a tree, tokens passed over, on one lent stack: the
// walk that referenced tables and the resolver's token reads run on. Items per second
// count nodes.
void walk_nodes(benchmark::State& state, const Tree& tree) {
  veltrane::syntax::WalkStack stack;
  for (auto _ : state) {
    uint64_t sum = 0;
    veltrane::syntax::TreeWalk walk(tree, tree.root, veltrane::syntax::WalkTokens::None,
                                    veltrane::syntax::WalkOrder::Source, stack);
    while (const std::optional<veltrane::syntax::WalkStep> step = walk.next()) sum += step->index;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(tree.nodes.size()));
}

void BM_TreeWalkFlatList(benchmark::State& state) {
  walk_nodes(state, build_list(static_cast<uint32_t>(state.range(0))));
}
BENCHMARK(BM_TreeWalkFlatList)->Range(1 << 10, 1 << 20);

void BM_TreeWalkLeftChain(benchmark::State& state) {
  walk_nodes(state, build_chain(static_cast<uint32_t>(state.range(0))));
}
BENCHMARK(BM_TreeWalkLeftChain)->Range(1 << 10, 1 << 20);

// The last token of every node of a flat list, each found by a reverse walk on one lent
// stack, as the resolver finds the end of each statement it records.
void BM_LastTokenOfEveryNode(benchmark::State& state) {
  const Tree tree = build_list(static_cast<uint32_t>(state.range(0)));
  veltrane::syntax::WalkStack stack;
  for (auto _ : state) {
    uint64_t sum = 0;
    for (uint32_t node = 0; node < tree.nodes.size(); ++node) {
      sum += veltrane::syntax::edge_token(tree, node, veltrane::syntax::WalkTokens::All,
                                          veltrane::syntax::WalkOrder::Reverse, stack)
                 .value_or(0);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(tree.nodes.size()));
}
BENCHMARK(BM_LastTokenOfEveryNode)->Range(1 << 10, 1 << 16);

void BM_DumpFlatList(benchmark::State& state) {
  const auto items = static_cast<uint32_t>(state.range(0));
  const Tree tree = build_list(items);
  std::string text;
  for (uint32_t i = 0; i < items; ++i) text += "a, ";
  for (auto _ : state) {
    std::string sink;
    veltrane::syntax::dump_tree(tree, tree.root, 0, text, sink);
    benchmark::DoNotOptimize(sink.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DumpFlatList)->Range(1 << 10, 1 << 18);

}  // namespace

BENCHMARK_MAIN();
