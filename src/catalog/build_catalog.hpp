#pragma once

// Adds the DDL of one script to a catalog.

#include <span>
#include <string>
#include <string_view>

#include "catalog/catalog.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"

namespace veltrane::catalog {

// Splits and parses `text` (the whole file) with `options` and applies its DDL to
// `catalog` in order, `schema` being the schema in force at the start. CONNECT and ALTER
// SESSION SET CURRENT_SCHEMA change the schema; a statement with an error diagnostic, the
// lexer's errors it holds included (parser::parse_item_with_lexer_errors), adds nothing,
// as in the report; a stored object gets `file_name` as its origin and replaces what was under its
// key. Returns the schema in force at the end. Never fails; records no diagnostic.
[[nodiscard]] std::string build_catalog(Catalog& catalog, std::string_view file_name,
                                        std::string_view text, std::string_view schema,
                                        const lexer::ParseOptions& options);

// How much of each object a build stores.
enum class CatalogDetail : uint8_t {
  Full,
  // What name resolution reads: no package members, no methods, and no type texts of
  // object type attributes (their names stay, as the columns of object tables, which
  // therefore get no datatypes).
  ForResolution,
};

// The same for a script its caller has already split and parsed: `items` are the split's
// items in text order and `statements` holds, item by item, the statement parsed from it,
// or null where there is none (client commands, items that gave no statement). With
// statements parsed as the call above parses them (parser::parse_item_with_lexer_errors),
// the catalog and the schema returned are those it gives for the same text and parse
// options (with CatalogDetail::Full). Stops when the two lists differ in length.
[[nodiscard]] std::string build_catalog_from_parsed(
    Catalog& catalog, std::string_view file_name, std::string_view text,
    std::span<const lexer::ScriptItem> items,
    std::span<const parser::ParsedStatement* const> statements, std::string_view schema,
    CatalogDetail detail = CatalogDetail::Full);

}  // namespace veltrane::catalog
