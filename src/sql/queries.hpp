#pragma once
// Query grammar: query expressions, query blocks, GROUP BY, FOR UPDATE, column
// lists, FROM items, joins and aliases. Every rule works on the one Parser of a
// parse and writes into its tree builder; none of them fails on bad input.

#include <cstdint>

#include "parser/subqueries.hpp"

namespace veltrane::parser {
class Parser;
}

namespace veltrane::sql {

using veltrane::parser::Parser;

// ---- query expressions (query.cpp) ----

// parse_query and at_paren_query: parser/subqueries.hpp.

// SELECT, WITH, or a run of "(" that leads to a query.
[[nodiscard]] bool at_query_start(const Parser& p);

// ---- query blocks (query_block.cpp) ----

// SELECT ... | VALUES (...), ... | ( query ) | &substitution
void parse_query_block(Parser& p);

// ---- GROUP BY (group_by.cpp) ----

// GROUP BY element, ...   (current words GROUP BY)
void parse_group_by(Parser& p);

// ROLLUP (...) | CUBE (...) | GROUPING SETS (...) | () | expression
void parse_group_by_element(Parser& p);

// ---- FOR UPDATE (for_update.cpp) ----

// FOR UPDATE [OF cols] [NOWAIT | WAIT n | SKIP LOCKED]   (current words FOR UPDATE)
void parse_for_update(Parser& p);

// ---- column lists (column_lists.cpp) ----

// ( name, name, ... )   (current token "(")
void parse_column_list(Parser& p);

// ---- FROM items (from_items.cpp) ----

// item {, item}   (no node of its own; callers open FromClause)
void parse_from_list(Parser& p);

// One FROM item with its suffixes, or a parenthesised join.
void parse_table_ref(Parser& p);

// {PARTITION|SUBPARTITION} [FOR] ( expr, ... )   after a table name (FROM items and DML
// targets)
void parse_partition_extension(Parser& p);

[[nodiscard]] bool at_from_item_start(const Parser& p);

// ( &name )
[[nodiscard]] bool at_paren_substitution(const Parser& p);

// ---- joins (joins.cpp) ----

// item { join-operator item [ON cond | USING (cols)] }, nested to the left.
void parse_joined_table(Parser& p);

[[nodiscard]] bool at_join_operator(const Parser& p, std::uint32_t n);

// ---- aliases (aliases.cpp) ----

// [AS] name after a select item (column_alias) or a FROM item / DML target.
void parse_alias(Parser& p, bool column_alias);

}  // namespace veltrane::sql
