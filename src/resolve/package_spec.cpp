#include "resolve/package_spec.hpp"

#include <optional>
#include <string>
#include <utility>

#include "lexer/token_values.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree_reads.hpp"
#include "views/created_object.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve {

std::string package_key(std::string_view owner, std::string_view name) {
  std::string key;
  key.reserve(owner.size() + 1 + name.size());
  key += owner;
  key += '.';
  key += name;
  return key;
}

PackageSpec::PackageSpec(std::string owner, std::string name, std::vector<SpecEntry> entries)
    : owner_(std::move(owner)), name_(std::move(name)), entries_(std::move(entries)) {
  for (uint32_t index = 0; index < entries_.size(); ++index) {
    // Numbers are given in the order names are first met: a new one is this entry's.
    if (names_.intern(entries_[index].name) == first_entry_.size()) first_entry_.push_back(index);
  }
}

const SpecEntry* PackageSpec::find(std::string_view name) const {
  const uint32_t number = names_.find(name);
  return number == NameTable::NONE ? nullptr : &entries_[first_entry_[number]];
}

PackageSpec resolve_package_spec(const parser::ParsedStatement& statement, std::string_view text,
                                 std::string_view owner) {
  const syntax::Tree& tree = statement.tree;
  std::optional<views::QualifiedName> created = views::created_object_name(statement, text);
  std::string name = created ? std::move(created->name) : std::string();
  std::vector<SpecEntry> entries;
  if (tree.nodes.empty() || !views::is_node(tree, tree.root, syntax::NodeKind::CreatePackage)) {
    return PackageSpec(std::string(owner), std::move(name), std::move(entries));
  }
  const std::optional<uint32_t> section =
      syntax::child_of_kind(tree, tree.root, syntax::syntax_kind(syntax::NodeKind::DeclareSection));
  if (section) {
    for (const syntax::Child entry : syntax::children(tree, *section)) {
      if (syntax::is_token_entry(entry)) continue;
      const std::optional<Declared> declared =
          read_declaration(tree, syntax::entry_index(entry), text);
      if (!declared) continue;
      const syntax::TreeToken& token = tree.tokens[declared->name_token];
      entries.push_back(SpecEntry{
          lexer::identifier_text(views::token_kind_of(token), views::token_text(token, text)),
          declared->type});
    }
  }
  return PackageSpec(std::string(owner), std::move(name), std::move(entries));
}

}  // namespace veltrane::resolve
