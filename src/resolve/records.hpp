#pragma once

// What name resolution produces: one record per declaration, definition, reference,
// assignment or call of a name that resolves, and one record per SQL or cursor statement,
// together with what a resolution is given (the context).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "catalog/catalog.hpp"

namespace veltrane::resolve {

enum class IdentifierUsage : uint8_t { Declaration, Definition, Reference, Assignment, Call };

// The name of each usage, in the order of the enumeration: the one list of them, which
// the writers of results read or derive their texts from.
inline constexpr std::array<std::string_view, 5> USAGE_NAMES = {"DECLARATION", "DEFINITION",
                                                                "REFERENCE", "ASSIGNMENT", "CALL"};

static_assert(USAGE_NAMES.size() == static_cast<std::size_t>(IdentifierUsage::Call) + 1);

// USAGE_NAMES of the usage (static text). A value outside the enumeration is a broken
// invariant and stops.
[[nodiscard]] std::string_view usage_name(IdentifierUsage usage);

// One name. `type` points to a fixed type word ("VARIABLE", "TABLE", ...). `start` and
// `end` are the byte offsets of the name's token (for a quoted identifier `start` is the
// opening quote and `end` follows the closing one). `id` counts from 1 per statement;
// `parent` is the id of the innermost enclosing context record, 0 for none. `Name` holds
// the identifier's normal form: its own text in a record kept in a list, a view of the
// walk's text in the record the walk hands to a sink.
template <class Name>
struct BasicIdentifierRecord {
  Name name;
  std::string_view type;
  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t id = 0;
  uint32_t parent = 0;
  IdentifierUsage usage = IdentifierUsage::Reference;
};

using IdentifierRecord = BasicIdentifierRecord<std::string>;
using IdentifierView = BasicIdentifierRecord<std::string_view>;

[[nodiscard]] inline IdentifierView view_of(const IdentifierRecord& record) {
  return IdentifierView{record.name, record.type,   record.start, record.end,
                        record.id,   record.parent, record.usage};
}

// Takes each identifier record as the walk makes it, in the order a list would hold them,
// instead of a list: a writer that writes each record at once keeps none of them. The record
// and the text of its name are valid for the call only.
class IdentifierSink {
 public:
  virtual void take(const IdentifierView& record) = 0;

 protected:
  IdentifierSink() = default;
  IdentifierSink(const IdentifierSink&) = default;
  IdentifierSink& operator=(const IdentifierSink&) = default;
  ~IdentifierSink() = default;
};

// One SQL or cursor statement. `type` points to a fixed statement word ("SELECT",
// "EXECUTE IMMEDIATE", ...); `start` is the statement node's first significant token,
// `end` the end of the node's span. Ids share one counter with the identifier records.
struct StatementRecord {
  std::string_view type;
  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t id = 0;
  uint32_t parent = 0;
};

// The declarations of one package specification (package_spec.hpp).
class PackageSpec;

// Everything a resolution reads besides the statement: the owner of names written
// without one, the catalog, the package specification of the package whose body is resolved
// (if it was found) and every package specification keyed by package_key. All borrowed.
struct ResolveContext {
  std::string_view default_owner;
  const catalog::Catalog& catalog;
  const PackageSpec* own_spec;
  const std::unordered_map<std::string, PackageSpec>& package_specs;
};

// The key of a package specification: owner + "." + name (both in identifier normal form). The
// analysis driver keys its map with it too.
[[nodiscard]] std::string package_key(std::string_view owner, std::string_view name);

}  // namespace veltrane::resolve
