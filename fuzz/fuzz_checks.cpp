#include "fuzz_checks.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "syntax/kinds.hpp"
#include "syntax/lossy_utf8.hpp"

namespace veltrane::fuzz {

namespace {

using lexer::Diagnostic;
using lexer::ScriptItem;
using lexer::ScriptItemKind;
using lexer::Token;
using syntax::TokenKind;

bool is_continuation_byte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

void check_boundary(std::string_view text, uint32_t offset, std::string_view what) {
  if (offset > text.size()) fail(what, offset);
  if (offset < text.size() && is_continuation_byte(text[offset])) fail(what, offset);
}

bool valid_token_kind(TokenKind kind) {
  return static_cast<std::size_t>(kind) < syntax::TOKEN_KIND_COUNT;
}

bool is_significant(TokenKind kind) { return valid_token_kind(kind) && !syntax::is_trivia(kind); }

}  // namespace

void fail(std::string_view what, uint64_t value) {
  if (value == UINT64_MAX) {
    std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  } else {
    std::fprintf(stderr, "fuzz check failed: %.*s (%llu)\n", static_cast<int>(what.size()),
                 what.data(), static_cast<unsigned long long>(value));
  }
  std::fflush(stderr);
  std::abort();
}

void fail_escaped(const syntax::FaceFailure& failure) {
  const char* kind = "unexpected exception";
  switch (failure.kind) {
    case syntax::FaceFailureKind::Stop:
      kind = "internal stop";
      break;
    case syntax::FaceFailureKind::OutOfMemory:
      kind = "out of memory";
      break;
    case syntax::FaceFailureKind::Unexpected:
      break;
  }
  const std::string_view detail =
      failure.kind == syntax::FaceFailureKind::Stop ? failure.message : failure.detail;
  std::fprintf(stderr, "fuzz check failed: %s%s%.*s\n", kind, detail.empty() ? "" : ": ",
               static_cast<int>(detail.size()), detail.data());
  std::fflush(stderr);
  std::abort();
}

std::string input_text(const uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  return syntax::lossy_utf8(bytes);
}

void check_token_cover(std::string_view text, std::span<const Token> tokens) {
  uint32_t position = 0;
  for (const Token& token : tokens) {
    if (!valid_token_kind(token.kind)) fail("token kind out of range", position);
    if (token.start != position) fail("tokens leave a gap or overlap at byte", position);
    if (token.end <= token.start) fail("empty or reversed token at byte", token.start);
    check_boundary(text, token.end, "token end outside the text or inside a character");
    position = token.end;
  }
  if (position != text.size()) fail("tokens stop before the end of the text at byte", position);
}

void check_diagnostics(std::string_view text, std::span<const Diagnostic> diagnostics, uint32_t low,
                       uint32_t high) {
  for (const Diagnostic& diagnostic : diagnostics) {
    if (diagnostic.message.empty()) fail("diagnostic without a message", diagnostic.start);
    if (diagnostic.severity != lexer::Severity::Error &&
        diagnostic.severity != lexer::Severity::Warning) {
      fail("diagnostic severity out of range", diagnostic.start);
    }
    if (diagnostic.start > diagnostic.end) fail("diagnostic span reversed", diagnostic.start);
    if (diagnostic.start < low || diagnostic.end > high) {
      fail("diagnostic span outside its text", diagnostic.start);
    }
    check_boundary(text, diagnostic.start,
                   "diagnostic start outside the text or inside a character");
    check_boundary(text, diagnostic.end, "diagnostic end outside the text or inside a character");
  }
}

void check_split(std::string_view text, const lexer::SplitResult& split) {
  const std::vector<Token>& tokens = split.tokens;
  const std::vector<ScriptItem>& items = split.items;

  // Tokens and command spans tile the text.
  uint32_t position = 0;
  std::size_t next_token = 0;
  std::size_t next_item = 0;
  while (position < text.size()) {
    while (next_item < items.size() && items[next_item].kind != ScriptItemKind::SqlPlus) {
      ++next_item;
    }
    if (next_token < tokens.size() && tokens[next_token].start == position) {
      const Token& token = tokens[next_token];
      if (!valid_token_kind(token.kind)) fail("split token kind out of range", position);
      if (token.kind == TokenKind::Inactive) fail("split token of kind Inactive", position);
      if (token.end <= token.start) fail("empty or reversed split token at byte", position);
      position = token.end;
      ++next_token;
    } else if (next_item < items.size() && items[next_item].start == position) {
      const ScriptItem& command = items[next_item];
      if (command.end <= command.start) fail("empty command at byte", position);
      position = command.end;
      ++next_item;
    } else {
      fail("split tokens and commands leave a gap or overlap at byte", position);
    }
    check_boundary(text, position, "split boundary outside the text or inside a character");
  }
  if (next_token != tokens.size()) fail("split tokens past the end of the text", next_token);
  while (next_item < items.size() && items[next_item].kind != ScriptItemKind::SqlPlus) {
    ++next_item;
  }
  if (next_item != items.size()) fail("command past the end of the text", next_item);

  // Items in text order; each statement's tokens, span and terminator agree.
  std::vector<bool> owned(tokens.size(), false);
  uint32_t previous_end = 0;
  for (const ScriptItem& item : items) {
    if (item.start < previous_end) fail("items overlap or are out of order at byte", item.start);
    if (item.end < item.start || item.end > text.size()) fail("item span broken", item.start);
    check_boundary(text, item.start, "item start inside a character");
    check_boundary(text, item.end, "item end inside a character");
    previous_end = item.end;
    if (item.kind == ScriptItemKind::SqlPlus) {
      if (!item.command) fail("command item without a command name", item.start);
      if (item.first_token != 0 || item.end_token != 0 || item.terminated != 0) {
        fail("command item with tokens or a terminator", item.start);
      }
      continue;
    }
    if (item.kind != ScriptItemKind::Sql && item.kind != ScriptItemKind::PlSql) {
      fail("item kind out of range", item.start);
    }
    if (item.command) fail("statement item with a command name", item.start);
    if (item.first_token > item.end_token || item.end_token > tokens.size()) {
      fail("statement token range broken", item.start);
    }
    if (item.first_token == item.end_token) {
      if (item.end != item.start) fail("statement without tokens has a length", item.start);
    } else {
      if (tokens[item.first_token].start != item.start) {
        fail("statement start is not its first token's start", item.start);
      }
      if (tokens[item.end_token - 1].end != item.end) {
        fail("statement end is not its last token's end", item.start);
      }
      // The first token is where the statement began: significant, or a "-" at a line's
      // end that became a line continuation.
      const TokenKind first_kind = tokens[item.first_token].kind;
      if (!is_significant(first_kind) && first_kind != TokenKind::LineContinuation) {
        fail("statement token range starts with trivia", item.start);
      }
      if (!is_significant(tokens[item.end_token - 1].kind)) {
        fail("statement token range ends with trivia", item.start);
      }
    }
    for (uint32_t i = item.first_token; i < item.end_token; ++i) {
      if (owned[i]) fail("token in two statements", i);
      owned[i] = true;
    }
    if (item.terminated == 0) {
      if (item.terminator_start != 0 || item.terminator_end != 0) {
        fail("unterminated statement with a terminator span", item.start);
      }
      continue;
    }
    if (item.terminated != 1) fail("terminated is neither 0 nor 1", item.terminated);
    // The terminator follows the statement's range after trivia only.
    std::optional<uint32_t> terminator;
    for (uint32_t i = item.end_token; i < tokens.size(); ++i) {
      if (tokens[i].start == item.terminator_start) {
        terminator = i;
        break;
      }
      if (is_significant(tokens[i].kind)) break;
    }
    if (!terminator) fail("terminator token not found after the statement", item.start);
    const Token& token = tokens[*terminator];
    if (token.end != item.terminator_end ||
        (token.kind != TokenKind::Semicolon && token.kind != TokenKind::Slash)) {
      fail("terminator is not a \";\" or \"/\" token", item.terminator_start);
    }
    if (owned[*terminator]) fail("terminator inside a statement", *terminator);
    owned[*terminator] = true;
    previous_end = item.terminator_end;
  }
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (!owned[i] && is_significant(tokens[i].kind)) {
      fail("significant token outside every statement at byte", tokens[i].start);
    }
  }
  check_diagnostics(text, split.diagnostics, 0, static_cast<uint32_t>(text.size()));
}

void check_conditional_compilation(std::span<const Token> before, std::span<const Token> after) {
  if (before.size() != after.size()) fail("conditional compilation changed the token count");
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i].start != after[i].start || before[i].end != after[i].end) {
      fail("conditional compilation moved a token at byte", before[i].start);
    }
    if (before[i].kind != after[i].kind && after[i].kind != TokenKind::Inactive) {
      fail("conditional compilation made a kind other than Inactive at byte", before[i].start);
    }
  }
}

void check_tree(const syntax::Tree& tree, std::span<const Token> tokens) {
  using syntax::Child;
  using syntax::NO_PARENT;

  // The tokens are the item's tokens.
  if (tree.tokens.size() != tokens.size()) fail("tree token count differs", tree.tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const syntax::TreeToken& kept = tree.tokens[i];
    if (kept.start != tokens[i].start || kept.end != tokens[i].end ||
        kept.kind != syntax::syntax_kind(tokens[i].kind)) {
      fail("tree token differs from the item's token", i);
    }
  }
  if (tree.token_parents.size() != tree.tokens.size()) fail("token parent list has a wrong size");

  // Nodes: kinds, child lists inside the flat list and used exactly once.
  const std::size_t node_count = tree.nodes.size();
  if (node_count == 0) fail("tree without nodes");
  if (tree.root != node_count - 1) fail("root is not the last node", tree.root);
  if (tree.nodes[tree.root].parent != NO_PARENT) fail("root has a parent");
  std::vector<bool> entry_used(tree.children.size(), false);
  for (std::size_t index = 0; index < node_count; ++index) {
    const syntax::Node& node = tree.nodes[index];
    if (!syntax::is_node_kind(node.kind)) fail("node kind out of range", index);
    if (node.first > tree.children.size() || node.count > tree.children.size() - node.first) {
      fail("child list outside the flat list", index);
    }
    for (uint32_t i = node.first; i < node.first + node.count; ++i) {
      if (entry_used[i]) fail("child entry in two child lists", i);
      entry_used[i] = true;
      const Child entry = tree.children[i];
      const uint32_t target = syntax::entry_index(entry);
      if (syntax::is_token_entry(entry)) {
        if (target >= tree.tokens.size()) fail("token entry out of range", i);
        if (tree.token_parents[target] != index) fail("token parent wrong", target);
      } else {
        if (target >= index) fail("child node not numbered before its parent", target);
        if (tree.nodes[target].parent != index) fail("node parent wrong", target);
        const syntax::Node& child = tree.nodes[target];
        if (child.first + child.count > node.first) {
          fail("child's list does not lie before its parent's list", target);
        }
      }
    }
  }
  for (std::size_t i = 0; i < entry_used.size(); ++i) {
    if (!entry_used[i]) fail("child entry in no child list", i);
  }

  // A walk from the root meets the nodes in post-order 0, 1, 2, ... and the tokens in
  // order 0, 1, 2, ...: so every node and token is reached exactly once, in source order.
  struct Frame {
    uint32_t node;
    uint32_t next;
  };
  std::vector<Frame> stack;
  stack.push_back({tree.root, 0});
  uint32_t next_node = 0;
  uint32_t next_token = 0;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const syntax::Node& node = tree.nodes[frame.node];
    if (frame.next == node.count) {
      if (frame.node != next_node) fail("nodes not numbered in post-order", frame.node);
      ++next_node;
      stack.pop_back();
      continue;
    }
    const Child entry = tree.children[node.first + frame.next];
    ++frame.next;
    if (syntax::is_token_entry(entry)) {
      if (syntax::entry_index(entry) != next_token) fail("tokens out of source order", next_token);
      ++next_token;
    } else {
      stack.push_back({syntax::entry_index(entry), 0});
    }
  }
  if (next_node != node_count) fail("nodes unreachable from the root", node_count - next_node);
  if (next_token != tree.tokens.size()) fail("tokens unreachable from the root", next_token);
}

void check_resolved(const syntax::Tree& tree, const resolve::ResolvedRecords& records) {
  const std::size_t record_count = records.identifiers.size() + records.statements.size();
  // Ids strictly increasing within each list, never reused across the two and never above
  // the count, so together they are exactly 1 to the count.
  std::vector<bool> used(record_count + 1, false);
  const auto check_id = [&](uint32_t id, uint32_t parent, uint32_t& last) {
    if (id == 0 || id > record_count) fail("record id outside 1 to the record count", id);
    if (id <= last) fail("record ids not increasing at id", id);
    if (used[id]) fail("record id used twice", id);
    if (parent >= id) fail("record parent is not an earlier id, at id", id);
    used[id] = true;
    last = id;
  };
  const std::vector<syntax::TreeToken>& tokens = tree.tokens;
  // Tokens are in source order without overlaps, so their starts and ends both ascend.
  const auto token_starting_at = [&](uint32_t offset) -> std::optional<std::size_t> {
    const auto found = std::lower_bound(
        tokens.begin(), tokens.end(), offset,
        [](const syntax::TreeToken& token, uint32_t value) { return token.start < value; });
    if (found == tokens.end() || found->start != offset) return std::nullopt;
    return static_cast<std::size_t>(found - tokens.begin());
  };
  const auto token_ending_at = [&](uint32_t offset) -> std::optional<std::size_t> {
    const auto found = std::lower_bound(
        tokens.begin(), tokens.end(), offset,
        [](const syntax::TreeToken& token, uint32_t value) { return token.end < value; });
    if (found == tokens.end() || found->end != offset) return std::nullopt;
    return static_cast<std::size_t>(found - tokens.begin());
  };

  uint32_t last = 0;
  for (const resolve::IdentifierRecord& record : records.identifiers) {
    check_id(record.id, record.parent, last);
    const std::optional<std::size_t> token = token_starting_at(record.start);
    if (!token) fail("identifier record does not start on a token of its statement", record.id);
    const syntax::SyntaxKind kind = tokens[*token].kind;
    if (kind != syntax::syntax_kind(TokenKind::Ident) &&
        kind != syntax::syntax_kind(TokenKind::QuotedIdent)) {
      fail("identifier record is not on a name token", record.id);
    }
    if (tokens[*token].end != record.end) {
      fail("identifier record does not end with its name token", record.id);
    }
  }
  last = 0;
  for (const resolve::StatementRecord& record : records.statements) {
    check_id(record.id, record.parent, last);
    const std::optional<std::size_t> first = token_starting_at(record.start);
    if (!first || syntax::is_trivia(tokens[*first].kind)) {
      fail("statement record does not start on a significant token of its statement", record.id);
    }
    const std::optional<std::size_t> end = token_ending_at(record.end);
    if (!end || *end < *first) {
      fail("statement record does not end on a token end after its start", record.id);
    }
  }
}

}  // namespace veltrane::fuzz
