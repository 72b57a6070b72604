#pragma once
// Text that SQL*Plus sends to the database unread: the encoded text after WRAPPED in a
// wrapped unit, the source after the AS or IS of CREATE JAVA SOURCE | RESOURCE | CLASS
// and after the AS of CREATE MLE MODULE, each up to the line that holds only "/" (or
// "."), and JavaScript written inline between "{{" and "}}" after MLE LANGUAGE name
// [PURE]. Java and JavaScript have their own quotes and comments, and a wrapped unit's
// lines hold quotes of no meaning, so in such text a quote or a comment opener opens
// nothing past the text's end. The lexer watches the headings as it reads tokens and
// bounds the tokens of such text by its end; the tokens keep their kinds.

#include <cstdint>
#include <string_view>

#include "lexer/script_lines.hpp"
#include "lexer/token.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::lexer {

// What the lexer has read of a heading that opens unread text. Small and plain: it lives
// in the lexer and is updated per significant token.
struct UnreadTextWatch {
  enum class Step : uint8_t {
    // The next significant token is a statement's first.
    StatementStart,
    // Nothing to watch until the next statement.
    Idle,
    // CREATE and its modifiers.
    Create,
    // PACKAGE or TYPE: BODY may follow, then the name.
    UnitWord,
    // PROCEDURE, FUNCTION, or PACKAGE BODY, TYPE BODY: the name follows.
    UnitNameStart,
    // IF, then IF NOT, before the name.
    UnitIf,
    UnitIfNot,
    // After a piece of the name: ".", "@", or WRAPPED.
    UnitName,
    // After "." or "@" in the name.
    UnitNameDot,
    // JAVA, then SOURCE | RESOURCE | CLASS.
    Java,
    // MLE, then MODULE.
    Mle,
    // The heading of a Java source (up to AS or IS) or of a module (up to AS).
    JavaHeading,
    ModuleHeading,
  };
  // Where the inline JavaScript call target has got: none, MLE, LANGUAGE, its name, PURE.
  enum class InlineStep : uint8_t { None, Mle, Language, Name, Pure };

  Step step = Step::StatementStart;
  InlineStep inline_step = InlineStep::None;
  // Parenthesis depth in a Java or module heading, where an AS inside "(...)" is no body's.
  uint32_t depth = 0;
  // The last search for "}}": from where, and the first found (NO_CLOSE when none). A
  // later search from a point between the two has the same answer, so that many "{{"
  // before one "}}" (or none) cost one search, not one each.
  static constexpr uint32_t NO_CLOSE = UINT32_MAX;
  uint32_t close_searched_from = UINT32_MAX;
  uint32_t close_found = NO_CLOSE;
};

// watch_token for a token that may change the watch.
[[nodiscard]] uint32_t watch_any_token(UnreadTextWatch& watch, std::string_view text, Token token,
                                       bool glued);

// Reads one significant token the lexer made outside unread text and returns the end of
// the unread text that begins right after it, or 0 when none begins there. `text` is the
// whole text the token lies in; `glued` tells that the token is glued to a substitution
// variable before it (&schema.name). Most tokens meet a watch with nothing under way and
// are none of the few that start something: they leave at the first test.
[[nodiscard]] inline uint32_t watch_token(UnreadTextWatch& watch, std::string_view text,
                                          Token token, bool glued) {
  if (watch.step == UnreadTextWatch::Step::Idle &&
      watch.inline_step == UnreadTextWatch::InlineStep::None) {
    switch (token.kind) {
      case TokenKind::Ident: {
        const std::string_view word = text.substr(token.start, token.end - token.start);
        if (!syntax::equals_word(word, "CREATE") && !syntax::equals_word(word, "MLE")) return 0;
        break;
      }
      case TokenKind::Semicolon:
        watch.step = UnreadTextWatch::Step::StatementStart;
        return 0;
      case TokenKind::Slash:
      case TokenKind::Dot:
        // Alone on its line, it ends a statement.
        if (token.start > 0 && text[token.start - 1] != '\n' &&
            !is_blank_or_tab(text[token.start - 1])) {
          return 0;
        }
        break;
      default:
        return 0;
    }
  }
  return watch_any_token(watch, text, token, glued);
}

}  // namespace veltrane::lexer
