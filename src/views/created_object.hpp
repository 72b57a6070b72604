#pragma once

// The name of the object a CREATE statement or unit creates.

#include <optional>
#include <string_view>

#include "parser/parse_entries.hpp"
#include "views/name_path.hpp"

namespace veltrane::views {

// For CREATE TABLE, VIEW, MATERIALIZED VIEW, INDEX, SEQUENCE, SYNONYM, PACKAGE, PACKAGE
// BODY, PROCEDURE, FUNCTION, TRIGGER, TYPE and TYPE BODY: object_name of the root's first
// ObjectName child (none without one). Every other root gives none. The owner is only
// what the name writes (CREATE PUBLIC SYNONYM s FOR t gives (none, S)). `text` is the
// whole source text.
[[nodiscard]] std::optional<QualifiedName> created_object_name(
    const parser::ParsedStatement& statement, std::string_view text);

}  // namespace veltrane::views
