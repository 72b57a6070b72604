// Split, then parse every statement and PL/SQL unit under several option sets: without
// flags and with "debug:TRUE, level:2", for the target versions 26ai and 12.1. Each tree
// must hold its item's tokens exactly once and in order (after conditional compilation,
// which may only change kinds), keep the tree invariants and keep its diagnostics inside
// the item; the tree walks of the catalog and the dump must get through it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz_checks.hpp"
#include "lexer/conditional_compilation.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/dump.hpp"
#include "syntax/tree_reads.hpp"
#include "views/referenced_tables.hpp"

namespace {

using namespace veltrane;

struct OptionSet {
  lexer::ParseOptions options;
  // SQL statements never read the flags: they are parsed only under the sets marked here.
  bool for_sql;
};

std::vector<OptionSet> option_sets() {
  const lexer::CcFlags flags = {{"DEBUG", true}, {"LEVEL", 2.0}};
  const lexer::OracleVersion latest{23, 26};
  const lexer::OracleVersion old{12, 1};
  return {
      {{{}, latest}, true},
      {{flags, latest}, false},
      {{{}, old}, true},
      {{flags, old}, false},
  };
}

void check_item(std::string_view text, const lexer::SplitResult& split,
                const lexer::ScriptItem& item, std::span<const lexer::Token> item_tokens,
                const OptionSet& set) {
  const bool plsql = item.kind == lexer::ScriptItemKind::PlSql;
  if (!plsql && !set.for_sql) return;
  const std::optional<parser::ParsedStatement> parsed_item =
      parser::parse_item(text, split, item, set.options);
  if (!parsed_item) {
    // Only an item without tokens is left unparsed.
    if (!item_tokens.empty()) fuzz::fail("an item with tokens was not parsed", item.start);
    return;
  }
  const parser::ParsedStatement& parsed = *parsed_item;
  std::vector<lexer::Token> expected(item_tokens.begin(), item_tokens.end());
  if (plsql) {
    lexer::CcResult compiled = lexer::apply_conditional_compilation(text, item_tokens, set.options);
    fuzz::check_conditional_compilation(item_tokens, compiled.tokens);
    fuzz::check_diagnostics(text, compiled.diagnostics, item.start, item.end);
    expected = std::move(compiled.tokens);
  }
  fuzz::check_tree(parsed.tree, expected);
  fuzz::check_diagnostics(text, parsed.diagnostics, item.start, item.end);

  const std::optional<syntax::Span> span = syntax::node_span(parsed.tree, parsed.tree.root);
  if (!span || span->start != item.start || span->end != item.end) {
    fuzz::fail("root span is not the item's span", item.start);
  }
  static_cast<void>(views::referenced_tables(parsed.tree, text));
  std::string dump;
  syntax::dump_tree(parsed.tree, parsed.tree.root, 0, text, dump);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::run_checked([&] {
    static const std::vector<OptionSet> sets = option_sets();
    const std::string text = fuzz::input_text(data, size);
    const lexer::SplitResult split = lexer::split_script(text);
    fuzz::check_split(text, split);
    const std::span<const lexer::Token> tokens(split.tokens);
    for (const lexer::ScriptItem& item : split.items) {
      if (item.kind == lexer::ScriptItemKind::SqlPlus) continue;
      const std::span<const lexer::Token> item_tokens =
          tokens.subspan(item.first_token, item.end_token - item.first_token);
      for (const OptionSet& set : sets) check_item(text, split, item, item_tokens, set);
    }
  });
  return 0;
}
