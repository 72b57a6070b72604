#pragma once

// Reading the members of a JSON request body that a route uses, and nothing else: the
// body is parsed as one event stream, and only the wanted string members are kept, so
// that memory follows what is kept rather than the size of the document's tree.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "server/http.hpp"

namespace veltrane::server {

// One element of a list member ("files"): its "name" and "text" members.
struct ListElement {
  std::optional<std::string> name;
  std::optional<std::string> text;
};

// What a route keeps of a body.
struct WantedMembers {
  // The members whose string values are kept.
  std::span<const std::string_view> texts;
  // The member, if any, whose array elements keep their "name" and "text" members.
  std::optional<std::string_view> list;
};

// The kept members of one body. A member reads as absent unless the body is one JSON
// object and that member's value is a string (for `list`, an array); a later member of
// the same name replaces an earlier one.
struct BodyMembers {
  // By position in WantedMembers::texts.
  std::vector<std::optional<std::string>> texts;
  // The elements of the list member, in order; an element that is not an object keeps
  // neither member.
  std::optional<std::vector<ListElement>> list;
};

// The kept text member at `index` (its position in WantedMembers::texts); none when
// absent. The view lives as long as `members`.
[[nodiscard]] std::optional<std::string_view> text_member(const BodyMembers& members,
                                                          std::size_t index);

// Reads the wanted members of `body`. A body that the JSON reader (syntax::read_json)
// would not read as one value keeps nothing, as a body with none of the members does.
// Throws std::bad_alloc when memory runs out; nothing else.
[[nodiscard]] BodyMembers read_body_members(std::string_view body, const WantedMembers& wanted);

// The wanted members of a JSON request body.
enum class BodyStatus : uint8_t { Read, TooLarge, Failed };
struct JsonBody {
  BodyStatus status = BodyStatus::Read;
  BodyMembers members;
  IoError error;
};

// Reads exactly `content_length` bytes (none when it is over `limit`: TooLarge) and keeps
// the wanted members of them (see read_body_members).
[[nodiscard]] JsonBody read_json_body(uint64_t content_length, RequestReader& reader,
                                      uint64_t limit, const WantedMembers& wanted);

}  // namespace veltrane::server
