#pragma once

// Reads of PL/SQL declarations: the declared name, the type written after it, the
// heading of a subprogram or method, and whether a declaration is also a definition.

#include <cstdint>
#include <optional>
#include <string_view>

#include "syntax/tree.hpp"

namespace veltrane::views {

// The token of the name a declaration declares: the first direct Ident or QuotedIdent of
// VarDecl, Param, FieldDef, AttributeDef and ExceptionDecl; of CursorDecl the first one
// after the word CURSOR; of SubtypeDecl and TypeDecl the first one after the word
// SUBTYPE or TYPE. None for other nodes or when no such token stands there.
[[nodiscard]] std::optional<uint32_t> declared_name_token(const syntax::Tree& tree, uint32_t node,
                                                          std::string_view text);

// The first child node of `node` that starts strictly after the start of `name_token`:
// the type node of VarDecl, Param, FieldDef, AttributeDef and SubtypeDecl, the definition
// node (RecordDef, CollectionDef, RefCursorDef) of TypeDecl. Reading from the name's start
// keeps a type written right against a quoted name ("x"NUMBER). None when there is none.
[[nodiscard]] std::optional<uint32_t> declared_type_node(const syntax::Tree& tree, uint32_t node,
                                                         uint32_t name_token);

// The kind and name of a SubprogramDecl or MethodDecl.
struct SubprogramHeading {
  bool is_function = false;
  // The name token (an Ident or QuotedIdent right after FUNCTION or PROCEDURE).
  std::optional<uint32_t> name_token;
};

// Reads the heading from the direct tokens of the node, from its FUNCTION or PROCEDURE
// word on. A node without that word gives {false, none}.
[[nodiscard]] SubprogramHeading subprogram_heading(const syntax::Tree& tree, uint32_t node,
                                                   std::string_view text);

// True for a SubprogramDecl with a Block or CallSpec child and for a CursorDecl with a
// Query child; false for every other node.
[[nodiscard]] bool is_definition(const syntax::Tree& tree, uint32_t node);

}  // namespace veltrane::views
