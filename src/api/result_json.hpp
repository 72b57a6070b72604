#pragma once

// The writers of the analysis result: syntax tree nodes with their subtrees, tree tokens
// and diagnostics, each streamed through a JsonWriter with offsets in UTF-16 code units.
//
//   node        {"c":[children],"e":end,"k":kind,"s":start}
//   token       {"e":end,"s":start,"t":kind}
//   diagnostic  {"col","end","line","message","severity","start"}

#include <cstdint>

#include "resolve/resolve_script.hpp"
#include "resolve/resolve_statement.hpp"
#include "syntax/diagnostic.hpp"
#include "syntax/json_text.hpp"
#include "syntax/string_room.hpp"
#include "syntax/tree.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::api {

// The node and its whole subtree. "c" holds child nodes and the tokens that are not trivia,
// in child order; "s" and "e" span every token below the node, trivia included, both 0
// when none lies below it. Iterative: the depth of the tree costs heap, not stack. With a
// `mapper` of the writer's output, the room of each piece of text is mapped before it is
// handed over.
void node_json(syntax::JsonWriter& writer, const syntax::Tree& tree, uint32_t node,
               const syntax::Utf16Positions& positions, syntax::RoomMapper* mapper = nullptr);

// The room the analysis makes for a tree's item, from one pass over the tree.
struct TreeJsonSizes {
  // An upper bound of the length of node_json of the tree's root, exact but for the
  // numbers, each counted at `number_digits` digits (see syntax::number_digits), and a comma
  // counted before every element, also the first of each list.
  std::size_t tree = 0;
  // About the length of the records members of the tree's statement (records_json), each
  // number counted at `number_digits` digits: room for one names entry per word of the
  // tree, which holds unless one word gets more than one record or the normal forms of its
  // names are much longer than their words (many escapes, or letters that upper-case long).
  std::size_t records = 0;
};

[[nodiscard]] TreeJsonSizes tree_json_sizes(const syntax::Tree& tree, std::size_t number_digits);

void token_json(syntax::JsonWriter& writer, const syntax::TreeToken& token,
                const syntax::Utf16Positions& positions);

// "line" and "col" belong to the start; "end" is the end offset as it stands.
void diagnostic_json(syntax::JsonWriter& writer, const syntax::Diagnostic& diagnostic,
                     const syntax::Utf16Positions& positions);

// An upper bound of the length of diagnostic_json, a comma before it included, each number
// counted at `digits` digits.
[[nodiscard]] std::size_t diagnostic_json_size_bound(const syntax::Diagnostic& diagnostic,
                                                     std::size_t digits);

// The "names" and "sql" members of an item: one names entry per identifier record and one
// sql entry per statement record, in order; both members, even when one list is empty,
// or neither when both are.
//   names entry  {"col","end","id","line","name","parent","start","type","usage"}
//   sql entry    {"col","id","line","parent","start","type"}
// `mapper` as for node_json.
void records_json(syntax::JsonWriter& writer, const resolve::ResolvedRecords& records,
                  const syntax::Utf16Positions& positions, syntax::RoomMapper* mapper = nullptr);

// The same members for the records `resolver` makes of the statement, each names entry
// written as its record is made: no list of them is kept.
void resolved_records_json(syntax::JsonWriter& writer, const resolve::ScriptResolver& resolver,
                           const parser::ParsedStatement& statement,
                           const syntax::Utf16Positions& positions,
                           syntax::RoomMapper* mapper = nullptr);

// The name of a syntax kind without a temporary text for named kinds; `spare` holds the
// text of a number that names no kind.
[[nodiscard]] std::string_view kind_name_view(syntax::SyntaxKind kind, std::string& spare);

}  // namespace veltrane::api
