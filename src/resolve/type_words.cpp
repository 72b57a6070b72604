#include "resolve/type_words.hpp"

#include <array>
#include <optional>
#include <string>

#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree_reads.hpp"
#include "views/declarations.hpp"
#include "views/dictionary_text.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;
using syntax::Tree;

// Key types that make an INDEX BY collection an index table rather than an associative
// array.
constexpr std::array<std::string_view, 8> INTEGER_KEY_TYPES = {
    "PLS_INTEGER", "BINARY_INTEGER", "SIMPLE_INTEGER", "NATURAL",
    "NATURALN",    "POSITIVE",       "POSITIVEN",      "SIGNTYPE"};

bool has_direct_word(const Tree& tree, uint32_t node, std::string_view text,
                     std::string_view upper_word) {
  for (const syntax::Child entry : syntax::children(tree, node)) {
    if (!syntax::is_token_entry(entry)) continue;
    // A word of another length is passed over here, without a call per token.
    const syntax::TreeToken& token = tree.tokens[syntax::entry_index(entry)];
    if (token.start <= token.end && token.end - token.start != upper_word.size()) continue;
    if (views::is_word(token, text, upper_word)) return true;
  }
  return false;
}

// The type word of a Param from its direct IN and OUT words.
TypeWord parameter_mode(const Tree& tree, uint32_t param, std::string_view text) {
  const bool out = has_direct_word(tree, param, text, "OUT");
  if (!out) return TypeWord::FormalIn;
  return has_direct_word(tree, param, text, "IN") ? TypeWord::FormalInOut : TypeWord::FormalOut;
}

// The type word of a collection definition: nested table, varray, index table or
// associative array.
TypeWord collection_type(const Tree& tree, uint32_t definition, std::string_view text) {
  bool after_index = false;
  for (const syntax::Child entry : syntax::children(tree, definition)) {
    if (syntax::is_token_entry(entry)) {
      if (views::is_word(tree, syntax::entry_index(entry), text, "INDEX")) after_index = true;
      continue;
    }
    const uint32_t child = syntax::entry_index(entry);
    if (after_index && views::is_node(tree, child, NodeKind::TypeName)) {
      const std::string key = views::dictionary_text(tree, child, text);
      for (const std::string_view word : INTEGER_KEY_TYPES) {
        if (key == word) return TypeWord::IndexTable;
      }
      return TypeWord::AssociativeArray;
    }
  }
  if (after_index) return TypeWord::AssociativeArray;
  return has_direct_word(tree, definition, text, "TABLE") ? TypeWord::NestedTable
                                                          : TypeWord::Varray;
}

TypeWord type_definition_word(const Tree& tree, uint32_t type_decl, uint32_t name_token,
                              std::string_view text) {
  const std::optional<uint32_t> definition = views::declared_type_node(tree, type_decl, name_token);
  if (definition) {
    if (views::is_node(tree, *definition, NodeKind::RefCursorDef)) return TypeWord::RefCursor;
    if (views::is_node(tree, *definition, NodeKind::CollectionDef)) {
      return collection_type(tree, *definition, text);
    }
  }
  return TypeWord::Record;
}

// read_declaration, with the usage of a subprogram or cursor read when `with_usage` is set.
// Kept in one piece for both callers, each of which gets its own copy of it, without a call.
inline std::optional<Declared> read(const Tree& tree, uint32_t node, std::string_view text,
                                    bool with_usage) {
  const std::optional<NodeKind> kind = views::node_kind_of(tree, node);
  if (!kind) return std::nullopt;
  const auto usage_of = [&] {
    return with_usage && views::is_definition(tree, node) ? IdentifierUsage::Definition
                                                          : IdentifierUsage::Declaration;
  };
  if (*kind == NodeKind::SubprogramDecl) {
    const views::SubprogramHeading heading = views::subprogram_heading(tree, node, text);
    if (!heading.name_token) return std::nullopt;
    return Declared{*heading.name_token,
                    heading.is_function ? TypeWord::Function : TypeWord::Procedure, usage_of()};
  }
  const std::optional<uint32_t> name = views::declared_name_token(tree, node, text);
  if (!name) return std::nullopt;
  switch (*kind) {
    case NodeKind::VarDecl:
      return Declared{
          *name,
          has_direct_word(tree, node, text, "CONSTANT") ? TypeWord::Constant : TypeWord::Variable,
          IdentifierUsage::Declaration};
    case NodeKind::Param:
      return Declared{*name, parameter_mode(tree, node, text), IdentifierUsage::Declaration};
    case NodeKind::ExceptionDecl:
      return Declared{*name, TypeWord::Exception, IdentifierUsage::Declaration};
    case NodeKind::SubtypeDecl:
      return Declared{*name, TypeWord::Subtype, IdentifierUsage::Declaration};
    case NodeKind::TypeDecl:
      return Declared{*name, type_definition_word(tree, node, *name, text),
                      IdentifierUsage::Declaration};
    case NodeKind::CursorDecl:
      return Declared{*name, TypeWord::Cursor, usage_of()};
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<Declared> read_declaration(const Tree& tree, uint32_t node, std::string_view text) {
  return read(tree, node, text, true);
}

std::optional<Declared> read_declared_name(const Tree& tree, uint32_t node, std::string_view text) {
  return read(tree, node, text, false);
}

}  // namespace veltrane::resolve
