// Split, then parse every statement and PL/SQL unit under several option sets: without
// flags and with "debug:TRUE, level:2", for the target versions 26ai and 12.1. Each tree
// must hold its item's tokens exactly once and in order (after conditional compilation,
// which may only change kinds), keep the tree invariants and keep its diagnostics inside
// the item; the tree walks of the catalog and the dump must get through it. Every tree is
// then resolved twice, as the analysis driver resolves it: once with an empty catalog and no
// package specifications, and once with the catalog built from the input itself (schema
// "APP") and the specifications of the input's packages; both must keep the record
// invariants.

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

#include "catalog/build_catalog.hpp"
#include "catalog/catalog.hpp"
#include "fuzz_checks.hpp"
#include "lexer/conditional_compilation.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_statement.hpp"
#include "syntax/dump.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree_reads.hpp"
#include "views/created_object.hpp"
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

bool has_root(const parser::ParsedStatement& statement, syntax::NodeKind kind) {
  return statement.tree.nodes[statement.tree.root].kind == syntax::syntax_kind(kind);
}

// The owner and name a statement creates as the driver keys them: the owner written, else
// the schema; no name for a statement that creates none.
struct OwnerAndName {
  std::string owner;
  std::optional<std::string> name;
};

OwnerAndName created_name(const parser::ParsedStatement& statement, std::string_view text) {
  std::optional<views::QualifiedName> created = views::created_object_name(statement, text);
  if (!created) return {std::string(SCHEMA), std::nullopt};
  return {created->owner.value_or(std::string(SCHEMA)), std::move(created->name)};
}

using SpecMap = std::unordered_map<std::string, resolve::PackageSpec>;

// The specification of every CREATE PACKAGE, a later one replacing an earlier one.
SpecMap package_specs(std::string_view text, const std::vector<parser::ParsedStatement>& parsed) {
  SpecMap specs;
  for (const parser::ParsedStatement& statement : parsed) {
    if (!has_root(statement, syntax::NodeKind::CreatePackage)) continue;
    const OwnerAndName key = created_name(statement, text);
    if (!key.name) continue;
    specs.insert_or_assign(resolve::package_key(key.owner, *key.name),
                           resolve::resolve_package_spec(statement, text, key.owner));
  }
  return specs;
}

// Resolves every statement with `catalog` and `specs` (a package body sees the
// specification under its own key) and checks the records.
void check_resolution(std::string_view text, const std::vector<parser::ParsedStatement>& parsed,
                      const catalog::Catalog& catalog, const SpecMap& specs) {
  for (const parser::ParsedStatement& statement : parsed) {
    const OwnerAndName key = created_name(statement, text);
    const resolve::PackageSpec* own_spec = nullptr;
    if (key.name && has_root(statement, syntax::NodeKind::CreatePackageBody)) {
      const auto found = specs.find(resolve::package_key(key.owner, *key.name));
      if (found != specs.end()) own_spec = &found->second;
    }
    const resolve::ResolveContext context{key.owner, catalog, own_spec, specs};
    fuzz::check_resolved(statement.tree, resolve::resolve_statement(statement, text, context));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::run_checked([&] {
    static const std::vector<OptionSet> sets = option_sets();
    const std::string text = fuzz::input_text(data, size);
    const lexer::SplitResult split = lexer::split_script(text);
    fuzz::check_split(text, split);
    const std::span<const lexer::Token> tokens(split.tokens);
    // The catalog of the input under the first option set; its statements are parsed anew.
    catalog::Catalog input_catalog;
    static_cast<void>(
        catalog::build_catalog(input_catalog, "script", text, SCHEMA, sets.front().options));
    const catalog::Catalog empty_catalog;
    const SpecMap no_specs;
    for (const OptionSet& set : sets) {
      std::vector<parser::ParsedStatement> parsed;
      for (const lexer::ScriptItem& item : split.items) {
        if (item.kind == lexer::ScriptItemKind::SqlPlus) continue;
        const std::span<const lexer::Token> item_tokens =
            tokens.subspan(item.first_token, item.end_token - item.first_token);
        std::optional<parser::ParsedStatement> statement =
            check_item(text, split, item, item_tokens, set);
        if (statement) parsed.push_back(std::move(*statement));
      }
      check_resolution(text, parsed, empty_catalog, no_specs);
      check_resolution(text, parsed, input_catalog, package_specs(text, parsed));
    }
  });
  return 0;
}
