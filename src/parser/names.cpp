#include "parser/names.hpp"

#include "parser/parser.hpp"
#include "parser/word_tables.hpp"

namespace veltrane::parser {

namespace {

// The name rule of at_lexical: a name after the piece starts a new operand unless it
// is followed by the end of an item (then it is the piece's alias).
bool name_follows_piece(const Parser& p, uint32_t n, uint8_t mode) {
  if (mode != MODE_COLUMN_ALIAS && mode != MODE_TABLE_ALIAS) {
    return true;
  }
  return !p.at_item_end(n + 1, mode);
}

}  // namespace

// name {. part | . * | @ link | glued &piece}
void parse_name_ref(Parser& p) {
  p.start_node(NodeKind::NameRef);
  p.bump();
  name_tail(p);
  p.finish_node();
}

void name_tail(Parser& p) {
  for (uint32_t count = p.name_continuation(0); count > 0; count = p.name_continuation(0)) {
    for (uint32_t i = 0; i < count; ++i) {
      p.bump();
    }
  }
}

bool at_object_name(const Parser& p) {
  return is_name_kind(p.kind_at(0)) || p.at(TokenKind::Substitution);
}

// [schema.]name[@link]
void parse_object_name(Parser& p) {
  p.start_node(NodeKind::ObjectName);
  if (at_object_name(p)) {
    parse_name_ref(p);
  } else {
    p.error(MSG_EXPECTED_NAME);
  }
  p.finish_node();
}

bool at_lexical(const Parser& p, uint8_t mode) {
  if (!p.at(TokenKind::Substitution)) {
    return false;
  }
  uint32_t n = 1;
  for (uint32_t count = p.name_continuation(n); count > 0; count = p.name_continuation(n)) {
    n += count;
  }
  const std::optional<TokenKind> kind = p.kind_at(n);
  if (!kind) {
    return false;
  }
  switch (*kind) {
    case TokenKind::Number:
    case TokenKind::String:
    case TokenKind::Bind:
    case TokenKind::Substitution:
      return true;
    case TokenKind::LParen:
      if (p.at(TokenKind::Plus, n + 1) && p.at(TokenKind::RParen, n + 2)) {
        return false;  // the outer-join mark
      }
      return !p.is_glued(n);  // glued: an argument list
    case TokenKind::Ident:
      if (p.at_any_word(n, EXPR_OPERATOR_WORDS)) {
        return false;
      }
      if (mode != MODE_TABLE_ALIAS && p.at_any_word(n, EXPR_START_WORDS)) {
        return true;
      }
      if (is_reserved(p, n, mode)) {
        return false;
      }
      return name_follows_piece(p, n, mode);
    case TokenKind::QuotedIdent:
      return name_follows_piece(p, n, mode);
    default:
      return false;
  }
}

// &piece {continuation}
void parse_lexical(Parser& p) {
  p.start_node(NodeKind::Lexical);
  p.bump();
  name_tail(p);
  p.finish_node();
}

}  // namespace veltrane::parser
