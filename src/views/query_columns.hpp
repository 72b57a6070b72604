#pragma once

// The names of the columns a query or a column list gives: what a view, an inline view or
// a WITH query is known to have.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "syntax/tree.hpp"

namespace veltrane::views {

struct QueryColumns {
  std::vector<std::string> names;  // identifier normal form, in select-list order
  bool complete = true;            // false when some column has no name that can be read
};

// The columns of a Query, from the select list of its first query block (down the first
// operand of each set operator and parenthesised query, past a WITH clause): an item's
// alias (the last name token of its Alias), or else the last part of a plain name without
// star or link. Anything else gives no name and makes the result incomplete, as do a
// substitution in the list, a first operand that is no query block and a node that is no
// Query. Loops down one side, so any depth is fine.
[[nodiscard]] QueryColumns query_columns(const syntax::Tree& tree, uint32_t query,
                                         std::string_view text);

// The names of a ColumnList whose names are plain tokens (a view's or a WITH query's):
// the first Ident or QuotedIdent directly after each "(" or ","; an item that begins
// otherwise (a constraint) gives none.
[[nodiscard]] std::vector<std::string> column_list_names(const syntax::Tree& tree,
                                                         uint32_t column_list,
                                                         std::string_view text);

}  // namespace veltrane::views
