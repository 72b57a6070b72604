#pragma once

// Adds the DDL of one script to a catalog.

#include <string>
#include <string_view>

#include "catalog/catalog.hpp"
#include "lexer/parse_options.hpp"

namespace veltrane::catalog {

// Splits and parses `text` (the whole file) with `options` and applies its DDL to
// `catalog` in order, `schema` being the schema in force at the start. CONNECT and ALTER
// SESSION SET CURRENT_SCHEMA change the schema; a statement with an error diagnostic adds
// nothing; a stored object gets `file_name` as its origin and replaces what was under its
// key. Returns the schema in force at the end. Never fails; records no diagnostic.
[[nodiscard]] std::string build_catalog(Catalog& catalog, std::string_view file_name,
                                        std::string_view text, std::string_view schema,
                                        const lexer::ParseOptions& options);

}  // namespace veltrane::catalog
