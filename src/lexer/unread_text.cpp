#include "lexer/unread_text.hpp"

#include <array>

#include "lexer/script_lines.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::lexer {

namespace {

using syntax::equals_word;
using syntax::TokenKind;
using Step = UnreadTextWatch::Step;
using InlineStep = UnreadTextWatch::InlineStep;

// Words that may stand between CREATE and the unit word, JAVA or MLE.
constexpr std::array<std::string_view, 11> CREATE_MODIFIERS = {
    "OR",      "REPLACE", "NO",         "AND",         "FORCE",         "NOFORCE",
    "RESOLVE", "COMPILE", "EDITIONING", "EDITIONABLE", "NONEDITIONABLE"};

bool equals_any(std::string_view word, const auto& words) {
  for (std::string_view candidate : words) {
    if (equals_word(word, candidate)) return true;
  }
  return false;
}

bool is_name_piece(TokenKind kind) {
  return kind == TokenKind::Ident || kind == TokenKind::QuotedIdent ||
         kind == TokenKind::Substitution;
}

// The end of the text after the heading's last token: the "/" or "." line.
uint32_t block_end(std::string_view text, const Token& token) {
  return block_end_line(text, token.end, static_cast<uint32_t>(text.size()));
}

// MLE LANGUAGE name [PURE] {{ code }}: the step after `token`, and at the first "{" of
// "{{" the end of the code, the first "}}" (or an earlier "/" or "." line), when there is
// one.
uint32_t watch_inline(UnreadTextWatch& watch, std::string_view text, const Token& token,
                      std::string_view word) {
  const InlineStep step = watch.inline_step;
  watch.inline_step = InlineStep::None;
  if (token.kind == TokenKind::Ident) {
    if (equals_word(word, "MLE")) {
      watch.inline_step = InlineStep::Mle;
    } else if (step == InlineStep::Mle && equals_word(word, "LANGUAGE")) {
      watch.inline_step = InlineStep::Language;
    } else if (step == InlineStep::Language) {
      watch.inline_step = InlineStep::Name;
    } else if (step == InlineStep::Name && equals_word(word, "PURE")) {
      watch.inline_step = InlineStep::Pure;
    }
    return 0;
  }
  if (token.kind != TokenKind::LBrace || (step != InlineStep::Name && step != InlineStep::Pure)) {
    return 0;
  }
  if (token.end >= text.size() || text[token.end] != '{') return 0;
  const uint32_t code = token.end + 1;
  if (code < watch.close_searched_from || code > watch.close_found) {
    const std::size_t close = text.find("}}", code);
    watch.close_searched_from = code;
    watch.close_found =
        close == std::string_view::npos ? UnreadTextWatch::NO_CLOSE : static_cast<uint32_t>(close);
  }
  if (watch.close_found == UnreadTextWatch::NO_CLOSE) return 0;
  return block_end_line(text, token.end, watch.close_found);
}

// The keywords of the headings: in step `from`, the word `word` leads to step `to`.
struct WordStep {
  Step from;
  std::string_view word;
  Step to;
};

constexpr std::array<WordStep, 15> WORD_STEPS = {{
    {Step::Create, "PACKAGE", Step::UnitWord},
    {Step::Create, "TYPE", Step::UnitWord},
    {Step::Create, "PROCEDURE", Step::UnitNameStart},
    {Step::Create, "FUNCTION", Step::UnitNameStart},
    {Step::Create, "JAVA", Step::Java},
    {Step::Create, "MLE", Step::Mle},
    {Step::UnitWord, "BODY", Step::UnitNameStart},
    {Step::UnitWord, "IF", Step::UnitIf},
    {Step::UnitNameStart, "IF", Step::UnitIf},
    {Step::UnitIf, "NOT", Step::UnitIfNot},
    {Step::UnitIfNot, "EXISTS", Step::UnitNameStart},
    {Step::Java, "SOURCE", Step::JavaHeading},
    {Step::Java, "RESOURCE", Step::JavaHeading},
    {Step::Java, "CLASS", Step::JavaHeading},
    {Step::Mle, "MODULE", Step::ModuleHeading},
}};

// The heading steps; the end of the unread text when the token opens it, else 0.
uint32_t watch_heading(UnreadTextWatch& watch, std::string_view text, const Token& token,
                       std::string_view word, bool glued) {
  const bool is_word = token.kind == TokenKind::Ident;
  if (is_word) {
    if (watch.step == Step::Create && equals_any(word, CREATE_MODIFIERS)) return 0;
    for (const WordStep& row : WORD_STEPS) {
      if (row.from == watch.step && equals_word(word, row.word)) {
        watch.step = row.to;
        watch.depth = 0;
        return 0;
      }
    }
  }
  switch (watch.step) {
    case Step::StatementStart:
    case Step::Idle:
    case Step::Create:
    case Step::UnitIf:
    case Step::UnitIfNot:
    case Step::Java:
    case Step::Mle:
      break;
    case Step::UnitWord:
    case Step::UnitNameStart:
    case Step::UnitNameDot:
      if (is_name_piece(token.kind)) {
        watch.step = Step::UnitName;
        return 0;
      }
      break;
    case Step::UnitName:
      if (token.kind == TokenKind::Dot || token.kind == TokenKind::At) {
        watch.step = Step::UnitNameDot;
        return 0;
      }
      if (is_word && glued) return 0;
      if (is_word && equals_word(word, "WRAPPED")) {
        watch.step = Step::Idle;
        return block_end(text, token);
      }
      break;
    case Step::JavaHeading:
    case Step::ModuleHeading:
      if (token.kind == TokenKind::LParen) {
        ++watch.depth;
      } else if (token.kind == TokenKind::RParen) {
        if (watch.depth > 0) --watch.depth;
      } else if (is_word && watch.depth == 0) {
        // Source loaded from a file or a LOB has no text of its own.
        if (equals_word(word, "USING")) break;
        if (equals_word(word, "AS") ||
            (watch.step == Step::JavaHeading && equals_word(word, "IS"))) {
          watch.step = Step::Idle;
          return block_end(text, token);
        }
      }
      return 0;
  }
  watch.step = Step::Idle;
  return 0;
}

}  // namespace

uint32_t watch_any_token(UnreadTextWatch& watch, std::string_view text, Token token, bool glued) {
  const std::string_view word = token.kind == TokenKind::Ident
                                    ? text.substr(token.start, token.end - token.start)
                                    : std::string_view();
  uint32_t unread_end = watch_inline(watch, text, token, word);
  // A statement ends at ";" and at a "/" or "." alone on its line. CREATE also starts one
  // when it is first on its line: a client command before it, which the splitter steps
  // over, is read as words when a text is lexed whole.
  if (token.kind == TokenKind::Semicolon ||
      ((token.kind == TokenKind::Slash || token.kind == TokenKind::Dot) &&
       only_blanks_before(text, token.start) && only_blanks_after(text, token.end))) {
    watch.step = Step::StatementStart;
  } else if (token.kind == TokenKind::Ident && equals_word(word, "CREATE") &&
             (watch.step == Step::StatementStart || only_blanks_before(text, token.start))) {
    watch.step = Step::Create;
  } else if (unread_end == 0) {
    unread_end = watch_heading(watch, text, token, word, glued);
  }
  return unread_end;
}

}  // namespace veltrane::lexer
