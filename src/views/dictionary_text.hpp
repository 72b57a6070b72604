#pragma once

// The dictionary form of a datatype or other short phrase, as the data dictionary shows
// it: names in normal form, other tokens as written, a blank only between two words or
// after ")" before a word ("number ( 10 , 2 )" gives "NUMBER(10,2)").

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "syntax/tree.hpp"

namespace veltrane::views {

// The dictionary form of every token below `node`, trivia skipped. Empty when the node
// has no significant token or holds an Error node. `text` is the whole source text.
[[nodiscard]] std::string dictionary_text(const syntax::Tree& tree, uint32_t node,
                                          std::string_view text);

// The same over a list of token indexes of the tree, taken in the order given; trivia
// among them are skipped.
[[nodiscard]] std::string dictionary_text(const syntax::Tree& tree,
                                          std::span<const uint32_t> tokens, std::string_view text);

// The dictionary form of a ReturnClause's tokens after RETURN ("NUMBER", "EMP%ROWTYPE",
// "SELF AS RESULT"). Empty when the node holds an Error node or nothing after RETURN.
[[nodiscard]] std::string return_text(const syntax::Tree& tree, uint32_t return_clause,
                                      std::string_view text);

}  // namespace veltrane::views
