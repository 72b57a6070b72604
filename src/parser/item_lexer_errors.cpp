#include "parser/item_lexer_errors.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

namespace veltrane::parser {

namespace {

// The lexer's texts for a token that runs on to the end of its line or of the text.
constexpr std::array<std::string_view, 4> UNTERMINATED_MESSAGES = {
    "unterminated string",
    "unterminated q-quoted string",
    "unterminated quoted identifier",
    "unterminated comment",
};

bool is_unterminated(const syntax::Diagnostic& diagnostic) {
  return std::find(UNTERMINATED_MESSAGES.begin(), UNTERMINATED_MESSAGES.end(),
                   diagnostic.message) != UNTERMINATED_MESSAGES.end();
}

// Where the text an item took ends: its terminator, else the start of the next item (a
// statement left open ends at a "." line or at the end of the text).
uint64_t item_limit(std::string_view source, const lexer::SplitResult& split,
                    const lexer::ScriptItem& item) {
  if (item.terminated != 0) return item.terminator_start;
  const auto next = std::upper_bound(
      split.items.begin(), split.items.end(), item.start,
      [](uint32_t start, const lexer::ScriptItem& other) { return start < other.start; });
  return next == split.items.end() ? source.size() : next->start;
}

}  // namespace

std::vector<syntax::Diagnostic> held_lexer_errors(std::string_view source,
                                                  const lexer::SplitResult& split,
                                                  const lexer::ScriptItem& item) {
  std::vector<syntax::Diagnostic> held;
  if (item.kind == lexer::ScriptItemKind::SqlPlus || split.diagnostics.empty()) return held;
  const uint64_t limit = item_limit(source, split, item);
  auto diagnostic = std::lower_bound(
      split.diagnostics.begin(), split.diagnostics.end(), item.start,
      [](const syntax::Diagnostic& found, uint32_t start) { return found.start < start; });
  for (; diagnostic != split.diagnostics.end() && diagnostic->start < limit; ++diagnostic) {
    if (is_unterminated(*diagnostic)) held.push_back(*diagnostic);
  }
  return held;
}

std::optional<ParsedStatement> parse_item_with_lexer_errors(std::string_view source,
                                                            const lexer::SplitResult& split,
                                                            const lexer::ScriptItem& item,
                                                            const lexer::ParseOptions& options) {
  std::optional<ParsedStatement> parsed = parse_item(source, split, item, options);
  if (!parsed) return parsed;
  const std::vector<syntax::Diagnostic> held = held_lexer_errors(source, split, item);
  if (!held.empty()) {
    parsed->diagnostics.insert(parsed->diagnostics.begin(), held.begin(), held.end());
  }
  return parsed;
}

}  // namespace veltrane::parser
