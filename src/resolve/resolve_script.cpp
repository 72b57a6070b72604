#include "resolve/resolve_script.hpp"

#include <cstddef>
#include <utility>
#include <vector>

#include "catalog/build_catalog.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "views/created_object.hpp"

namespace veltrane::resolve {

namespace {

// The file name the script's own objects are stored under.
constexpr std::string_view SCRIPT_FILE_NAME = "script";

[[nodiscard]] bool has_root(const parser::ParsedStatement& statement, syntax::NodeKind kind) {
  return statement.tree.nodes[statement.tree.root].kind == syntax::syntax_kind(kind);
}

}  // namespace

OwnerAndName qualified_object_name(std::string_view text, std::string_view schema,
                                   const parser::ParsedStatement& statement) {
  OwnerAndName result{std::string(schema), std::nullopt};
  std::optional<views::QualifiedName> created = views::created_object_name(statement, text);
  if (!created.has_value()) return result;
  if (created->owner.has_value()) result.owner = std::move(*created->owner);
  result.name = std::move(created->name);
  return result;
}

ScriptResolver::ScriptResolver(std::string_view text, std::span<const lexer::ScriptItem> items,
                               std::span<const parser::ParsedStatement* const> statements,
                               std::string_view schema, std::span<const bool> lexer_errors)
    : text_(text), schema_(schema) {
  if (!lexer_errors.empty() && lexer_errors.size() != statements.size()) {
    syntax::stop("ScriptResolver: one lexer error flag per item expected");
  }
  std::vector<const parser::ParsedStatement*> catalog_statements;
  std::span<const parser::ParsedStatement* const> read_by_catalog = statements;
  if (!lexer_errors.empty()) {
    catalog_statements.assign(statements.begin(), statements.end());
    for (std::size_t i = 0; i < catalog_statements.size(); ++i) {
      if (lexer_errors[i]) catalog_statements[i] = nullptr;
    }
    read_by_catalog = catalog_statements;
  }
  // The schema the script ends in does not reach resolution.
  static_cast<void>(catalog::build_catalog_from_parsed(catalog_, SCRIPT_FILE_NAME, text, items,
                                                       read_by_catalog, schema,
                                                       catalog::CatalogDetail::ForResolution));
  // A later package specification under the same key replaces an earlier one.
  for (const parser::ParsedStatement* statement : statements) {
    if (statement == nullptr || !has_root(*statement, syntax::NodeKind::CreatePackage)) continue;
    OwnerAndName owner_and_name = qualified_object_name(text, schema, *statement);
    if (!owner_and_name.name.has_value()) continue;
    std::string key = package_key(owner_and_name.owner, *owner_and_name.name);
    specs_.insert_or_assign(std::move(key),
                            resolve_package_spec(*statement, text, owner_and_name.owner,
                                                 std::move(*owner_and_name.name)));
  }
}

ResolveContext ScriptResolver::context_of(const parser::ParsedStatement& statement,
                                          std::string& owner) const {
  OwnerAndName owner_and_name = qualified_object_name(text_, schema_, statement);
  const PackageSpec* own_spec = nullptr;
  if (owner_and_name.name.has_value() && has_root(statement, syntax::NodeKind::CreatePackageBody)) {
    const auto found = specs_.find(package_key(owner_and_name.owner, *owner_and_name.name));
    if (found != specs_.end()) own_spec = &found->second;
  }
  owner = std::move(owner_and_name.owner);
  return ResolveContext{owner, catalog_, own_spec, specs_};
}

ResolvedRecords ScriptResolver::resolve(const parser::ParsedStatement& statement) const {
  std::string owner;
  return resolve_statement(statement, text_, context_of(statement, owner));
}

std::vector<StatementRecord> ScriptResolver::resolve(const parser::ParsedStatement& statement,
                                                     IdentifierSink& sink) const {
  std::string owner;
  return resolve_statement(statement, text_, context_of(statement, owner), sink);
}

std::vector<ResolvedRecords> resolve_script(
    std::string_view text, std::span<const lexer::ScriptItem> items,
    std::span<const parser::ParsedStatement* const> statements, std::string_view schema) {
  const ScriptResolver resolver(text, items, statements, schema);
  std::vector<ResolvedRecords> records(statements.size());
  for (std::size_t i = 0; i < statements.size(); ++i) {
    if (statements[i] != nullptr) records[i] = resolver.resolve(*statements[i]);
  }
  return records;
}

}  // namespace veltrane::resolve
