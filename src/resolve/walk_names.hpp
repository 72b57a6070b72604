#pragma once

// The names one walk reads, by number. The identifier normal form of an unquoted word is
// made once per spelling met, and each name read is numbered in one table that the scopes
// share: a scope lookup is then an index, with no upper-casing, hashing or text compare of
// its own.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "resolve/name_table.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve {

// One part of a dotted name as a walk reads it: views::NamePart with its name number, and
// its identifier normal form viewed rather than owned (valid for the life of the WalkNames
// that read it).
struct NumberedPart {
  std::string_view text;
  uint32_t token = 0;
  uint32_t name = NameTable::NONE;
};

// views::NamePath as a walk reads it: numbered parts in a list the WalkNames reuses, and
// the link only tested, not read.
struct NumberedPath {
  std::span<const NumberedPart> parts;
  bool star = false;
  bool link = false;
  bool plain = false;
};

class WalkNames {
 public:
  // The table the numbers belong to.
  [[nodiscard]] NameTable& table() { return names_; }
  // Room for `count` names and as many spellings.
  void reserve(std::size_t count);
  [[nodiscard]] std::string_view text(uint32_t name) const { return names_.text(name); }

  // The name number of a token's identifier normal form. `text` is the whole source text,
  // which must outlive this WalkNames: the spellings of words are kept where they stand
  // in it.
  // Kept here: every name the walk reads comes through it, most often an unquoted word
  // whose spelling was met before.
  uint32_t of_token(const syntax::Tree& tree, uint32_t token, std::string_view text) {
    const syntax::TreeToken& tree_token = tree.tokens[token];
    if (tree_token.kind != syntax::syntax_kind(syntax::TokenKind::Ident)) {
      return add_name(tree_token, text);
    }
    const std::string_view spelling = written(tree_token, text);
    const uint32_t hash = NameTable::hash_of(spelling);
    const uint32_t known = spellings_.find(spelling, hash);
    if (known != NameTable::NONE) return name_of_spelling_[known];
    return add_spelling(spelling, hash);
  }

  // The part a name token makes.
  [[nodiscard]] NumberedPart part_of(const syntax::Tree& tree, uint32_t token,
                                     std::string_view text) {
    const uint32_t name = of_token(tree, token, text);
    return NumberedPart{names_.text(name), token, name};
  }

  // The token of a NameRef written as one word alone, the most common name; NONE for any
  // other node or name.
  [[nodiscard]] static uint32_t lone_word(const syntax::Tree& tree, uint32_t node) {
    const syntax::Node& record = tree.nodes[node];
    if (record.kind != syntax::syntax_kind(syntax::NodeKind::NameRef) || record.count != 1) {
      return NameTable::NONE;
    }
    const syntax::Child entry = tree.children[record.first];
    const uint32_t token = syntax::entry_index(entry);
    if (!syntax::is_token_entry(entry) ||
        !views::is_name_token(views::token_kind_of(tree.tokens[token]))) {
      return NameTable::NONE;
    }
    return token;
  }

  // The path of a NameRef (or of an ObjectName's NameRef); the list of parts is valid
  // until the next read_path or read_tokens. Kept here for the most common name, one word
  // alone.
  [[nodiscard]] NumberedPath read_path(const syntax::Tree& tree, uint32_t node,
                                       std::string_view text) {
    const uint32_t word = lone_word(tree, node);
    if (word == NameTable::NONE) return read_other_path(tree, node, text);
    parts_.clear();
    parts_.push_back(part_of(tree, word, text));
    return NumberedPath{parts_, false, false, true};
  }
  // The parts made of the given name tokens, in order; valid as read_path's.
  [[nodiscard]] std::span<const NumberedPart> read_tokens(const syntax::Tree& tree,
                                                          std::span<const uint32_t> tokens,
                                                          std::string_view text);

 private:
  // read_path for the names that are not one word alone.
  [[nodiscard]] NumberedPath read_other_path(const syntax::Tree& tree, uint32_t node,
                                             std::string_view text);
  // The token's text as written.
  [[nodiscard]] static std::string_view written(const syntax::TreeToken& token,
                                                std::string_view text) {
    if (token.start > token.end || token.end > text.size()) {
      syntax::stop("token offsets out of range");
    }
    // Checked above: a view made directly, without substr's second check.
    return std::string_view(text.data() + token.start, token.end - token.start);
  }
  // of_token for the kinds other than unquoted words.
  uint32_t add_name(const syntax::TreeToken& token, std::string_view text);
  // of_token for a spelling not met before; `hash` is NameTable::hash_of(spelling).
  uint32_t add_spelling(std::string_view spelling, uint32_t hash);

  NameTable names_;
  // Unquoted words as written (their texts in the source text, not copied), and by
  // spelling number the name number of its normal form.
  NameTable spellings_;
  std::vector<uint32_t> name_of_spelling_;
  std::string normal_;  // a normal form being made
  std::vector<uint32_t> part_tokens_;
  std::vector<NumberedPart> parts_;
};

}  // namespace veltrane::resolve
