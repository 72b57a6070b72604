#pragma once
// Conditional compilation of PL/SQL units: evaluates "$IF" / "$ELSIF" / "$ELSE"
// / "$END" / "$ERROR" directives against flags and the target Oracle version,
// and turns directives, their conditions and every token of a branch not taken
// into `Inactive` trivia. The token list keeps its length; only kinds change.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/oracle_version.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/token.hpp"

namespace veltrane::lexer {

struct CcResult {
  // Same length and order as the input; only kinds differ.
  std::vector<Token> tokens;
  // In token order; "$IF without $END" last.
  std::vector<Diagnostic> diagnostics;
};

// Runs the directive pass over one item's tokens. `text` is the whole source
// text the tokens point into. Without any `CondDirective` token the tokens come
// back unchanged and there are no diagnostics.
[[nodiscard]] CcResult apply_conditional_compilation(std::string_view text,
                                                     std::span<const Token> tokens,
                                                     const ParseOptions& options);

// Index of the first token at or after `start` whose kind is `CondDirective`
// and whose whole text equals `word` ignoring ASCII case; none if there is
// none.
[[nodiscard]] std::optional<std::size_t> find_directive(std::string_view text,
                                                        std::span<const Token> tokens,
                                                        std::size_t start, std::string_view word);

// The value of a decimal number that does not fit a double: infinity when it is too
// large, 0 when it is too small. `upper` is digits, an optional "." and digits, then an
// optional exponent ("E" or "e", an optional sign, digits), as a number reads once its
// sign is taken off.
[[nodiscard]] double out_of_range_value(std::string_view upper);

// Nesting bound of the evaluator (NOT, unary minus and parentheses together);
// a deeper condition is "not understood".
inline constexpr uint32_t CC_MAX_NESTING = 256;

// The state of one condition's evaluation. `tokens` are the tokens strictly
// between the directive and its "$THEN"; trivia among them is skipped, so the
// cursor always rests on a significant token or at the end.
struct CcEvaluator {
  std::string_view text;
  std::span<const Token> tokens;
  std::size_t cursor = 0;
  const ParseOptions* options = nullptr;
  // Current nesting; `too_deep` is set once it would pass CC_MAX_NESTING, and
  // the evaluation then stops consuming tokens.
  uint32_t depth = 0;
  bool too_deep = false;

  CcEvaluator(std::string_view source_text, std::span<const Token> condition_tokens,
              const ParseOptions& parse_options);
};

// or: and { OR and }
[[nodiscard]] CcValue eval_or(CcEvaluator& evaluator);
// and: not { AND not }
[[nodiscard]] CcValue eval_and(CcEvaluator& evaluator);
// not: NOT not | primary [ IS [NOT] [NULL] | comparison primary ]
[[nodiscard]] CcValue eval_not(CcEvaluator& evaluator);
// primary: TRUE | FALSE | NULL | dotted name | number | string | $$name | ( or
// ) | - primary
[[nodiscard]] CcValue eval_primary(CcEvaluator& evaluator);
// True when the token at the cursor is an `Ident` equal to `word` ignoring
// ASCII case (a `QuotedIdent` never matches).
[[nodiscard]] bool cc_at_word(const CcEvaluator& evaluator, std::string_view word);

}  // namespace veltrane::lexer
