#pragma once

// The Lab's JSON form of a syntax tree: a node is {"c":[children],"e","k":kind,"s"}, a
// token {"e","k":kind,"s","t":text}, offsets in UTF-16 code units; trivia tokens are left
// out of "c" but count in the node spans. Written with an explicit stack, so any depth
// is fine.

#include <cstdint>
#include <string>
#include <string_view>

#include "syntax/tree.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::report {

// Appends the tree JSON of `node`'s subtree to `out` and adds one to `counter` for every
// object written (nodes and non-trivia tokens).
void tree_json(const syntax::Tree& tree, uint32_t node, std::string_view text,
               const syntax::Utf16Positions& positions, uint64_t& counter, std::string& out);

// An upper bound of the length of tree_json of the root, each number counted at
// `digits` digits (see syntax::number_digits).
[[nodiscard]] std::size_t tree_json_size_bound(const syntax::Tree& tree, std::string_view text,
                                               std::size_t digits);

// The number of objects tree_json makes for the root: every node plus every token that
// is not trivia.
[[nodiscard]] uint64_t tree_object_count(const syntax::Tree& tree);

}  // namespace veltrane::report
