#include "lexer/conditional_compilation.hpp"

#include <algorithm>
#include <charconv>
#include <compare>
#include <limits>
#include <system_error>

#include "lexer/token_values.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::lexer {

namespace {

using syntax::TokenKind;

constexpr std::string_view MESSAGE_THEN_MISSING = "conditional compilation: $THEN missing";
constexpr std::string_view MESSAGE_ELSIF_WITHOUT_IF = "conditional compilation: $ELSIF without $IF";
constexpr std::string_view MESSAGE_ELSE_WITHOUT_IF = "conditional compilation: $ELSE without $IF";
constexpr std::string_view MESSAGE_END_WITHOUT_IF = "conditional compilation: $END without $IF";
constexpr std::string_view MESSAGE_UNEXPECTED_DIRECTIVE =
    "conditional compilation: unexpected directive";
constexpr std::string_view MESSAGE_IF_WITHOUT_END = "conditional compilation: $IF without $END";
constexpr std::string_view MESSAGE_ERROR_SELECTED =
    "conditional compilation: a $ERROR directive is selected";
constexpr std::string_view MESSAGE_NEEDS_VALUE =
    "conditional compilation: condition needs a value the code does not give "
    "(set it as a "
    "flag); branch not taken";
constexpr std::string_view MESSAGE_NOT_UNDERSTOOD =
    "conditional compilation: condition not understood; branch not taken";

using syntax::ascii_upper_copy;
using syntax::equals_word;

std::string_view token_text(std::string_view text, const Token& token) {
  return text.substr(token.start, token.end - token.start);
}

Diagnostic diagnostic_at(const Token& token, std::string_view message, Severity severity) {
  return Diagnostic{message, token.start, token.end, severity};
}

// The evaluator's cursor.

void skip_trivia(CcEvaluator& evaluator) {
  while (evaluator.cursor < evaluator.tokens.size() &&
         syntax::is_trivia(evaluator.tokens[evaluator.cursor].kind)) {
    ++evaluator.cursor;
  }
}

const Token* peek(const CcEvaluator& evaluator) {
  return evaluator.cursor < evaluator.tokens.size() ? &evaluator.tokens[evaluator.cursor] : nullptr;
}

bool at_kind(const CcEvaluator& evaluator, TokenKind kind) {
  const Token* token = peek(evaluator);
  return token != nullptr && token->kind == kind;
}

void advance(CcEvaluator& evaluator) {
  ++evaluator.cursor;
  skip_trivia(evaluator);
}

// The significant token after the one at the cursor, or nullptr.
const Token* peek_second(const CcEvaluator& evaluator) {
  std::size_t index = evaluator.cursor + 1;
  while (index < evaluator.tokens.size() && syntax::is_trivia(evaluator.tokens[index].kind)) {
    ++index;
  }
  return index < evaluator.tokens.size() ? &evaluator.tokens[index] : nullptr;
}

// Takes `levels` more levels of nesting, or marks the evaluation too deep.
bool enter(CcEvaluator& evaluator, uint32_t levels) {
  if (evaluator.too_deep || levels > CC_MAX_NESTING - evaluator.depth) {
    evaluator.too_deep = true;
    return false;
  }
  evaluator.depth += levels;
  return true;
}

// Values.

bool is_bool(const CcValue& value, bool wanted) {
  const bool* b = std::get_if<bool>(&value);
  return b != nullptr && *b == wanted;
}

bool is_unresolved(const CcValue& value) { return std::holds_alternative<Unresolved>(value); }

CcValue combine_or(const CcValue& left, const CcValue& right) {
  if (is_bool(left, true) || is_bool(right, true)) return true;
  if (is_bool(left, false) && is_bool(right, false)) return false;
  if (is_unresolved(left) || is_unresolved(right)) return Unresolved{};
  return Null{};
}

CcValue combine_and(const CcValue& left, const CcValue& right) {
  if (is_bool(left, false) || is_bool(right, false)) return false;
  if (is_bool(left, true) && is_bool(right, true)) return true;
  if (is_unresolved(left) || is_unresolved(right)) return Unresolved{};
  return Null{};
}

// NOT applied `count` times.
CcValue negate(CcValue value, uint32_t count) {
  if (count == 0 || is_unresolved(value)) return value;
  if (const bool* b = std::get_if<bool>(&value)) return (count % 2 == 1) ? !*b : *b;
  return Null{};
}

bool is_comparison(TokenKind kind) {
  switch (kind) {
    case TokenKind::Eq:
    case TokenKind::Ne:
    case TokenKind::Lt:
    case TokenKind::Le:
    case TokenKind::Gt:
    case TokenKind::Ge:
      return true;
    default:
      return false;
  }
}

CcValue compare(const CcValue& left, const CcValue& right, TokenKind op) {
  if (is_unresolved(left) || is_unresolved(right)) return Unresolved{};
  if (std::holds_alternative<Null>(left) || std::holds_alternative<Null>(right)) return Null{};
  if (left.index() != right.index()) return Unresolved{};
  std::partial_ordering order = std::partial_ordering::unordered;
  if (const bool* b = std::get_if<bool>(&left)) {
    order = static_cast<int>(*b) <=> static_cast<int>(std::get<bool>(right));
  } else if (const double* d = std::get_if<double>(&left)) {
    order = *d <=> std::get<double>(right);
  } else if (const std::string* s = std::get_if<std::string>(&left)) {
    // Byte order (char_traits compares as unsigned char): a proper prefix
    // first.
    order = std::string_view(*s).compare(std::get<std::string>(right)) <=> 0;
  }
  if (order == std::partial_ordering::unordered) return Unresolved{};
  switch (op) {
    case TokenKind::Eq:
      return order == 0;
    case TokenKind::Ne:
      return order != 0;
    case TokenKind::Lt:
      return order < 0;
    case TokenKind::Le:
      return order <= 0;
    case TokenKind::Gt:
      return order > 0;
    default:
      return order >= 0;
  }
}

// A `Number` token's value: upper-cased, every trailing D and F dropped, read
// as a decimal double that must take the whole text.
CcValue number_value(std::string_view raw) {
  std::string upper = ascii_upper_copy(raw);
  while (!upper.empty() && (upper.back() == 'D' || upper.back() == 'F')) upper.pop_back();
  const char* first = upper.data();
  const char* last = first + upper.size();
  double value = 0.0;
  const auto [ptr, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::invalid_argument || ptr != last) return Unresolved{};
  if (error == std::errc::result_out_of_range) return out_of_range_value(upper);
  return value;
}

// Reads a whole text of decimal digits into 32 bits; none on anything else.
std::optional<uint32_t> read_unsigned(std::string_view digits) {
  uint32_t value = 0;
  const char* first = digits.data();
  const char* last = first + digits.size();
  const auto [ptr, error] = std::from_chars(first, last, value);
  if (error != std::errc{} || ptr != last || digits.empty()) return std::nullopt;
  return value;
}

// The value of an upper-cased dotted name: a DBMS_DB_VERSION constant of the
// target version, or Unresolved.
CcValue dbms_db_version_value(std::string_view name, OracleVersion version) {
  constexpr std::string_view PACKAGE = "DBMS_DB_VERSION.";
  constexpr std::string_view SYS_PACKAGE = "SYS.DBMS_DB_VERSION.";
  std::string_view rest;
  if (name.starts_with(PACKAGE)) {
    rest = name.substr(PACKAGE.size());
  } else if (name.starts_with(SYS_PACKAGE)) {
    rest = name.substr(SYS_PACKAGE.size());
  } else {
    return Unresolved{};
  }
  const uint32_t major = version.major;
  const uint32_t release = version.major < 18 ? version.minor : 0;
  if (rest == "VERSION") return static_cast<double>(major);
  if (rest == "RELEASE") return static_cast<double>(release);
  constexpr std::string_view VER_LE = "VER_LE_";
  if (!rest.starts_with(VER_LE)) return Unresolved{};
  rest.remove_prefix(VER_LE.size());
  const std::size_t split = rest.find('_');
  const std::optional<uint32_t> n = read_unsigned(rest.substr(0, split));
  if (!n) return Unresolved{};
  if (split == std::string_view::npos) return major <= *n;
  std::string_view minor_part = rest.substr(split + 1);
  minor_part = minor_part.substr(0, minor_part.find('_'));
  const std::optional<uint32_t> m = read_unsigned(minor_part);
  if (!m) return Unresolved{};
  return major < *n || (major == *n && release <= *m);
}

// The leaf readers below are kept out of line: the parenthesis recursion goes
// through `eval_operand`, whose frame must stay small.

// TRUE, FALSE, NULL or a dotted name (a DBMS_DB_VERSION constant).
[[gnu::noinline]] CcValue word_value(CcEvaluator& evaluator, const Token& token) {
  std::string name = ascii_upper_copy(token_text(evaluator.text, token));
  if (token.kind == TokenKind::Ident) {
    if (name == "TRUE") return true;
    if (name == "FALSE") return false;
    if (name == "NULL") return Null{};
  }
  while (at_kind(evaluator, TokenKind::Dot)) {
    const Token* second = peek_second(evaluator);
    if (second == nullptr || second->kind != TokenKind::Ident) break;
    advance(evaluator);
    advance(evaluator);
    name += '.';
    name += ascii_upper_copy(token_text(evaluator.text, *second));
  }
  return dbms_db_version_value(name, evaluator.options->version);
}

// "$$name": the flag's value, or Null when there is no such flag.
[[gnu::noinline]] CcValue inquiry_value(const CcEvaluator& evaluator, const Token& token) {
  const CcFlags& flags = evaluator.options->ccflags;
  if (flags.empty()) return Null{};
  const auto found = flags.find(ascii_upper_copy(token_text(evaluator.text, token).substr(2)));
  if (found == flags.end()) return Null{};
  return found->second;
}

[[gnu::noinline]] CcValue string_value(const CcEvaluator& evaluator, const Token& token) {
  return string_literal_value(token_text(evaluator.text, token));
}

[[gnu::noinline]] CcValue number_token_value(const CcEvaluator& evaluator, const Token& token) {
  return number_value(token_text(evaluator.text, token));
}

// A primary without leading minus signs; consumes one token, or a parenthesised
// condition, or a dotted name.
CcValue eval_operand(CcEvaluator& evaluator) {
  const Token* token = peek(evaluator);
  if (token == nullptr) return Unresolved{};
  advance(evaluator);
  switch (token->kind) {
    case TokenKind::Ident:
    case TokenKind::QuotedIdent:
      return word_value(evaluator, *token);
    case TokenKind::Number:
      return number_token_value(evaluator, *token);
    case TokenKind::String:
      return string_value(evaluator, *token);
    case TokenKind::Inquiry:
      return inquiry_value(evaluator, *token);
    case TokenKind::LParen: {
      if (!enter(evaluator, 1)) return Unresolved{};
      CcValue value = eval_or(evaluator);
      if (!evaluator.too_deep && at_kind(evaluator, TokenKind::RParen)) advance(evaluator);
      --evaluator.depth;
      return value;
    }
    default:
      return Unresolved{};
  }
}

// Whether the condition between a directive at `directive` and its "$THEN" at
// `then_index` selects its branch; adds the evaluation's warning, if any.
bool decide(std::string_view text, std::span<const Token> tokens, std::size_t directive,
            std::size_t then_index, const ParseOptions& options,
            std::vector<Diagnostic>& diagnostics) {
  CcEvaluator evaluator(text, tokens.subspan(directive + 1, then_index - directive - 1), options);
  const CcValue value = eval_or(evaluator);
  if (evaluator.too_deep || evaluator.cursor < evaluator.tokens.size()) {
    diagnostics.push_back(
        diagnostic_at(tokens[directive], MESSAGE_NOT_UNDERSTOOD, Severity::Warning));
    return false;
  }
  if (const bool* b = std::get_if<bool>(&value)) return *b;
  if (is_unresolved(value)) {
    diagnostics.push_back(diagnostic_at(tokens[directive], MESSAGE_NEEDS_VALUE, Severity::Warning));
  }
  return false;
}

struct Branch {
  bool parent_active;
  bool taken;
  bool active;
};

}  // namespace

double out_of_range_value(std::string_view upper) {
  // Decimal exponent of the first non-zero digit, plus the written exponent.
  int64_t integer_digits = 0;
  int64_t first_non_zero = -1;
  int64_t digit_index = 0;
  bool after_point = false;
  std::size_t i = 0;
  for (; i < upper.size(); ++i) {
    const char c = upper[i];
    if (c == '.') {
      after_point = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    if (!after_point) ++integer_digits;
    if (c != '0' && first_non_zero < 0) first_non_zero = digit_index;
    ++digit_index;
  }
  int64_t exponent = 0;
  if (i < upper.size() && (upper[i] == 'E' || upper[i] == 'e')) {
    ++i;
    bool negative = false;
    if (i < upper.size() && (upper[i] == '+' || upper[i] == '-')) negative = upper[i++] == '-';
    for (; i < upper.size() && upper[i] >= '0' && upper[i] <= '9'; ++i) {
      exponent = std::min<int64_t>(exponent * 10 + (upper[i] - '0'), int64_t{1} << 40);
    }
    if (negative) exponent = -exponent;
  }
  if (first_non_zero < 0) return 0.0;
  const int64_t magnitude = integer_digits - 1 - first_non_zero + exponent;
  return magnitude >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

CcEvaluator::CcEvaluator(std::string_view source_text, std::span<const Token> condition_tokens,
                         const ParseOptions& parse_options)
    : text(source_text), tokens(condition_tokens), options(&parse_options) {
  skip_trivia(*this);
}

bool cc_at_word(const CcEvaluator& evaluator, std::string_view word) {
  const Token* token = peek(evaluator);
  if (token == nullptr || token->kind != TokenKind::Ident) return false;
  return syntax::equals_ascii_folded(token_text(evaluator.text, *token), word);
}

CcValue eval_or(CcEvaluator& evaluator) {
  CcValue value = eval_and(evaluator);
  while (!evaluator.too_deep && cc_at_word(evaluator, "OR")) {
    advance(evaluator);
    const CcValue right = eval_and(evaluator);
    value = combine_or(value, right);
  }
  return value;
}

CcValue eval_and(CcEvaluator& evaluator) {
  CcValue value = eval_not(evaluator);
  while (!evaluator.too_deep && cc_at_word(evaluator, "AND")) {
    advance(evaluator);
    const CcValue right = eval_not(evaluator);
    value = combine_and(value, right);
  }
  return value;
}

CcValue eval_not(CcEvaluator& evaluator) {
  // A chain of NOTs is counted, not recursed into.
  uint32_t nots = 0;
  while (cc_at_word(evaluator, "NOT")) {
    if (!enter(evaluator, 1)) return Unresolved{};
    advance(evaluator);
    ++nots;
  }
  CcValue value = eval_primary(evaluator);
  if (!evaluator.too_deep) {
    if (cc_at_word(evaluator, "IS")) {
      advance(evaluator);
      bool negated = false;
      if (cc_at_word(evaluator, "NOT")) {
        advance(evaluator);
        negated = true;
      }
      if (cc_at_word(evaluator, "NULL")) advance(evaluator);
      if (!is_unresolved(value)) value = std::holds_alternative<Null>(value) != negated;
    } else if (const Token* op = peek(evaluator); op != nullptr && is_comparison(op->kind)) {
      const TokenKind op_kind = op->kind;
      advance(evaluator);
      const CcValue right = eval_primary(evaluator);
      value = compare(value, right, op_kind);
    }
  }
  evaluator.depth -= nots;
  return negate(std::move(value), nots);
}

CcValue eval_primary(CcEvaluator& evaluator) {
  if (evaluator.too_deep) return Unresolved{};
  // A chain of unary minus signs is counted, not recursed into.
  uint32_t minuses = 0;
  while (at_kind(evaluator, TokenKind::Minus)) {
    if (!enter(evaluator, 1)) return Unresolved{};
    advance(evaluator);
    ++minuses;
  }
  CcValue value = eval_operand(evaluator);
  evaluator.depth -= minuses;
  if (minuses % 2 == 1) {
    if (double* number = std::get_if<double>(&value)) *number = -*number;
  }
  return value;
}

std::optional<std::size_t> find_directive(std::string_view text, std::span<const Token> tokens,
                                          std::size_t start, std::string_view word) {
  for (std::size_t i = start; i < tokens.size(); ++i) {
    if (tokens[i].kind != TokenKind::CondDirective) continue;
    if (syntax::equals_ascii_folded(token_text(text, tokens[i]), word)) return i;
  }
  return std::nullopt;
}

CcResult apply_conditional_compilation(std::string_view text, std::span<const Token> tokens,
                                       const ParseOptions& options) {
  CcResult result;
  result.tokens.assign(tokens.begin(), tokens.end());
  const bool has_directive = std::any_of(tokens.begin(), tokens.end(), [](const Token& token) {
    return token.kind == TokenKind::CondDirective;
  });
  if (!has_directive) return result;

  std::vector<Token>& out = result.tokens;
  std::vector<Diagnostic>& diagnostics = result.diagnostics;
  const auto make_inactive = [&out](std::size_t from, std::size_t through) {
    for (std::size_t k = from; k <= through; ++k) out[k].kind = TokenKind::Inactive;
  };
  std::vector<Branch> stack;
  const std::size_t count = tokens.size();
  std::size_t i = 0;
  while (i < count) {
    const Token& token = tokens[i];
    if (token.kind != TokenKind::CondDirective) {
      if (!stack.empty() && !stack.back().active) out[i].kind = TokenKind::Inactive;
      ++i;
      continue;
    }
    const std::string_view word = token_text(text, token);
    const bool is_if = equals_word(word, "$IF");
    if (is_if || equals_word(word, "$ELSIF")) {
      const std::optional<std::size_t> then_index = find_directive(text, tokens, i + 1, "$THEN");
      if (!then_index) {
        diagnostics.push_back(diagnostic_at(token, MESSAGE_THEN_MISSING, Severity::Error));
        make_inactive(i, count - 1);
        break;
      }
      const bool decision = decide(text, tokens, i, *then_index, options, diagnostics);
      make_inactive(i, *then_index);
      if (is_if) {
        const bool parent_active = stack.empty() || stack.back().active;
        const bool active = decision && parent_active;
        stack.push_back(Branch{parent_active, active, active});
      } else if (stack.empty()) {
        diagnostics.push_back(diagnostic_at(token, MESSAGE_ELSIF_WITHOUT_IF, Severity::Error));
      } else {
        Branch& top = stack.back();
        top.active = top.parent_active && !top.taken && decision;
        top.taken = top.taken || top.active;
      }
      i = *then_index + 1;
      continue;
    }
    if (equals_word(word, "$ELSE")) {
      if (stack.empty()) {
        diagnostics.push_back(diagnostic_at(token, MESSAGE_ELSE_WITHOUT_IF, Severity::Error));
      } else {
        Branch& top = stack.back();
        top.active = top.parent_active && !top.taken;
        top.taken = true;
      }
    } else if (equals_word(word, "$END")) {
      if (stack.empty()) {
        diagnostics.push_back(diagnostic_at(token, MESSAGE_END_WITHOUT_IF, Severity::Error));
      } else {
        stack.pop_back();
      }
    } else if (equals_word(word, "$ERROR")) {
      const std::size_t end_index = find_directive(text, tokens, i + 1, "$END").value_or(count - 1);
      if (stack.empty() || stack.back().active) {
        diagnostics.push_back(diagnostic_at(token, MESSAGE_ERROR_SELECTED, Severity::Warning));
      }
      make_inactive(i, end_index);
      i = end_index + 1;
      continue;
    } else {
      diagnostics.push_back(diagnostic_at(token, MESSAGE_UNEXPECTED_DIRECTIVE, Severity::Error));
    }
    out[i].kind = TokenKind::Inactive;
    ++i;
  }
  // Also after "$THEN missing" stopped the pass: an "$IF" left open is
  // reported.
  if (!stack.empty()) {
    diagnostics.push_back(
        diagnostic_at(tokens[count - 1], MESSAGE_IF_WITHOUT_END, Severity::Error));
  }
  return result;
}

}  // namespace veltrane::lexer
