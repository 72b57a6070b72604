#pragma once

// The scopes of name resolution. PL/SQL frames hold declared names (innermost frame first,
// the latest entry of a frame winning, then the package's own package specification); SQL frames
// hold the items of query blocks and DML statements, with their columns when the catalog
// knows them. Both index names as they are entered, so a lookup costs the same at any
// nesting depth.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/catalog.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/type_words.hpp"

namespace veltrane::resolve {

template <class Value>
using NameMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

class PlsqlScopes {
 public:
  // `own_spec` (may be null) is looked at after the outermost frame.
  explicit PlsqlScopes(const PackageSpec* own_spec) : own_spec_(own_spec) {}

  // Opens a frame, owned by `owner` unless it is empty; `owner_type` is the type word of
  // the owner's own entry. `sees_own_spec`: a frame-only lookup in this frame also looks
  // at the own package specification (a package body's unit frame).
  void open_frame(std::string_view owner, TypeWord owner_type, bool sees_own_spec = false);
  // Closes the innermost frame and forgets its entries. Stops when no frame is open.
  void close_frame();
  // Enters a name in the innermost frame; visible from now on. Ignored with no frame.
  void enter(std::string_view name, TypeWord type);

  // The type of the name's latest visible entry, innermost frame first, then the own
  // package specification.
  [[nodiscard]] std::optional<TypeWord> lookup(std::string_view name) const;
  // The same among LABEL entries only.
  [[nodiscard]] bool has_label(std::string_view name) const;

  struct OwnedFrame {
    uint32_t frame;
    TypeWord owner_type;
  };
  // The innermost open frame owned by `name`.
  [[nodiscard]] std::optional<OwnedFrame> owned_frame(std::string_view name) const;
  // The name's latest entry in that frame only (and the own package specification for the frame
  // that sees it).
  [[nodiscard]] std::optional<TypeWord> lookup_in_frame(uint32_t frame,
                                                        std::string_view name) const;

  [[nodiscard]] std::size_t frame_count() const { return frames_.size(); }

 private:
  struct Entry {
    std::string name;
    TypeWord type;
    uint32_t frame;
  };
  struct Frame {
    std::size_t first_entry;
    std::string owner;
    TypeWord owner_type;
    bool sees_own_spec;
  };

  const PackageSpec* own_spec_;
  std::vector<Entry> entries_;
  std::vector<Frame> frames_;
  NameMap<std::vector<uint32_t>> visible_;  // name to its entries, oldest first
  NameMap<std::vector<uint32_t>> owners_;   // owner name to its frames, outermost first
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
  void open_frame();
  // Closes the innermost frame and forgets its items and aliases. Stops when none is open.
  void close_frame();
  // Adds an item to the innermost frame; ignored when none is open.
  void add_item(SqlItem item);
  // Notes a select-list alias of the innermost frame's query block.
  void add_alias(std::string name);
  [[nodiscard]] bool is_alias(std::string_view name) const;

  [[nodiscard]] uint32_t frame_count() const { return static_cast<uint32_t>(frames_.size()); }

  // The innermost item of the frames from the innermost down to frame `floor` that lists
  // the column: Found for a known item, Hidden for an opaque one, NotFound when none does.
  // Items that list nothing do not end the search.
  [[nodiscard]] ColumnSearch find_column(std::string_view name, uint32_t floor) const;
  // The first item named `name` in the innermost frame (down to `floor`) that has one.
  [[nodiscard]] const SqlItem* find_item(std::string_view name, uint32_t floor) const;

 private:
  struct Placed {
    uint32_t frame;
    uint32_t item;
  };
  struct Frame {
    std::size_t first_item;
    std::size_t first_alias;
  };

  std::vector<SqlItem> items_;
  std::vector<Frame> frames_;
  std::vector<std::string> aliases_;
  NameMap<std::vector<Placed>> items_by_name_;
  NameMap<std::vector<Placed>> columns_;  // column name to the items that list it
};

}  // namespace veltrane::resolve
