#pragma once
// Fixed message texts that more than one grammar file records (the expression grammar,
// the SQL statements and clauses, the PL/SQL rules): one definition each. A text that
// only one file records stays beside the rules of that file.

#include <string_view>

namespace veltrane::parser {

inline constexpr std::string_view MSG_EXPECTED_LPAREN = "expected (";
inline constexpr std::string_view MSG_EXPECTED_RPAREN = "expected )";
// FROM items and the query block; the expression grammar's own text for a
// parenthesised subquery is MSG_EXPECTED_SUBQUERY_CLOSE.
inline constexpr std::string_view MSG_EXPECTED_RPAREN_AFTER_THE_SUBQUERY =
    "expected ) after the subquery";
inline constexpr std::string_view MSG_EXPECTED_AS = "expected AS";
inline constexpr std::string_view MSG_EXPECTED_INTO = "expected INTO";
inline constexpr std::string_view MSG_EXPECTED_ON = "expected ON";
inline constexpr std::string_view MSG_EXPECTED_ORDER_BY = "expected BY after ORDER";
inline constexpr std::string_view MSG_EXPECTED_SET = "expected SET";
inline constexpr std::string_view MSG_EXPECTED_THEN = "expected THEN";
inline constexpr std::string_view MSG_EXPECTED_COLUMN = "expected a column";
inline constexpr std::string_view MSG_EXPECTED_COLUMN_NAME = "expected a column name";

}  // namespace veltrane::parser
