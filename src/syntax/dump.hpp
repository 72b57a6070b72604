#pragma once

// The indented text dump of a tree and the quoted text form it writes token texts in.

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Receives a dump piece by piece, in order.
using DumpPieceWriter = std::function<void(std::string_view piece)>;

// The size a streamed dump's pieces are gathered to.
inline constexpr std::size_t DUMP_PIECE_BYTES = std::size_t{64} * 1024;

// The same dump, handed to `write` while it is made, in pieces of about `piece_bytes`
// (one line may make a longer piece only by the quoted text of its token), so that no more
// than one piece is held at a time however deep the tree: a left-nested chain's dump grows
// with the square of its length. The pieces joined are the text the other form appends.
void dump_tree(const Tree& tree, uint32_t node, uint32_t depth, std::string_view text,
               const DumpPieceWriter& write, std::size_t piece_bytes = DUMP_PIECE_BYTES);

// Appends `text` in the quoted text form: between double quotes, with \\ \" \n \r \t \0,
// \u{hex} for characters of the categories Cc Cf Cs Co Cn Zl Zp Zs (but U+0020) and for
// Grapheme_Extend characters, everything else as it stands. Ill-formed UTF-8 bytes are
// written as U+FFFD, one per maximal ill-formed subsequence.
void append_quoted(std::string& sink, std::string_view text);

// The quoted text form of `text` as a new string.
[[nodiscard]] std::string quoted(std::string_view text);

}  // namespace veltrane::syntax
