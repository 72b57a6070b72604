#pragma once
// Dotted names, database links, and names glued from SQL*Plus substitution pieces.

#include <cstdint>

namespace veltrane::parser {

class Parser;

// Modes of the reserved-word test at an item's end (see sql::is_reserved).
inline constexpr uint8_t MODE_COLUMN_ALIAS = 0;  // a column alias may follow (select items)
inline constexpr uint8_t MODE_TABLE_ALIAS = 1;   // a table alias may follow (FROM items)
inline constexpr uint8_t MODE_LIST = 2;          // expression lists, ORDER BY, GROUP BY

// name {. part | . * | @ link | glued &piece}
// Flushes, opens NameRef, bumps the current token whatever its kind (nothing at end of
// input), then name_tail. Callers call it only at a name start.
void parse_name_ref(Parser& p);

// Bumps continuation pieces while name_continuation(0) > 0.
void name_tail(Parser& p);

// An object's name may start here: an Ident, a QuotedIdent or a Substitution (&owner..t,
// &name).
[[nodiscard]] bool at_object_name(const Parser& p);

// ObjectName[NameRef] where at_object_name holds; otherwise an empty ObjectName and
// "expected a name".
void parse_object_name(Parser& p);

// Lookahead only: the current token is a Substitution that, with its glued pieces, is
// followed by the start of a new operand (so it stands for a piece of text).
[[nodiscard]] bool at_lexical(const Parser& p, uint8_t mode);

// Lexical[&piece {continuation}]
void parse_lexical(Parser& p);

}  // namespace veltrane::parser
