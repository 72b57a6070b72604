#pragma once

// The catalog of schema objects that a set of scripts' DDL creates: objects (every kind
// but triggers), triggers and synonyms, each keyed by (owner, name) in identifier normal
// form and ordered by owner, then name, byte by byte.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltrane::catalog {

enum class ObjectKind : uint8_t {
  Table,
  View,
  MaterializedView,
  Sequence,
  Type,
  Package,
  Procedure,
  Function,
  Trigger
};

// The word written for each ObjectKind, indexed by its number.
inline constexpr std::array<std::string_view, 9> OBJECT_TYPE_NAMES = {
    "TABLE",   "VIEW",      "MATERIALIZED VIEW", "SEQUENCE", "TYPE",
    "PACKAGE", "PROCEDURE", "FUNCTION",          "TRIGGER"};

enum class MemberKind : uint8_t {
  Variable,
  Constant,
  Exception,
  Type,
  Subtype,
  Cursor,
  Procedure,
  Function,
  Attribute,
  Method
};

// "Variable", "Constant", "Exception", "Type", "Subtype", "Cursor", "Procedure",
// "Function", "Attribute" or "Method" (static text). A value outside the enumeration is
// a broken invariant and stops.
[[nodiscard]] std::string_view member_kind_name(MemberKind kind);

struct Column {
  std::string name;
  std::string datatype;  // "" when unknown
  bool nullable = true;
};

struct Member {
  std::string name;
  std::string type_text;
  MemberKind kind;
};

struct TableName {
  std::string owner;
  std::string name;
};

// What a TYPE is: an object type (also one declared without a definition and one created
// UNDER another), a nested table type (AS TABLE OF) or a varray type.
enum class TypeShape : uint8_t { Object, NestedTable, Varray };

struct CatalogObject {
  std::string owner;
  std::string name;
  ObjectKind kind;
  std::vector<Column> columns;
  std::vector<Member> members;
  // A trigger's table; always with an owner.
  std::optional<TableName> trigger_table;
  // The columns are known only after name resolution.
  bool columns_pending = false;
  // The file the object was last defined in.
  std::string origin;
  // A TYPE's shape, and the type it was created UNDER (always with an owner).
  TypeShape type_shape = TypeShape::Object;
  std::optional<TableName> supertype;
};

struct Synonym {
  std::string owner;  // "PUBLIC" for a public synonym
  std::string name;
  std::string target_owner;
  std::string target_name;
  std::optional<std::string> db_link;
  std::string origin;
};

using ObjectKey = std::pair<std::string, std::string>;  // (owner, name)

// Orders keys as ObjectKey's own order does, and takes a key of two views as well, so that
// a lookup builds no key (most names are longer than a string keeps without a heap block).
struct ObjectKeyLess {
  using is_transparent = void;
  using KeyView = std::pair<std::string_view, std::string_view>;
  [[nodiscard]] static KeyView view(const ObjectKey& key) { return {key.first, key.second}; }
  [[nodiscard]] static KeyView view(const KeyView& key) { return key; }
  template <class Left, class Right>
  [[nodiscard]] bool operator()(const Left& left, const Right& right) const {
    return view(left) < view(right);
  }
};

// What a name resolves to: the synonym it was found through (if any) and the object at
// the end of the synonym chain (if any). Both point into the catalog.
struct Resolved {
  const Synonym* synonym = nullptr;
  const CatalogObject* object = nullptr;
};

struct Catalog {
  std::map<ObjectKey, CatalogObject, ObjectKeyLess> objects;  // every kind but TRIGGER
  std::map<ObjectKey, CatalogObject, ObjectKeyLess> triggers;
  std::map<ObjectKey, Synonym, ObjectKeyLess> synonyms;

  // Looks a name up. With an owner written: objects, then synonyms, under (owner, name);
  // PUBLIC is not tried. Without one: objects and synonyms under (default_owner, name),
  // then synonyms under ("PUBLIC", name). A synonym found is followed for at most 16
  // hops; a target with a database link, a missing target or a loop ends the chain with
  // no object.
  [[nodiscard]] Resolved resolve(std::string_view default_owner,
                                 std::optional<std::string_view> owner,
                                 std::string_view name) const;
};

// The most synonym hops `resolve` follows.
inline constexpr int MAX_SYNONYM_HOPS = 16;

// Stores an object of any kind but TRIGGER under (owner, name), replacing whatever object
// or synonym was there. A TRIGGER goes to store_trigger instead.
void store_object(Catalog& catalog, CatalogObject object);

// Stores a trigger under (owner, name) in the triggers map, replacing the one there.
void store_trigger(Catalog& catalog, CatalogObject trigger);

// Stores a synonym under (owner, name), replacing whatever object or synonym was there.
void store_synonym(Catalog& catalog, Synonym synonym);

}  // namespace veltrane::catalog
