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
#include "syntax/positions.hpp"
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
                                 const syntax::Positions& positions) {
  struct Line {
    uint32_t id;
    std::string text;
  };
  std::vector<Line> printed;
  const auto at = [&](uint32_t offset) {
    const syntax::LineCol position = positions.at(offset);
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
  const syntax::Positions positions(text);
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
    std::string printed = print_records(records, positions);
    resolved.push_back(ResolvedItem{std::move(statement), std::move(records), std::move(printed)});
  }
  return resolved;
}

// The invariants every resolution keeps, checked over one statement's records: ids run
// 1, 2, ... over both lists together, each list in increasing order; a parent is 0 or an
// earlier id; an identifier record lies exactly on a name token of the statement, and a
// statement record starts at one of its significant tokens. Empty when all hold,
// otherwise the first broken one.
inline std::string broken_invariant(const parser::ParsedStatement& statement,
                                    const resolve::ResolvedRecords& records) {
  const syntax::Tree& tree = statement.tree;
  std::vector<bool> seen(records.identifiers.size() + records.statements.size() + 1, false);
  const auto check_id = [&](uint32_t id, uint32_t parent, uint32_t& last) -> std::string {
    if (id == 0 || id >= seen.size() || seen[id])
      return "id " + std::to_string(id) + " out of order";
    if (id <= last) return "ids not increasing at " + std::to_string(id);
    if (parent >= id)
      return "parent " + std::to_string(parent) + " not before " + std::to_string(id);
    seen[id] = true;
    last = id;
    return {};
  };
  // Token index by start offset (tokens are in source order).
  const auto token_at = [&](uint32_t start) -> std::optional<uint32_t> {
    const auto found = std::lower_bound(
        tree.tokens.begin(), tree.tokens.end(), start,
        [](const syntax::TreeToken& token, uint32_t offset) { return token.start < offset; });
    if (found == tree.tokens.end() || found->start != start) return std::nullopt;
    return static_cast<uint32_t>(found - tree.tokens.begin());
  };
  uint32_t last = 0;
  for (const resolve::IdentifierRecord& record : records.identifiers) {
    if (std::string error = check_id(record.id, record.parent, last); !error.empty()) return error;
    const std::optional<uint32_t> token = token_at(record.start);
    const bool name_token =
        token && (tree.tokens[*token].kind == syntax::syntax_kind(syntax::TokenKind::Ident) ||
                  tree.tokens[*token].kind == syntax::syntax_kind(syntax::TokenKind::QuotedIdent));
    if (!name_token || tree.tokens[*token].end != record.end) {
      return "record " + std::to_string(record.id) + " is not on a name token";
    }
  }
  last = 0;
  for (const resolve::StatementRecord& record : records.statements) {
    if (std::string error = check_id(record.id, record.parent, last); !error.empty()) return error;
    const std::optional<uint32_t> token = token_at(record.start);
    if (!token || syntax::is_trivia(tree.tokens[*token].kind) || record.end < record.start) {
      return "statement record " + std::to_string(record.id) + " is not on a token";
    }
  }
  for (std::size_t id = 1; id < seen.size(); ++id) {
    if (!seen[id]) return "id " + std::to_string(id) + " missing";
  }
  return {};
}

}  // namespace veltrane::test_support
