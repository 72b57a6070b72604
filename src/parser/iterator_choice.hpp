#pragma once
// The PL/SQL rule the argument list recurses into for the iterator of a qualified
// expression, t(FOR i IN 1..3 SEQUENCE => i). It belongs to the PL/SQL control flow and is
// defined there; this header is how the parser core reaches it without reading the
// PL/SQL grammar's headers.

namespace veltrane::parser {
class Parser;
}  // namespace veltrane::parser

namespace veltrane::plsql {

// FOR i [type] IN controls {SEQUENCE => value | INDEX key => value | => value}   as a
// ForLoop node without a loop body (at FOR, taken untested).
void parse_iterator_choice(parser::Parser& p);

}  // namespace veltrane::plsql
