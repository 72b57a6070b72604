#include "parser/item_lexer_errors.hpp"

#include <algorithm>
#include <cstdint>

#include "lexer/lexer.hpp"

namespace veltrane::parser {

namespace {

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
    if (lexer::is_unterminated_message(diagnostic->message)) held.push_back(*diagnostic);
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
