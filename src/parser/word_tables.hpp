#pragma once
// Reserved words and the word tables of the grammar. Keywords are Ident tokens compared
// by text: equal byte length, then the bytes with only A-Z folded to a-z. A quoted
// identifier, a substitution variable or any other token kind never matches.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "syntax/unicode.hpp"

namespace veltrane::parser {

class Parser;

using WordList = std::span<const std::string_view>;

// Oracle SQL reserved words: outside PL/SQL no plain name, table alias or column alias.
inline constexpr std::array<std::string_view, 108> RESERVED_WORDS = {
    "ACCESS",    "ADD",     "ALL",        "ALTER",      "AND",        "ANY",       "AS",
    "ASC",       "AUDIT",   "BETWEEN",    "BY",         "CHAR",       "CHECK",     "CLUSTER",
    "COLUMN",    "COMMENT", "COMPRESS",   "CONNECT",    "CREATE",     "CURRENT",   "DATE",
    "DECIMAL",   "DEFAULT", "DELETE",     "DESC",       "DISTINCT",   "DROP",      "ELSE",
    "EXCLUSIVE", "EXISTS",  "FILE",       "FLOAT",      "FOR",        "FROM",      "GRANT",
    "GROUP",     "HAVING",  "IDENTIFIED", "IMMEDIATE",  "IN",         "INCREMENT", "INDEX",
    "INITIAL",   "INSERT",  "INTEGER",    "INTERSECT",  "INTO",       "IS",        "LEVEL",
    "LIKE",      "LOCK",    "LONG",       "MAXEXTENTS", "MINUS",      "MLSLABEL",  "MODE",
    "MODIFY",    "NOAUDIT", "NOCOMPRESS", "NOT",        "NOWAIT",     "NULL",      "NUMBER",
    "OF",        "OFFLINE", "ON",         "ONLINE",     "OPTION",     "OR",        "ORDER",
    "PCTFREE",   "PRIOR",   "PUBLIC",     "RAW",        "RENAME",     "RESOURCE",  "REVOKE",
    "ROW",       "ROWID",   "ROWNUM",     "ROWS",       "SELECT",     "SESSION",   "SET",
    "SHARE",     "SIZE",    "SMALLINT",   "START",      "SUCCESSFUL", "SYNONYM",   "SYSDATE",
    "TABLE",     "THEN",    "TO",         "TRIGGER",    "UID",        "UNION",     "UNIQUE",
    "UPDATE",    "USER",    "VALIDATE",   "VALUES",     "VARCHAR",    "VARCHAR2",  "VIEW",
    "WHENEVER",  "WHERE",   "WITH",
};

// Words that end a FROM item and so are never a table alias.
inline constexpr std::array<std::string_view, 31> TABLE_REF_END_WORDS = {
    "JOIN",      "INNER",     "LEFT",         "RIGHT",    "FULL",   "CROSS",
    "NATURAL",   "OUTER",     "PIVOT",        "UNPIVOT",  "MODEL",  "MATCH_RECOGNIZE",
    "SAMPLE",    "PARTITION", "SUBPARTITION", "FETCH",    "OFFSET", "RETURN",
    "RETURNING", "LOG",       "WINDOW",       "VERSIONS", "EXCEPT", "APPLY",
    "LATERAL",   "USING",     "WHEN",         "SET",      "VALUES", "CONNECT",
    "START",
};

// Words that may stand on their own inside a call argument's tail.
inline constexpr std::array<std::string_view, 91> ARG_TAIL_WORDS = {
    "ABSENT",
    "ALL",
    "ALLOW",
    "ARRAY",
    "ASCII",
    "BLOB",
    "BOTH",
    "BY",
    "BYTE",
    "CHAR",
    "CHAR_CS",
    "CLOB",
    "COLUMNS",
    "CONDITIONAL",
    "CONTENT",
    "CONVERSION",
    "COUNT",
    "DATA",
    "DAY",
    "DEFAULTS",
    "DISALLOW",
    "DISTINCT",
    "DOCUMENT",
    "EMPTY",
    "ENCODING",
    "ENTITYESCAPING",
    "ERROR",
    "ERRORS",
    "EVALNAME",
    "EXISTS",
    "EXTRA",
    "FALSE",
    "FIRST",
    "FOR",
    "FORMAT",
    "HIDE",
    "HOUR",
    "IGNORE",
    "INDENT",
    "JSON",
    "KEYS",
    "LAST",
    "LAX",
    "LEADING",
    "LOCAL",
    "MINUTE",
    "MISMATCH",
    "MISSING",
    "MONTH",
    "NAME",
    "NCHAR_CS",
    "NESTED",
    "NO",
    "NOENTITYESCAPING",
    "NOSCHEMACHECK",
    "NULL",
    "NULLS",
    "OF",
    "ON",
    "ORDINALITY",
    "OVERFLOW",
    "PATH",
    "PRETTY",
    "REF",
    "RESPECT",
    "SCALARS",
    "SCHEMACHECK",
    "SECOND",
    "SHOW",
    "SIZE",
    "STRICT",
    "TIME",
    "TIMEZONE_ABBR",
    "TIMEZONE_HOUR",
    "TIMEZONE_MINUTE",
    "TIMEZONE_REGION",
    "TO",
    "TRAILING",
    "TRUE",
    "TRUNCATE",
    "TYPE",
    "UNCONDITIONAL",
    "UNIQUE",
    "USING",
    "VERSION",
    "WELLFORMED",
    "WITH",
    "WITHOUT",
    "WRAPPER",
    "YEAR",
    "ZONE",
};

// PL/SQL reserved words: inside a PL/SQL unit no plain name.
inline constexpr std::array<std::string_view, 85> PLSQL_RESERVED_WORDS = {
    "ALL",       "ALTER",     "AND",        "ANY",        "AS",       "ASC",       "AT",
    "BEGIN",     "BETWEEN",   "BY",         "CASE",       "CHECK",    "CLUSTER",   "CLUSTERS",
    "COLAUTH",   "COLUMNS",   "COMPRESS",   "CONNECT",    "CRASH",    "CREATE",    "CURSOR",
    "DECLARE",   "DEFAULT",   "DESC",       "DISTINCT",   "DROP",     "ELSE",      "END",
    "EXCEPTION", "EXCLUSIVE", "FETCH",      "FOR",        "FROM",     "FUNCTION",  "GOTO",
    "GRANT",     "GROUP",     "HAVING",     "IDENTIFIED", "IF",       "IN",        "INDEX",
    "INDEXES",   "INSERT",    "INTERSECT",  "INTO",       "IS",       "LIKE",      "LOCK",
    "MINUS",     "MODE",      "NOCOMPRESS", "NOT",        "NOWAIT",   "NULL",      "OF",
    "ON",        "OPTION",    "OR",         "ORDER",      "OVERLAPS", "PROCEDURE", "PUBLIC",
    "RESOURCE",  "REVOKE",    "SELECT",     "SHARE",      "SIZE",     "SQL",       "START",
    "SUBTYPE",   "TABAUTH",   "TABLE",      "THEN",       "TO",       "TYPE",      "UNION",
    "UNIQUE",    "UPDATE",    "VALUES",     "VIEW",       "VIEWS",    "WHEN",      "WHERE",
    "WITH",
};

// Option words taken as plain tokens after IS [NOT] JSON.
inline constexpr std::array<std::string_view, 9> IS_JSON_WORDS = {
    "FORMAT", "JSON", "STRICT", "LAX", "WITH", "WITHOUT", "UNIQUE", "KEYS", "VALIDATE",
};

// The annotations of a JSON-relational duality view: after a member's value in its JSON
// (call_arguments.cpp), and, with UNNEST, which annotates only a table, after a table of its
// query (from_items.cpp).
inline constexpr std::array<std::string_view, 8> MEMBER_ANNOTATION_WORDS = {
    "INSERT", "UPDATE", "DELETE", "CHECK", "NOINSERT", "NOUPDATE", "NODELETE", "NOCHECK",
};
inline constexpr std::array<std::string_view, 9> TABLE_ANNOTATION_WORDS = [] {
  std::array<std::string_view, 9> words{};
  for (std::size_t i = 0; i < MEMBER_ANNOTATION_WORDS.size(); ++i) {
    words[i] = MEMBER_ANNOTATION_WORDS[i];
  }
  words.back() = "UNNEST";
  return words;
}();

// Words that begin an out-of-line constraint in a table's element list.
inline constexpr std::array<std::string_view, 8> CONSTRAINT_START_WORDS = {
    "CONSTRAINT", "PRIMARY", "FOREIGN", "UNIQUE", "CHECK", "SUPPLEMENTAL", "SCOPE", "REF",
};

// Words skipped between CREATE [OR REPLACE] and the object keyword.
inline constexpr std::array<std::string_view, 21> CREATE_MODIFIER_WORDS = {
    "FORCE",      "NOFORCE", "EDITIONABLE", "NONEDITIONABLE", "EDITIONING", "GLOBAL",     "PRIVATE",
    "TEMPORARY",  "SHARDED", "DUPLICATED",  "BLOCKCHAIN",     "IMMUTABLE",  "UNIQUE",     "BITMAP",
    "MULTIVALUE", "PUBLIC",  "NO",          "SECURE",         "JSON",       "RELATIONAL", "DUALITY",
};

// Words that begin or modify a method of an object type or type body.
inline constexpr std::array<std::string_view, 9> METHOD_MODIFIER_WORDS = {
    "MEMBER", "STATIC", "MAP", "ORDER", "CONSTRUCTOR", "OVERRIDING", "FINAL", "INSTANTIABLE", "NOT",
};

// Stop lists of declaration sections and statement lists.
inline constexpr std::array<std::string_view, 1> BEGIN_STOP_WORDS = {"BEGIN"};
inline constexpr std::array<std::string_view, 2> WHEN_END_STOP_WORDS = {"WHEN", "END"};
inline constexpr std::array<std::string_view, 1> END_STOP_WORDS = {"END"};
inline constexpr std::array<std::string_view, 2> BEGIN_END_STOP_WORDS = {"BEGIN", "END"};
inline constexpr std::array<std::string_view, 3> ELSIF_ELSE_END_STOP_WORDS = {"ELSIF", "ELSE",
                                                                              "END"};
inline constexpr std::array<std::string_view, 4> TIMING_POINT_STOP_WORDS = {"BEFORE", "AFTER",
                                                                            "INSTEAD", "END"};

// Iteration-control words of a FOR loop.
inline constexpr std::array<std::string_view, 10> FOR_LOOP_CONTROL_WORDS = {
    "REVERSE", "BY", "VALUES", "INDICES", "PAIRS", "OF", "WHEN", "WHILE", "REPEAT", "MUTABLE",
};

inline constexpr std::array<std::string_view, 3> WHEN_ELSE_END_STOP_WORDS = {"WHEN", "ELSE", "END"};

// MODEL option words taken as plain tokens.
inline constexpr std::array<std::string_view, 11> MODEL_OPTION_WORDS = {
    "IGNORE",    "KEEP",   "NAV",     "UNIQUE", "DIMENSION", "SINGLE",
    "REFERENCE", "RETURN", "UPDATED", "ALL",    "ROWS",
};

// Reserved words that still begin an expression.
inline constexpr std::array<std::string_view, 11> EXPR_START_WORDS = {
    "NULL", "NOT", "PRIOR", "EXISTS", "LEVEL", "ROWNUM", "ROWID", "SYSDATE", "USER", "UID", "DATE",
};

// Words that continue an expression as an operator.
inline constexpr std::array<std::string_view, 15> EXPR_OPERATOR_WORDS = {
    "AND",   "OR",      "IS",     "IN",          "NOT",      "LIKE",    "LIKEC", "LIKE2",
    "LIKE4", "BETWEEN", "MEMBER", "SUBMULTISET", "MULTISET", "COLLATE", "AT",
};

// True when `text` equals `word` byte for byte after folding A-Z to a-z on both sides,
// with equal lengths. `word` is normally upper-case ASCII.
[[nodiscard]] constexpr bool word_equals(std::string_view text, std::string_view word) {
  return syntax::equals_ascii_folded(text, word);
}

// True when `text` matches some row of the table (rows scanned in order).
[[nodiscard]] constexpr bool word_in(WordList table, std::string_view text) {
  for (std::string_view row : table) {
    if (row.size() == text.size() && word_equals(text, row)) {
      return true;
    }
  }
  return false;
}

// word_in over PLSQL_RESERVED_WORDS (in PL/SQL) or RESERVED_WORDS, by a binary search:
// asked for every word-led primary of an expression.
[[nodiscard]] bool is_reserved_word(std::string_view text, bool in_plsql);
// RESERVED_WORDS or TABLE_REF_END_WORDS: never a table alias.
[[nodiscard]] bool is_reserved_or_join_word(std::string_view text);
// RESERVED_WORDS or BULK, FETCH, EXCEPT, WINDOW, OFFSET: never a column alias.
[[nodiscard]] bool is_reserved_or_clause_word(std::string_view text);
// The reserved-word test at lookahead n under a mode: false without a token or for a
// non-Ident; mode 0 is_reserved_or_clause_word, mode 1 is_reserved_or_join_word, any
// other mode RESERVED_WORDS or ROWS, NULLS, RANGE, FETCH, GROUPS, WINDOW, OFFSET.
[[nodiscard]] bool is_reserved(const Parser& p, std::uint32_t n, std::uint8_t mode);

}  // namespace veltrane::parser
