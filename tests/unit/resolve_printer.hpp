#pragma once
// Test support: resolves a whole script the way the analysis driver does (the catalog of
// the script under the file name "script", every package specification collected first,
// then each statement in order with its default owner) and prints the records compactly,
// one line per record in id order:
//   identifier records  "id/parent NAME TYPE USAGE @line:col"
//   statement records   "id/parent TYPE @line:col"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/build_catalog.hpp"
#include "catalog/catalog.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_statement.hpp"
#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "views/created_object.hpp"

namespace veltrane::test_support {

struct ResolvedItem {
  parser::ParsedStatement statement;
  resolve::ResolvedRecords records;
  std::string printed;  // the compact lines, each ending in "\n"
};

// The owner and name a statement creates as the driver keys them: the owner written,
// else the schema.
struct OwnerAndName {
  std::string owner;
  std::optional<std::string> name;
};

inline OwnerAndName qualified_name(const parser::ParsedStatement& statement, std::string_view text,
                                   std::string_view schema) {
  const std::optional<views::QualifiedName> created = views::created_object_name(statement, text);
  if (!created) return {std::string(schema), std::nullopt};
  return {created->owner.value_or(std::string(schema)), created->name};
}

inline std::string print_records(const resolve::ResolvedRecords& records,
                                 const syntax::LineIndex& lines) {
  struct Line {
    uint32_t id;
    std::string text;
  };
  std::vector<Line> printed;
  const auto at = [&](uint32_t offset) {
    const syntax::LineCol position = syntax::line_col(lines, offset);
    return " @" + std::to_string(position.line) + ":" + std::to_string(position.column);
  };
  for (const resolve::IdentifierRecord& record : records.identifiers) {
    printed.push_back({record.id, std::to_string(record.id) + "/" + std::to_string(record.parent) +
                                      " " + record.name + " " + std::string(record.type) + " " +
                                      std::string(resolve::usage_name(record.usage)) +
                                      at(record.start)});
  }
  for (const resolve::StatementRecord& record : records.statements) {
    printed.push_back({record.id, std::to_string(record.id) + "/" + std::to_string(record.parent) +
                                      " " + std::string(record.type) + at(record.start)});
  }
  std::stable_sort(printed.begin(), printed.end(),
                   [](const Line& a, const Line& b) { return a.id < b.id; });
  std::string out;
  for (const Line& line : printed) out += line.text + "\n";
  return out;
}

// Every parsed statement of the script with its records, in script order.
inline std::vector<ResolvedItem> resolve_script(std::string_view text,
                                                std::string_view schema = "APP") {
  const lexer::ParseOptions options{};
  const lexer::SplitResult split = lexer::split_script(text);
  std::vector<parser::ParsedStatement> statements;
  for (const lexer::ScriptItem& item : split.items) {
    std::optional<parser::ParsedStatement> parsed = parser::parse_item(text, split, item, options);
    if (parsed) statements.push_back(std::move(*parsed));
  }
  catalog::Catalog catalog;
  (void)catalog::build_catalog(catalog, "script", text, schema, options);
  std::unordered_map<std::string, resolve::PackageSpec> specs;
  for (const parser::ParsedStatement& statement : statements) {
    if (statement.tree.nodes[statement.tree.root].kind !=
        syntax::syntax_kind(syntax::NodeKind::CreatePackage)) {
      continue;
    }
    const OwnerAndName key = qualified_name(statement, text, schema);
    if (!key.name) continue;
    specs.insert_or_assign(resolve::package_key(key.owner, *key.name),
                           resolve::resolve_package_spec(statement, text, key.owner));
  }
  const syntax::LineIndex lines = syntax::build_line_index(text);
  std::vector<ResolvedItem> resolved;
  for (parser::ParsedStatement& statement : statements) {
    const OwnerAndName key = qualified_name(statement, text, schema);
    const resolve::PackageSpec* own_spec = nullptr;
    if (key.name && statement.tree.nodes[statement.tree.root].kind ==
                        syntax::syntax_kind(syntax::NodeKind::CreatePackageBody)) {
      const auto found = specs.find(resolve::package_key(key.owner, *key.name));
      if (found != specs.end()) own_spec = &found->second;
    }
    const resolve::ResolveContext context{key.owner, catalog, own_spec, specs, nullptr};
    resolve::ResolvedRecords records = resolve::resolve_statement(statement, text, context);
    std::string printed = print_records(records, lines);
    resolved.push_back(ResolvedItem{std::move(statement), std::move(records), std::move(printed)});
  }
  return resolved;
}

}  // namespace veltrane::test_support
