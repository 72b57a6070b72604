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
  names_.reserve(entries_.size());
  first_entry_.reserve(entries_.size());
  for (uint32_t index = 0; index < entries_.size(); ++index) {
    // The names are kept where the entries hold them, not copied: the entries never change,
    // and a move of the list keeps its elements where they are (a copy of the table copies
    // its texts).
    const std::string_view entry_name = entries_[index].name;
    // Numbers are given in the order names are first met: a new one is this entry's.
    if (names_.intern_lasting(entry_name, NameTable::hash_of(entry_name)) == first_entry_.size()) {
      first_entry_.push_back(index);
    }
  }
}

const SpecEntry* PackageSpec::find(std::string_view name) const {
  const uint32_t number = names_.find(name);
  return number == NameTable::NONE ? nullptr : &entries_[first_entry_[number]];
}

PackageSpec resolve_package_spec(const parser::ParsedStatement& statement, std::string_view text,
                                 std::string_view owner) {
  std::optional<views::QualifiedName> created = views::created_object_name(statement, text);
  return resolve_package_spec(statement, text, owner,
                              created ? std::move(created->name) : std::string());
}

PackageSpec resolve_package_spec(const parser::ParsedStatement& statement, std::string_view text,
                                 std::string_view owner, std::string name) {
  const syntax::Tree& tree = statement.tree;
  std::vector<SpecEntry> entries;
  if (tree.nodes.empty() || !views::is_node(tree, tree.root, syntax::NodeKind::CreatePackage)) {
    return PackageSpec(std::string(owner), std::move(name), std::move(entries));
  }
  const std::optional<uint32_t> section =
      syntax::child_of_kind(tree, tree.root, syntax::syntax_kind(syntax::NodeKind::DeclareSection));
  if (section) {
    // At most one entry per child, which makes the list's room at once.
    entries.reserve(tree.nodes[*section].count);
    for (const syntax::Child entry : syntax::children(tree, *section)) {
      if (syntax::is_token_entry(entry)) continue;
      // The entries keep no usage: the name and type word are read alone.
      const std::optional<Declared> declared =
          read_declared_name(tree, syntax::entry_index(entry), text);
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
