#pragma once

// Name resolution of a whole script, as the analysis resolves it: the catalog of the
// script's own DDL under the file name "script", the package specification of every
// CREATE PACKAGE known before anything is resolved, then every statement with its default
// owner.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/catalog.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_statement.hpp"

namespace veltrane::resolve {

// The owner and name under which a statement's object is resolved (and, for a package,
// its package specification kept): the owner written in the CREATE, else `schema`, with
// the created object's name; `schema` and no name when the statement creates no named
// object.
struct OwnerAndName {
  std::string owner;
  std::optional<std::string> name;
};

[[nodiscard]] OwnerAndName qualified_object_name(std::string_view text, std::string_view schema,
                                                 const parser::ParsedStatement& statement);

// Everything a script's statements are resolved with. `items` are the split's items and
// `statements` holds, item by item, the statement parsed from it or null; both are read
// during construction only, while `text` must outlive the resolver. Schema changes made
// by the script (CONNECT, ALTER SESSION SET CURRENT_SCHEMA) reach the catalog only:
// owners and package specification keys come from the CREATE or from `schema`. Where
// `lexer_errors` is given (one flag per item), an item whose text holds a lexer error adds
// nothing to the catalog, as a statement with errors adds nothing.
class ScriptResolver {
 public:
  ScriptResolver(std::string_view text, std::span<const lexer::ScriptItem> items,
                 std::span<const parser::ParsedStatement* const> statements,
                 std::string_view schema, std::span<const bool> lexer_errors = {});
  ScriptResolver(const ScriptResolver&) = delete;
  ScriptResolver& operator=(const ScriptResolver&) = delete;

  // The records of one statement of the script. A package body sees the package specification
  // kept under its own key.
  [[nodiscard]] ResolvedRecords resolve(const parser::ParsedStatement& statement) const;
  // The same records, the identifier records handed to `sink` as they are made; returns the
  // statement records.
  [[nodiscard]] std::vector<StatementRecord> resolve(const parser::ParsedStatement& statement,
                                                     IdentifierSink& sink) const;

  // Built with catalog::CatalogDetail::ForResolution: what resolution reads only.
  [[nodiscard]] const catalog::Catalog& script_catalog() const { return catalog_; }

 private:
  std::string_view text_;
  std::string schema_;
  catalog::Catalog catalog_;
  std::unordered_map<std::string, PackageSpec> specs_;

  // The context a statement is resolved in; `owner` holds the owner it borrows.
  [[nodiscard]] ResolveContext context_of(const parser::ParsedStatement& statement,
                                          std::string& owner) const;
};

// The records of every item, in item order: empty where `statements` holds null.
[[nodiscard]] std::vector<ResolvedRecords> resolve_script(
    std::string_view text, std::span<const lexer::ScriptItem> items,
    std::span<const parser::ParsedStatement* const> statements, std::string_view schema);

}  // namespace veltrane::resolve
