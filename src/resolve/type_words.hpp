#pragma once

// The type words of identifier records (PL/Scope's public vocabulary) and what a
// declaration declares: its name token, its type word and its usage.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "resolve/records.hpp"
#include "syntax/tree.hpp"

namespace veltrane::resolve {

enum class TypeWord : uint8_t {
  Package,
  Procedure,
  Function,
  Trigger,
  Object,
  NestedTable,
  Varray,
  FormalIn,
  FormalOut,
  FormalInOut,
  Constant,
  Variable,
  Exception,
  Subtype,
  Cursor,
  Record,
  RefCursor,
  IndexTable,
  AssociativeArray,
  Label,
  Iterator,
  Table,
  View,
  MaterializedView,
  Sequence,
  Synonym,
  Column  // the last: the check of TYPE_WORDS below counts to it
};

// The fixed text of each type word, in the order of the enumeration.
inline constexpr std::array<std::string_view, 27> TYPE_WORDS = {
    "PACKAGE",      "PROCEDURE", "FUNCTION",    "TRIGGER",           "OBJECT",
    "NESTED TABLE", "VARRAY",    "FORMAL IN",   "FORMAL OUT",        "FORMAL IN OUT",
    "CONSTANT",     "VARIABLE",  "EXCEPTION",   "SUBTYPE",           "CURSOR",
    "RECORD",       "REFCURSOR", "INDEX TABLE", "ASSOCIATIVE ARRAY", "LABEL",
    "ITERATOR",     "TABLE",     "VIEW",        "MATERIALIZED VIEW", "SEQUENCE",
    "SYNONYM",      "COLUMN"};

// One text per type word: a word added to one list and not the other does not compile (a
// list too short would leave the last words without text, one too long a text without word).
static_assert(TYPE_WORDS.size() == static_cast<std::size_t>(TypeWord::Column) + 1,
              "TYPE_WORDS has one text per TypeWord");
static_assert(
    [] {
      for (const std::string_view word : TYPE_WORDS) {
        if (word.empty()) return false;
      }
      return true;
    }(),
    "every type word has a text");

// The fixed text of a type word.
[[nodiscard]] constexpr std::string_view type_word_text(TypeWord word) {
  return TYPE_WORDS[static_cast<std::size_t>(word)];
}

[[nodiscard]] constexpr bool is_subprogram(TypeWord word) {
  return word == TypeWord::Procedure || word == TypeWord::Function;
}

// The words of declared types: a name found with one of them can stand as a type.
[[nodiscard]] constexpr bool is_type_entry(TypeWord word) {
  return word == TypeWord::Record || word == TypeWord::RefCursor || word == TypeWord::NestedTable ||
         word == TypeWord::Varray || word == TypeWord::IndexTable ||
         word == TypeWord::AssociativeArray || word == TypeWord::Subtype;
}

// What one PL/SQL declaration declares.
struct Declared {
  uint32_t name_token = 0;
  TypeWord type = TypeWord::Variable;
  IdentifierUsage usage = IdentifierUsage::Declaration;
};

// The declaration made by a VarDecl, Param, ExceptionDecl, SubtypeDecl, TypeDecl,
// CursorDecl or SubprogramDecl node; none for other nodes and for a declaration whose name
// is missing. `text` is the whole source text.
[[nodiscard]] std::optional<Declared> read_declaration(const syntax::Tree& tree, uint32_t node,
                                                       std::string_view text);

// The same name token and type word, with the usage left Declaration: for a reader that
// does not need the usage, which for a subprogram or cursor takes another look at the
// declaration's children.
[[nodiscard]] std::optional<Declared> read_declared_name(const syntax::Tree& tree, uint32_t node,
                                                         std::string_view text);

}  // namespace veltrane::resolve
