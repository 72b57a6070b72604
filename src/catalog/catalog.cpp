#include "catalog/catalog.hpp"

#include <array>
#include <cstddef>
#include <utility>

#include "syntax/stop.hpp"

namespace veltrane::catalog {

namespace {

constexpr std::array<std::string_view, 10> MEMBER_KIND_NAMES = {
    "Variable", "Constant",  "Exception", "Type",      "Subtype",
    "Cursor",   "Procedure", "Function",  "Attribute", "Method"};

template <class Value>
const Value* find(const std::map<ObjectKey, Value, ObjectKeyLess>& map, std::string_view owner,
                  std::string_view name) {
  const auto found = map.find(ObjectKeyLess::KeyView{owner, name});
  return found == map.end() ? nullptr : &found->second;
}

}  // namespace

std::string_view member_kind_name(MemberKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  if (index >= MEMBER_KIND_NAMES.size()) syntax::stop("member kind out of range");
  return MEMBER_KIND_NAMES[index];
}

Resolved Catalog::resolve(std::string_view default_owner, std::optional<std::string_view> owner,
                          std::string_view name) const {
  Resolved resolved;
  const Synonym* synonym = nullptr;
  if (owner) {
    resolved.object = find(objects, *owner, name);
    if (resolved.object) return resolved;
    synonym = find(synonyms, *owner, name);
  } else {
    resolved.object = find(objects, default_owner, name);
    if (resolved.object) return resolved;
    synonym = find(synonyms, default_owner, name);
    if (!synonym) synonym = find(synonyms, "PUBLIC", name);
  }
  if (!synonym) return resolved;
  resolved.synonym = synonym;
  // Follow the chain; a loop runs into the bound.
  const Synonym* hop = synonym;
  for (int step = 0; step < MAX_SYNONYM_HOPS; ++step) {
    if (hop->db_link) return resolved;
    if (const CatalogObject* object = find(objects, hop->target_owner, hop->target_name)) {
      resolved.object = object;
      return resolved;
    }
    hop = find(synonyms, hop->target_owner, hop->target_name);
    if (!hop) return resolved;
  }
  return resolved;
}

void store_object(Catalog& catalog, CatalogObject object) {
  if (object.kind == ObjectKind::Trigger) {
    store_trigger(catalog, std::move(object));
    return;
  }
  ObjectKey key{object.owner, object.name};
  catalog.synonyms.erase(key);
  catalog.objects.insert_or_assign(std::move(key), std::move(object));
}

void store_trigger(Catalog& catalog, CatalogObject trigger) {
  ObjectKey key{trigger.owner, trigger.name};
  catalog.triggers.insert_or_assign(std::move(key), std::move(trigger));
}

void store_synonym(Catalog& catalog, Synonym synonym) {
  ObjectKey key{synonym.owner, synonym.name};
  catalog.objects.erase(key);
  catalog.synonyms.insert_or_assign(std::move(key), std::move(synonym));
}

}  // namespace veltrane::catalog
