#pragma once

// The indented text dump of a tree and the quoted text form it writes token texts in.

#include <cstdint>
#include <string>
#include <string_view>

#include "syntax/tree.hpp"

namespace veltrane::syntax {

// Appends the dump of the node's subtree to `sink`: a line of 2 x depth blanks and the
// kind name per node, a line of 2 x (depth + 1) blanks, the token kind name, a blank and
// the quoted text per significant token; trivia gets no line. Every line ends in LF.
// Walks with an explicit stack, so any depth is fine.
void dump_tree(const Tree& tree, uint32_t node, uint32_t depth, std::string_view text,
               std::string& sink);

// Appends `text` in the quoted text form: between double quotes, with \\ \" \n \r \t \0,
// \u{hex} for characters of the categories Cc Cf Cs Co Cn Zl Zp Zs (but U+0020) and for
// Grapheme_Extend characters, everything else as it stands. Ill-formed UTF-8 bytes are
// written as U+FFFD, one per maximal ill-formed subsequence.
void append_quoted(std::string& sink, std::string_view text);

// The quoted text form of `text` as a new string.
[[nodiscard]] std::string quoted(std::string_view text);

}  // namespace veltrane::syntax
