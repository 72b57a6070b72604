#pragma once

// Package specifications, kept so that the package's body and other units can see the
// names it declares.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "parser/parse_entries.hpp"
#include "resolve/name_table.hpp"
#include "resolve/records.hpp"
#include "resolve/type_words.hpp"

namespace veltrane::resolve {

// A string hash that also takes views, for lookups without a copy.
struct TextHash {
  using is_transparent = void;
  [[nodiscard]] std::size_t operator()(std::string_view text) const { return hash_name(text); }
};

// One declaration of a package specification: its name in normal form and its type word.
struct SpecEntry {
  std::string name;
  TypeWord type = TypeWord::Variable;
};

// The owner, the name and the declarations of one CREATE PACKAGE, in order. Its holder
// only stores it and lends it to a resolution.
class PackageSpec {
 public:
  PackageSpec() = default;
  PackageSpec(std::string owner, std::string name, std::vector<SpecEntry> entries);

  [[nodiscard]] const std::string& owner() const { return owner_; }
  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] const std::vector<SpecEntry>& entries() const { return entries_; }

  // The first entry declared under `name`; none when the package specification has none.
  [[nodiscard]] const SpecEntry* find(std::string_view name) const;

 private:
  std::string owner_;
  std::string name_;
  std::vector<SpecEntry> entries_;
  NameTable names_;                    // the entries' names
  std::vector<uint32_t> first_entry_;  // by name number: the index of its first entry
};

// The package specification of a CREATE PACKAGE statement: `owner`, the name it creates ("" when
// it names none) and one entry per declaration of its declare section, with the type
// words of name resolution. `text` is the whole source text. Makes no records and never
// fails; a statement of another kind gives one without entries.
[[nodiscard]] PackageSpec resolve_package_spec(const parser::ParsedStatement& statement,
                                               std::string_view text, std::string_view owner);
// The same for a caller that has read the name the statement creates already.
[[nodiscard]] PackageSpec resolve_package_spec(const parser::ParsedStatement& statement,
                                               std::string_view text, std::string_view owner,
                                               std::string name);

}  // namespace veltrane::resolve
