#pragma once

// The checks every fuzz harness runs over what the language core hands back, written once.
// A failed check prints what it found and aborts, so that libFuzzer (or the corpus replay)
// reports the input as a crash.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/conditional_compilation.hpp"
#include "lexer/script_splitter.hpp"
#include "lexer/token.hpp"
#include "resolve/resolve_statement.hpp"
#include "syntax/face_guard.hpp"
#include "syntax/tree.hpp"

namespace veltrane::fuzz {

// Prints "fuzz check failed: <what>" (and the offending value when given) and aborts.
[[noreturn]] void fail(std::string_view what, uint64_t value = UINT64_MAX);

// The text the core is given for these bytes: UTF-8 as it stands, anything else decoded
// lossily, as every face does before it lexes.
[[nodiscard]] std::string input_text(const uint8_t* data, std::size_t size);

// Prints "fuzz check failed: <what escaped>" for a failure caught by the face guard and
// aborts: an internal stop with its message, "out of memory", or an unexpected exception.
[[noreturn]] void fail_escaped(const syntax::FaceFailure& failure);

// Runs `body` under the face guard, turning whatever escapes it into a failed check.
template <class Body>
void run_checked(Body&& body) {
  syntax::guard_face([&] { body(); },
                     [](const syntax::FaceFailure& failure) { fail_escaped(failure); });
}

// Non-empty tokens of valid kinds that cover the whole text in order, without gaps or
// overlaps, every boundary on a character boundary.
void check_token_cover(std::string_view text, std::span<const lexer::Token> tokens);

// Every diagnostic has a message, a valid severity and a span start <= end that lies
// inside [low, high] and on character boundaries of the text.
void check_diagnostics(std::string_view text, std::span<const lexer::Diagnostic> diagnostics,
                       uint32_t low, uint32_t high);

// The split's tokens and command spans cover the text exactly once; items are in text order
// and do not overlap; each statement's token range matches its span; every significant
// token belongs to a statement or is its terminator.
void check_split(std::string_view text, const lexer::SplitResult& split);

// Conditional compilation kept the tokens' number, order and spans and turned kinds only
// into `Inactive`.
void check_conditional_compilation(std::span<const lexer::Token> before,
                                   std::span<const lexer::Token> after);

// The tree's tokens are exactly `tokens` (spans and kinds, in order), every token and
// every node but the root stands in exactly one child list, child lists are contiguous
// and lie before their parent's list, parents are right, the numbering is post-order
// with the root last, and the walk from the root meets the tokens in source order.
void check_tree(const syntax::Tree& tree, std::span<const lexer::Token> tokens);

// One statement's name resolution over its tree: the ids of both record lists together
// are 1, 2, ... up to the number of records, each list in increasing order; every parent
// is 0 or an earlier id; an identifier record starts and ends exactly on one name token
// of the tree (plain or quoted); a statement record starts on a significant token of the
// tree and ends at the end of one at or after it.
void check_resolved(const syntax::Tree& tree, const resolve::ResolvedRecords& records);

}  // namespace veltrane::fuzz
