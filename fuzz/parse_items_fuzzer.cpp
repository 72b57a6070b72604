// Split, then parse every statement and PL/SQL unit under several option sets: without
// flags and with "debug:TRUE, level:2", for the target versions 26ai and 12.1. Each tree
// must hold its item's tokens exactly once and in order (after conditional compilation,
// which may only change kinds), keep the tree invariants and keep its diagnostics inside
// the item; the tree walks of the catalog and the dump must get through it. Every tree is
// then resolved twice, as the analysis driver resolves it: once with an empty catalog and no
// package specifications, and once through the driver's own road (the catalog built from
// the parsed input, schema "APP", and the package specifications of the input's packages); both
// must keep the record invariants. The lexer errors that items hold are the lexer's own, each
// held by one item at most, and every one that starts inside a parsed item's text is held.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalog/catalog.hpp"
#include "fuzz_checks.hpp"
#include "lexer/conditional_compilation.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/item_lexer_errors.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_script.hpp"
#include "resolve/resolve_statement.hpp"
#include "syntax/dump.hpp"
#include "syntax/kinds.hpp"
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

// The schema the catalog starts in and the owner of names a statement does not qualify.
constexpr std::string_view SCHEMA = "APP";

// Parses one item under `set` and checks its tree; none when the set skips the item or
// the item has no tokens.
std::optional<parser::ParsedStatement> check_item(std::string_view text,
                                                  const lexer::SplitResult& split,
                                                  const lexer::ScriptItem& item,
                                                  std::span<const lexer::Token> item_tokens,
                                                  const OptionSet& set) {
  const bool plsql = item.kind == lexer::ScriptItemKind::PlSql;
  if (!plsql && !set.for_sql) return std::nullopt;
  std::optional<parser::ParsedStatement> parsed_item =
      parser::parse_item(text, split, item, set.options);
  if (!parsed_item) {
    // Only an item without tokens is left unparsed.
    if (!item_tokens.empty()) fuzz::fail("an item with tokens was not parsed", item.start);
    return std::nullopt;
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
  return parsed_item;
}

// The lexer errors each item holds: unterminated ones of the split, each held once at most,
// none before its item, and all that start inside a parsed item's text among them.
void check_held_lexer_errors(std::string_view text, const lexer::SplitResult& split) {
  std::vector<int> holders(split.diagnostics.size(), 0);
  for (const lexer::ScriptItem& item : split.items) {
    const std::vector<syntax::Diagnostic> held = parser::held_lexer_errors(text, split, item);
    for (const syntax::Diagnostic& error : held) {
      const auto found = std::find(split.diagnostics.begin(), split.diagnostics.end(), error);
      if (found == split.diagnostics.end() || error.start < item.start ||
          !error.message.starts_with("unterminated")) {
        fuzz::fail("a held lexer error that is not the item's", error.start);
      }
      if (++holders[static_cast<std::size_t>(found - split.diagnostics.begin())] > 1) {
        fuzz::fail("a lexer error held twice", error.start);
      }
    }
    if (item.first_token >= item.end_token) continue;
    for (const syntax::Diagnostic& error : split.diagnostics) {
      if (error.start >= item.start && error.start < item.end &&
          error.message.starts_with("unterminated") &&
          std::find(held.begin(), held.end(), error) == held.end()) {
        fuzz::fail("an unterminated token inside an item is not held", error.start);
      }
    }
  }
}

using SpecMap = std::unordered_map<std::string, resolve::PackageSpec>;

// Resolves every statement with an empty catalog and no package specifications, each
// under its default owner, and checks the records.
void check_resolution_alone(std::string_view text,
                            std::span<const parser::ParsedStatement* const> statements) {
  const catalog::Catalog empty_catalog;
  const SpecMap no_specs;
  for (const parser::ParsedStatement* statement : statements) {
    if (statement == nullptr) continue;
    const resolve::OwnerAndName key = resolve::qualified_object_name(text, SCHEMA, *statement);
    const resolve::ResolveContext context{key.owner, empty_catalog, nullptr, no_specs};
    fuzz::check_resolved(statement->tree, resolve::resolve_statement(*statement, text, context));
  }
}

// Resolves the script as the analysis driver does (its own catalog and package
// package specifications from the same statements) and checks the records.
void check_script_resolution(std::string_view text, const lexer::SplitResult& split,
                             std::span<const parser::ParsedStatement* const> statements) {
  const std::vector<resolve::ResolvedRecords> records =
      resolve::resolve_script(text, split.items, statements, SCHEMA);
  for (std::size_t i = 0; i < statements.size(); ++i) {
    if (statements[i] != nullptr) fuzz::check_resolved(statements[i]->tree, records[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::run_checked([&] {
    static const std::vector<OptionSet> sets = option_sets();
    const std::string text = fuzz::input_text(data, size);
    const lexer::SplitResult split = lexer::split_script(text);
    fuzz::check_split(text, split);
    check_held_lexer_errors(text, split);
    const std::span<const lexer::Token> tokens(split.tokens);
    // The statements of the last set that parsed SQL: SQL never reads the flags, so a set
    // that skips SQL resolves its PL/SQL among the SQL statements of the set before it,
    // which has the same version.
    std::vector<std::optional<parser::ParsedStatement>> sql_set_parsed(split.items.size());
    for (const OptionSet& set : sets) {
      std::vector<std::optional<parser::ParsedStatement>> parsed(split.items.size());
      std::vector<const parser::ParsedStatement*> statements(split.items.size(), nullptr);
      std::vector<const parser::ParsedStatement*> own_statements(split.items.size(), nullptr);
      for (std::size_t i = 0; i < split.items.size(); ++i) {
        const lexer::ScriptItem& item = split.items[i];
        if (item.kind == lexer::ScriptItemKind::SqlPlus) continue;
        const std::span<const lexer::Token> item_tokens =
            tokens.subspan(item.first_token, item.end_token - item.first_token);
        parsed[i] = check_item(text, split, item, item_tokens, set);
        if (parsed[i]) {
          statements[i] = &*parsed[i];
          own_statements[i] = &*parsed[i];
        } else if (!set.for_sql && sql_set_parsed[i]) {
          statements[i] = &*sql_set_parsed[i];
        }
      }
      check_resolution_alone(text, own_statements);
      check_script_resolution(text, split, statements);
      if (set.for_sql) sql_set_parsed = std::move(parsed);
    }
  });
  return 0;
}
