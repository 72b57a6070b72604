#include "report/file_errors.hpp"

#include "parser/item_lexer_errors.hpp"

namespace veltrane::report {

bool starts_as_utf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

std::vector<syntax::Diagnostic> loose_lexer_errors(std::string_view text,
                                                   const lexer::SplitResult& split) {
  std::vector<syntax::Diagnostic> loose;
  if (split.diagnostics.empty()) return loose;
  // One statement over the whole text, ended at its end, holds every such error.
  lexer::ScriptItem whole;
  whole.end = static_cast<uint32_t>(text.size());
  whole.terminated = 1;
  whole.terminator_start = whole.end;
  whole.terminator_end = whole.end;
  loose = parser::held_lexer_errors(text, split, whole);
  if (loose.empty()) return loose;

  std::vector<syntax::Diagnostic> held;
  for (const lexer::ScriptItem& item : split.items) {
    // The items that are parsed: statements and units with tokens of their own.
    if (item.kind == lexer::ScriptItemKind::SqlPlus || item.first_token >= item.end_token) {
      continue;
    }
    const std::vector<syntax::Diagnostic> of_item = parser::held_lexer_errors(text, split, item);
    held.insert(held.end(), of_item.begin(), of_item.end());
  }
  // Both lists are in text order and `held` is part of `loose`.
  std::vector<syntax::Diagnostic> kept;
  auto next = held.begin();
  for (const syntax::Diagnostic& diagnostic : loose) {
    while (next != held.end() && next->start < diagnostic.start) ++next;
    bool is_held = false;
    for (auto same = next; same != held.end() && same->start == diagnostic.start; ++same) {
      is_held = is_held || *same == diagnostic;
    }
    if (!is_held) kept.push_back(diagnostic);
  }
  return kept;
}

}  // namespace veltrane::report
