#pragma once

// The tables, views and other objects that one parsed statement or PL/SQL unit names.

#include <string>
#include <string_view>
#include <vector>

#include "syntax/tree.hpp"

namespace veltrane::views {

// The names of the objects the statement reads, writes or refers to, in identifier normal
// form ("hr.emp" gives "HR.EMP", `"Emp"` gives "Emp", "emp@remote" gives "EMP@REMOTE"), in
// source order, repeats kept; empty when it names none. `text` is the whole source text
// the tree's offsets point into. Walks iteratively, so any tree depth is fine. Never fails
// for a finished tree; the result is owned by the caller.
[[nodiscard]] std::vector<std::string> referenced_tables(const syntax::Tree& tree,
                                                         std::string_view text);

}  // namespace veltrane::views
