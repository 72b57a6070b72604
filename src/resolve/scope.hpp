#pragma once

// The scopes of name resolution. PL/SQL frames hold declared names (innermost frame first,
// the latest entry of a frame winning, then the package's own package specification); SQL frames
// hold the items of query blocks and DML statements, with their columns when the catalog
// knows them. Both number names as they are entered and keep, per name, its latest entry,
// each entry pointing at the one it shadows: a lookup costs the same at any nesting
// depth, and closing a frame puts back what its entries shadowed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/catalog.hpp"
#include "resolve/name_table.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/type_words.hpp"

namespace veltrane::resolve {

template <class Value>
using NameMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

class PlsqlScopes {
 public:
  // Names are numbered by `names`, which the walk shares with the SQL frames and which
  // must outlive the scopes. `own_spec` (may be null) is looked at after the outermost
  // frame.
  PlsqlScopes(NameTable& names, const PackageSpec* own_spec) : names_(names), own_spec_(own_spec) {}

  // Opens a frame, owned by the name numbered `owner` unless that is NONE or the empty
  // name; `owner_type` is the type word of the owner's own entry. `sees_own_spec`: a
  // frame-only lookup in this frame also looks at the own package specification (a package
  // body's unit frame).
  void open_frame(uint32_t owner, TypeWord owner_type, bool sees_own_spec = false);
  void open_frame(std::string_view owner, TypeWord owner_type, bool sees_own_spec = false) {
    open_frame(names_.intern(owner), owner_type, sees_own_spec);
  }
  // Closes the innermost frame and forgets its entries. Stops when no frame is open.
  void close_frame();
  // Enters a name in the innermost frame; visible from now on. Ignored with no frame.
  void enter(uint32_t name, TypeWord type);
  void enter(std::string_view name, TypeWord type) { enter(names_.intern(name), type); }

  // The type of the name's latest visible entry, innermost frame first, then the own
  // package specification.
  // Kept here: every PL/SQL name the walk reads asks it.
  [[nodiscard]] std::optional<TypeWord> lookup(uint32_t name) const {
    const uint32_t latest = latest_entry(name);
    if (latest != NameTable::NONE) return entries_[latest].type;
    if (own_spec_ == nullptr) return std::nullopt;
    return own_spec_type(names_.text(name));
  }
  [[nodiscard]] std::optional<TypeWord> lookup(std::string_view name) const;
  // The same among LABEL entries only.
  [[nodiscard]] bool has_label(uint32_t name) const;
  [[nodiscard]] bool has_label(std::string_view name) const { return has_label(names_.find(name)); }

  struct OwnedFrame {
    uint32_t frame;
    TypeWord owner_type;
  };
  // The innermost open frame owned by the name.
  [[nodiscard]] std::optional<OwnedFrame> owned_frame(uint32_t name) const;
  [[nodiscard]] std::optional<OwnedFrame> owned_frame(std::string_view name) const {
    return owned_frame(names_.find(name));
  }
  // The name's latest entry in that frame only (and the own package specification for the frame
  // that sees it).
  [[nodiscard]] std::optional<TypeWord> lookup_in_frame(uint32_t frame, uint32_t name) const;
  [[nodiscard]] std::optional<TypeWord> lookup_in_frame(uint32_t frame,
                                                        std::string_view name) const;

  [[nodiscard]] std::size_t frame_count() const { return frames_.size(); }

  // Room for the entries and frames of a walk that numbers about `names` names, so that
  // they seldom grow step by step.
  void reserve(std::size_t names);

 private:
  struct Entry {
    uint32_t name;
    uint32_t frame;
    uint32_t shadowed;  // the entry of the same name visible before, NONE for none
    TypeWord type;
  };
  struct Frame {
    std::size_t first_entry;
    uint32_t owner;           // name number, NONE for an unowned frame
    uint32_t shadowed_owned;  // the frame the owner owned before, NONE for none
    TypeWord owner_type;
    bool sees_own_spec;
  };

  // The name's latest entry; NONE for none and for the number NONE.
  [[nodiscard]] uint32_t latest_entry(uint32_t name) const {
    return name < latest_entry_.size() ? latest_entry_[name] : NameTable::NONE;
  }
  // The entry of the name in the frame only, NONE for none.
  [[nodiscard]] uint32_t entry_in_frame(uint32_t frame, uint32_t name) const;
  // The type of the own package specification's entry for the name, if any.
  [[nodiscard]] std::optional<TypeWord> own_spec_type(std::string_view name) const;

  NameTable& names_;
  const PackageSpec* own_spec_;
  std::vector<Entry> entries_;
  std::vector<Frame> frames_;
  std::vector<uint32_t> latest_entry_;  // by name number: its latest entry, NONE for none
  std::vector<uint32_t> latest_owned_;  // by name number: the innermost frame it owns
};

// One item of a SQL frame: a table, view or other row source of a FROM clause or DML
// statement. `object` is the catalog object whose columns are known, null when it is not
// known; an opaque item hides which columns it has. An opaque item with an object (a table
// under ONLY, PIVOT, UNPIVOT or MATCH_RECOGNIZE) hides which of the object's columns it
// keeps; `hidden_columns` are names an opaque item is known to give (the select list of an
// inline view or WITH query). Hidden columns get no record and are no PL/SQL names.
struct SqlItem {
  std::string name;  // alias or last part of the written name; "" for none
  const catalog::CatalogObject* object = nullptr;
  bool opaque = true;
  std::vector<std::string> hidden_columns;
};

// A one-part name among the items of SQL frames: a column of a known item, a column an
// opaque item hides, or neither.
enum class ColumnSearch : uint8_t { Found, Hidden, NotFound };

class SqlScopes {
 public:
  // Names are numbered by `names` (see PlsqlScopes), which must outlive the scopes.
  explicit SqlScopes(NameTable& names) : names_(names) {}

  void open_frame();
  // Closes the innermost frame and forgets its items and aliases. Stops when none is open.
  void close_frame();
  // Adds an item to the innermost frame; ignored when none is open.
  void add_item(SqlItem item);
  // Notes a select-list alias of the innermost frame's query block.
  void add_alias(uint32_t name);
  void add_alias(std::string_view name) { add_alias(names_.intern(name)); }
  [[nodiscard]] bool is_alias(uint32_t name) const;
  [[nodiscard]] bool is_alias(std::string_view name) const { return is_alias(names_.find(name)); }

  [[nodiscard]] uint32_t frame_count() const { return static_cast<uint32_t>(frames_.size()); }

  // The innermost item of the frames from the innermost down to frame `floor` that lists
  // the column: Found for a known item, Hidden for an opaque one, NotFound when none does.
  // Items that list nothing do not end the search.
  [[nodiscard]] ColumnSearch find_column(uint32_t name, uint32_t floor) const;
  [[nodiscard]] ColumnSearch find_column(std::string_view name, uint32_t floor) const {
    return find_column(names_.find(name), floor);
  }
  // The first item named `name` in the innermost frame (down to `floor`) that has one.
  [[nodiscard]] const SqlItem* find_item(uint32_t name, uint32_t floor) const;
  [[nodiscard]] const SqlItem* find_item(std::string_view name, uint32_t floor) const {
    return find_item(names_.find(name), floor);
  }

 private:
  // An item under one of its names: its own name or a column it lists.
  struct Placed {
    uint32_t name;
    uint32_t frame;
    uint32_t item;
    uint32_t shadowed;  // the place of the same name before, NONE for none
  };
  struct Frame {
    std::size_t first_item;
    std::size_t first_alias;
    std::size_t first_named;
    std::size_t first_listed;
  };

  // Adds a place for the name and makes it the latest one.
  void place(std::vector<Placed>& places, std::vector<uint32_t>& latest, std::string_view name,
             uint32_t item);
  // Forgets the places from `first` on, putting back what they shadowed.
  static void forget(std::vector<Placed>& places, std::vector<uint32_t>& latest, std::size_t first);
  // The name's latest place; NONE for none and for the number NONE.
  [[nodiscard]] static uint32_t latest_place(const std::vector<uint32_t>& latest, uint32_t name) {
    return name < latest.size() ? latest[name] : NameTable::NONE;
  }

  NameTable& names_;
  std::vector<SqlItem> items_;
  std::vector<Frame> frames_;
  std::vector<uint32_t> aliases_;        // name numbers
  std::vector<Placed> named_;            // items under their names, in the order added
  std::vector<Placed> listed_;           // items under the columns they list
  std::vector<uint32_t> latest_named_;   // by name number: its latest place in named_
  std::vector<uint32_t> latest_listed_;  // by name number: its latest place in listed_
};

}  // namespace veltrane::resolve
