#include "report/token_classes.hpp"

#include <algorithm>

#include "parser/word_tables.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::report {

namespace {

using syntax::SyntaxKind;
using syntax::TokenKind;

constexpr std::array<std::string_view, CLASS_KEYWORDS.size()> sorted_class_keywords() {
  std::array<std::string_view, CLASS_KEYWORDS.size()> words = CLASS_KEYWORDS;
  std::sort(words.begin(), words.end());
  return words;
}

constexpr std::array<std::string_view, CLASS_KEYWORDS.size()> SORTED_CLASS_KEYWORDS =
    sorted_class_keywords();

constexpr std::size_t LONGEST_CLASS_KEYWORD = [] {
  std::size_t longest = 0;
  for (std::string_view word : CLASS_KEYWORDS) longest = std::max(longest, word.size());
  return longest;
}();

// True when the text with a-z upper-cased equals a word of CLASS_KEYWORDS.
bool is_class_keyword(std::string_view text) {
  if (text.size() > LONGEST_CLASS_KEYWORD) return false;
  std::array<char, LONGEST_CLASS_KEYWORD> buffer{};
  for (std::size_t i = 0; i < text.size(); ++i) buffer[i] = syntax::ascii_upper(text[i]);
  const std::string_view upper(buffer.data(), text.size());
  return std::binary_search(SORTED_CLASS_KEYWORDS.begin(), SORTED_CLASS_KEYWORDS.end(), upper);
}

// Reserved in either the SQL or the PL/SQL list.
bool is_reserved_anywhere(std::string_view text) {
  return parser::is_reserved_word(text, false) || parser::is_reserved_word(text, true);
}

std::string_view identifier_class(std::string_view word, std::optional<SyntaxKind> parent,
                                  const NameContexts& contexts) {
  if (parent) {
    if (*parent == syntax::syntax_kind(syntax::NodeKind::NameRef)) return "id";
    if (*parent == syntax::syntax_kind(syntax::NodeKind::TypeName)) return "type";
    if (contexts.contains(*parent)) return is_reserved_anywhere(word) ? "kw" : "id";
  }
  return is_reserved_anywhere(word) || is_class_keyword(word) ? "kw" : "id";
}

}  // namespace

TokenParentKinds::TokenParentKinds(const syntax::Tree& tree) {
  entries_.reserve(tree.tokens.size());
  for (std::size_t index = 0; index < tree.tokens.size(); ++index) {
    const uint32_t parent = tree.token_parents[index];
    if (parent >= tree.nodes.size()) continue;
    entries_.emplace_back(tree.tokens[index].start, tree.nodes[parent].kind);
  }
  // Tokens are in source order already; a tree built otherwise still answers correctly.
  if (!std::is_sorted(entries_.begin(), entries_.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; })) {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
}

std::optional<SyntaxKind> TokenParentKinds::at(uint32_t start) const {
  const auto found =
      std::lower_bound(entries_.begin(), entries_.end(), start,
                       [](const auto& entry, uint32_t value) { return entry.first < value; });
  if (found == entries_.end() || found->first != start) return std::nullopt;
  return found->second;
}

TokenParentKinds token_parent_kinds(const syntax::Tree& tree) { return TokenParentKinds(tree); }

NameContexts::NameContexts() {
  for (std::size_t number = 0; number < syntax::NODE_KIND_COUNT; ++number) {
    const std::string_view name = syntax::node_kind_name(static_cast<syntax::NodeKind>(number));
    flags_[number] = std::find(NAME_CONTEXT_KINDS.begin(), NAME_CONTEXT_KINDS.end(), name) !=
                     NAME_CONTEXT_KINDS.end();
  }
}

bool NameContexts::contains(SyntaxKind kind) const {
  const std::optional<syntax::NodeKind> node = syntax::as_node_kind(kind);
  return node && flags_[static_cast<std::size_t>(*node)];
}

std::optional<std::string_view> token_class(const lexer::Token& token, std::string_view text,
                                            const TokenParentKinds& parents,
                                            const NameContexts& contexts) {
  switch (token.kind) {
    case TokenKind::Whitespace:
    case TokenKind::LineContinuation:
      return std::nullopt;
    case TokenKind::LineComment:
    case TokenKind::BlockComment:
      return "com";
    case TokenKind::Inactive:
    case TokenKind::Inquiry:
    case TokenKind::CondDirective:
      return "cc";
    case TokenKind::Ident:
      return identifier_class(text.substr(token.start, token.end - token.start),
                              parents.at(token.start), contexts);
    case TokenKind::QuotedIdent:
      return "id";
    case TokenKind::Number:
      return "num";
    case TokenKind::String:
      return "str";
    case TokenKind::Bind:
    case TokenKind::Substitution:
      return "bind";
    default:
      return "op";
  }
}

void append_item_rows(std::span<const lexer::Token> item_tokens, std::string_view text,
                      const TokenParentKinds& parents, const NameContexts& contexts,
                      const syntax::Utf16Positions& positions, std::vector<ClassRow>& rows) {
  for (const lexer::Token& token : item_tokens) {
    const std::optional<std::string_view> class_name = token_class(token, text, parents, contexts);
    if (!class_name) continue;
    rows.push_back(
        ClassRow{positions.offset(token.start), positions.offset(token.end), *class_name});
  }
}

void append_comment_rows(std::span<const lexer::Token> all_tokens,
                         const syntax::Utf16Positions& positions, std::vector<ClassRow>& rows) {
  std::vector<uint32_t> starts;
  starts.reserve(rows.size());
  for (const ClassRow& row : rows) starts.push_back(row.start);
  std::sort(starts.begin(), starts.end());
  for (const lexer::Token& token : all_tokens) {
    if (token.kind != TokenKind::LineComment && token.kind != TokenKind::BlockComment) continue;
    const uint32_t start = positions.offset(token.start);
    if (std::binary_search(starts.begin(), starts.end(), start)) continue;
    rows.push_back(ClassRow{start, positions.offset(token.end), "com"});
  }
}

void sort_rows_by_number(std::vector<ClassRow>& rows) {
  if (rows.size() < 2) return;
  std::stable_sort(rows.begin(), rows.end(),
                   [](const ClassRow& a, const ClassRow& b) { return a.start < b.start; });
}

}  // namespace veltrane::report
