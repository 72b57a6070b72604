#include "views/dictionary_text.hpp"

#include <optional>

#include "lexer/token_values.hpp"
#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"
#include "syntax/walk.hpp"
#include "views/tree_words.hpp"

namespace veltrane::views {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;
using syntax::Tree;

bool is_word_piece(TokenKind kind) {
  switch (kind) {
    case TokenKind::Ident:
    case TokenKind::QuotedIdent:
    case TokenKind::Number:
    case TokenKind::String:
    case TokenKind::Bind:
    case TokenKind::Substitution:
    case TokenKind::Inquiry:
      return true;
    default:
      return false;
  }
}

// Builds the text piece by piece: a blank goes before a word piece that follows a word
// piece or ")".
class DictionaryWriter {
 public:
  explicit DictionaryWriter(std::string_view text) : text_(text) {}

  void add(const syntax::TreeToken& token) {
    const std::optional<TokenKind> kind = syntax::as_token_kind(token.kind);
    if (!kind || syntax::is_trivia(*kind)) return;
    const std::string_view piece = syntax::span_text({token.start, token.end}, text_);
    const bool word = is_word_piece(*kind);
    if (word && (previous_word_ || previous_close_)) out_.push_back(' ');
    if (is_name_start(*kind)) {
      out_ += lexer::identifier_text(*kind, piece);
    } else {
      out_ += piece;
    }
    previous_word_ = word;
    previous_close_ = *kind == TokenKind::RParen;
  }

  [[nodiscard]] std::string take() { return std::move(out_); }

 private:
  std::string_view text_;
  std::string out_;
  bool previous_word_ = false;
  bool previous_close_ = false;
};

// Walks the node's significant tokens into `writer`, passing over a first token that is
// the word `skip_word`. False when an Error node stands below (or is) the node.
bool write_node(const Tree& tree, uint32_t node, DictionaryWriter& writer,
                std::string_view skip_word, std::string_view text) {
  syntax::TreeWalk walk(tree, node, syntax::WalkTokens::Significant);
  bool first = true;
  while (const std::optional<syntax::WalkStep> step = walk.next()) {
    if (step->event == syntax::WalkEvent::Enter) {
      if (tree.nodes[step->index].kind == syntax::syntax_kind(NodeKind::Error)) return false;
      continue;
    }
    if (step->event != syntax::WalkEvent::Token) continue;
    const syntax::TreeToken& token = tree.tokens[step->index];
    if (first) {
      first = false;
      if (!skip_word.empty() && token.kind == syntax::syntax_kind(TokenKind::Ident) &&
          syntax::equals_word(syntax::span_text({token.start, token.end}, text), skip_word)) {
        continue;
      }
    }
    writer.add(token);
  }
  return true;
}

}  // namespace

std::string dictionary_text(const Tree& tree, uint32_t node, std::string_view text) {
  DictionaryWriter writer(text);
  if (!write_node(tree, node, writer, {}, text)) return {};
  return writer.take();
}

std::string dictionary_text(const Tree& tree, std::span<const uint32_t> tokens,
                            std::string_view text) {
  DictionaryWriter writer(text);
  for (const uint32_t token : tokens) {
    if (token >= tree.tokens.size()) syntax::stop("token index out of range");
    writer.add(tree.tokens[token]);
  }
  return writer.take();
}

// RETURN NUMBER, RETURN emp%ROWTYPE, RETURN SELF AS RESULT
std::string return_text(const Tree& tree, uint32_t return_clause, std::string_view text) {
  DictionaryWriter writer(text);
  if (!write_node(tree, return_clause, writer, "RETURN", text)) return {};
  return writer.take();
}

}  // namespace veltrane::views
