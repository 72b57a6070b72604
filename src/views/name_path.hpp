#pragma once

// Dotted names as written: the parts of a NameRef, its "." "*" ending and its database
// link, and the (owner, name) pair an ObjectName stands for.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "syntax/tree.hpp"

namespace veltrane::views {

// One part of a dotted name: its identifier normal form, owned, and its token index. (The
// resolution walk reads names as resolve::NumberedPart: viewed texts with name numbers.)
struct NamePart {
  std::string text;
  uint32_t token = 0;
};

// The parts of a name read from its direct tokens.
struct NamePath {
  std::vector<NamePart> parts;
  // The name ends in "." "*".
  bool star = false;
  // The normal forms of the name tokens after "@", joined by ".".
  std::optional<std::string> link;
  // False when the name holds a substitution or a lexical piece, when two name tokens
  // stand without a "." between them, or when it has no part.
  bool plain = false;
};

// An object name as written: the owner only when the name writes one.
struct QualifiedName {
  std::optional<std::string> owner;
  std::string name;
  uint32_t name_token = 0;
};

// The path of a NameRef node, or of the NameRef child of an ObjectName node, from its
// significant direct tokens. Parts, star and the plain test read the tokens before the
// first "@"; the link reads the tokens after it. A node of another kind, or an
// ObjectName without a NameRef, gives an empty path (not plain). `text` is the whole
// source text. Never fails for a finished tree.
[[nodiscard]] NamePath name_path(const syntax::Tree& tree, uint32_t node, std::string_view text);

// The (owner, name) of an ObjectName (or NameRef) node: a plain path without star or link
// of one part gives (none, P1), of two parts (P1, P2). Anything else gives none.
[[nodiscard]] std::optional<QualifiedName> object_name(const syntax::Tree& tree, uint32_t node,
                                                       std::string_view text);

// What name_path finds besides the parts' texts.
struct PathShape {
  bool star = false;
  bool link = false;
  bool plain = false;
};

// The tokens of the parts name_path reads, in order, written into `part_tokens` (cleared
// first), and the star, link and plain tests as name_path makes them. For readers that
// make the parts' texts their own way.
PathShape name_part_tokens(const syntax::Tree& tree, uint32_t node,
                           std::vector<uint32_t>& part_tokens);

}  // namespace veltrane::views
