#pragma once
// The two query rules the expression grammar recurses into (scalar subqueries,
// parenthesised queries in lists and call arguments). They belong to the query
// grammar and are defined with it; this header is how the parser core reaches them
// without reading the statement grammar's headers.

#include <cstdint>

namespace veltrane::parser {
class Parser;
}  // namespace veltrane::parser

namespace veltrane::sql {

// [WITH ...] block {UNION|INTERSECT|MINUS|EXCEPT [ALL|DISTINCT] block}
//   [ORDER [SIBLINGS] BY ...] [OFFSET n ROWS] [FETCH FIRST n ROWS ONLY]
// Opens one Query node (none at the nesting limit).
void parse_query(parser::Parser& p);

// At lookahead n: one or more "(" followed by SELECT or WITH, where every outer
// "(" of the run really encloses a query (not an operand or a join).
[[nodiscard]] bool at_paren_query(const parser::Parser& p, std::uint32_t n);

}  // namespace veltrane::sql
