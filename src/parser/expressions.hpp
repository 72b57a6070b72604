#pragma once
// Expression grammar: the binding-power expression parser, parenthesised
// expressions and lists, ORDER BY, word-led primaries, call arguments and the
// argument tail, name expressions, the COLUMNS clause of table functions,
// datatypes and interval literals. Every rule works on the one Parser of a
// parse and writes into its tree builder; none of them fails on bad input: a
// missing piece is an error at the token where it should start.

#include <cstdint>
#include <string_view>

#include "parser/messages.hpp"
#include "parser/token_set.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"

namespace veltrane::parser {

class Parser;

// ---- fixed message texts of the expression grammar (shared ones: messages.hpp) ----

inline constexpr std::string_view MSG_EXPECTED_EXPRESSION = "expected an expression";
inline constexpr std::string_view MSG_EXPECTED_COLLATION = "expected a collation name";
inline constexpr std::string_view MSG_EXPECTED_CELL_CLOSE =
    "expected ] to close the cell reference";
inline constexpr std::string_view MSG_EXPECTED_DIMENSION = "expected a dimension";
inline constexpr std::string_view MSG_UNEXPECTED_IN_FOR_LOOP = "unexpected token in the FOR loop";
inline constexpr std::string_view MSG_EXPECTED_BETWEEN_AND = "expected AND in BETWEEN";
inline constexpr std::string_view MSG_EXPECTED_AFTER_IS =
    "expected NULL, NAN, EMPTY, A SET, JSON or OF after IS";
inline constexpr std::string_view MSG_EXPECTED_IS_OF_LPAREN = "expected ( after IS OF";
inline constexpr std::string_view MSG_EXPECTED_SUBQUERY_CLOSE = "expected ) after subquery";
inline constexpr std::string_view MSG_EXPECTED_CASE_END = "expected END to close CASE";
inline constexpr std::string_view MSG_EXPECTED_ARG_SEPARATOR =
    "expected , or ) in the argument list";
inline constexpr std::string_view MSG_EXPECTED_ARG_LIST_CLOSE =
    "expected ) to close the argument list";
inline constexpr std::string_view MSG_UNEXPECTED_IN_ARGUMENT = "unexpected token in the argument";
inline constexpr std::string_view MSG_EXPECTED_FRAME_AND = "expected AND in the window frame";
inline constexpr std::string_view MSG_EXPECTED_CURRENT_ROW = "expected ROW after CURRENT";
inline constexpr std::string_view MSG_EXPECTED_FRAME_DIRECTION = "expected PRECEDING or FOLLOWING";
inline constexpr std::string_view MSG_EXPECTED_WITHIN_GROUP_LPAREN =
    "expected ( after WITHIN GROUP";
inline constexpr std::string_view MSG_EXPECTED_OVER_CLOSE = "expected ) to close OVER";
inline constexpr std::string_view MSG_UNEXPECTED_IN_COLUMN =
    "unexpected token in the column definition";
inline constexpr std::string_view MSG_EXPECTED_COLUMNS_CLOSE = "expected ) to close COLUMNS";
inline constexpr std::string_view MSG_EXPECTED_TYPE = "expected a type";
inline constexpr std::string_view MSG_UNEXPECTED_IN_TYPE_SIZE =
    "unexpected token in the type's size";

// ---- binding powers (expressions.cpp) ----

// An infix operator is taken while the caller's minimum binding power is at
// most `left`; its right operand is parsed with minimum `right`.
struct BindingPower {
  std::uint8_t left;
  std::uint8_t right;
};

struct BindingPowerTable {
  BindingPower logical_or{1, 2};
  BindingPower logical_and{3, 4};
  std::uint8_t not_operand = 5;
  // = <> < > <= >=, IS, [NOT] IN, [NOT] MEMBER / SUBMULTISET
  BindingPower comparison{7, 8};
  // BETWEEN bounds, LIKE pattern and escape, frame offsets, FOR/FORALL ranges
  std::uint8_t bound_operand = 9;
  BindingPower multiset{9, 10};
  // || + -
  BindingPower additive{11, 12};
  // * /
  BindingPower multiplicative{13, 14};
  // unary + -, PRIOR, CONNECT_BY_ROOT
  std::uint8_t unary_operand = 15;
  // ** is right associative
  BindingPower power{18, 17};
  // AT TIME ZONE's zone; also "a bare operand with its postfix forms"
  std::uint8_t postfix_operand = 19;
};

inline constexpr BindingPowerTable BINDING_POWERS{};

// Token kinds that always begin an operand (words are tested by name).
inline constexpr TokenSet EXPR_START_TOKENS = {
    syntax::TokenKind::QuotedIdent, syntax::TokenKind::Number,  syntax::TokenKind::String,
    syntax::TokenKind::Bind,        syntax::TokenKind::Inquiry, syntax::TokenKind::Substitution,
    syntax::TokenKind::LParen,      syntax::TokenKind::Plus,    syntax::TokenKind::Minus,
};

// ---- expressions (expressions.cpp) ----

// One expression or condition, stopping before operators whose left binding
// power is below `min_bp` (0 reads everything). Guards the shared nesting
// depth; the operand chain is built at one checkpoint without recursion per
// operator.
void parse_expr(Parser& p, std::uint8_t min_bp);

// A predicate without its left operand starts here: a comparison operator, IS, or
// [NOT] IN, BETWEEN, LIKE (LIKEC, LIKE2, LIKE4).
[[nodiscard]] bool at_dangling_predicate(const Parser& p);

// < 25 | IS [NOT] NULL | [NOT] IN (...) | [NOT] BETWEEN a AND b | [NOT] LIKE 'a%' ...
// One operator node with no left operand, as the expression grammar builds it after an
// operand (BinaryExpr, IsExpr, InExpr, BetweenExpr, LikeExpr); the right operands stop
// where they would after an operand, so a following AND or OR is not taken. Counts on
// the shared nesting depth. Precondition: at_dangling_predicate.
void parse_dangling_predicate(Parser& p);

// The choices after WHEN in a simple CASE: in SQL one value; in PL/SQL a list of values
// and dangling predicates ( WHEN 1, 2 THEN, WHEN <= 25 THEN ), which warn below 23ai,
// once per WHEN. The commas are plain tokens of the enclosing WhenClause.
void parse_simple_case_choices(Parser& p);

// The words from lookahead n on complete an IS test ([NOT] NULL, NAN, ..., ANY, A SET,
// JSON, OF): what IS followed by them means in an expression.
[[nodiscard]] bool at_is_test(const Parser& p, std::uint32_t n);

// ---- parenthesised expressions and lists (paren_lists.cpp) ----

// ( query ) | ( expr [AS type] ) | ( expr, ... ) | ()     (current token "(")
void parse_paren_expr(Parser& p);

// ( query ) | ( expr, ... )   as the operand of IN, ANY/SOME/ALL, EXISTS,
// CURSOR, MULTISET and a cell reference's FOR ... IN. Bumps the current token
// as "(" without testing it. Never makes a ParenExpr.
void parse_paren_query_or_list(Parser& p);

// expr {, expr} with substitution pieces between items; no node of its own.
void parse_expr_list(Parser& p);

// Where the items of a list with substitution pieces between them begin: leading pieces
// are the ones at_lexical finds under `lexical_mode`, and `can_start_item` tells whether
// an item begins at the current token.
struct ListItemStart {
  std::uint8_t lexical_mode;
  bool (*can_start_item)(const Parser&);
};

// [&piece ...] item [&piece ...] {, ...}   `parse_item(p, min_bp)` reads each item. The
// list goes on after a "," or, after trailing pieces, where another item begins; no node
// of its own.
void parse_list_items(Parser& p, ListItemStart start, void (*parse_item)(Parser&, std::uint8_t),
                      std::uint8_t min_bp);

// parse_list_items with the items of an expression list (the start parse_expr_list uses).
void parse_list_items(Parser& p, void (*parse_item)(Parser&, std::uint8_t), std::uint8_t min_bp);

// item {, item} )   into the open node, after its "(": `parse_item` reads each
// item; then the ")" is bumped, or `close_message` recorded where it belongs.
void parse_items_to_rparen(Parser& p, void (*parse_item)(Parser&), std::string_view close_message);

// One `kind` node of plain tokens: stops at a ")" that closes nothing inside it, and at
// parenthesis depth 0 before a token where `stop` holds; neither is consumed, and the
// node may be empty. No diagnostic.
void parse_flat_tokens_until(Parser& p, syntax::NodeKind kind, bool (*stop)(const Parser&));

// Whether the current token can begin another list item.
[[nodiscard]] bool can_start_expr(const Parser& p);
// The same test at lookahead n.
[[nodiscard]] bool can_start_expr_at(const Parser& p, std::uint32_t n);

// ---- ORDER BY (order_by.cpp) ----

// ORDER [SIBLINGS] BY item, ...   (current word ORDER, taken untested)
void parse_order_by(Parser& p);

// expr [ASC|DESC] [NULLS [FIRST|LAST]], ...   into the open node; every item's
// expression is parsed with minimum `min_bp`.
void parse_order_by_items(Parser& p, std::uint8_t min_bp);

// expr [ASC|DESC] [NULLS [FIRST|LAST]]   one OrderItem node, the expression parsed
// with minimum `min_bp`.
void parse_order_item(Parser& p, std::uint8_t min_bp);

// ---- word-led primaries (word_primaries.cpp) ----

// The operand at an Ident: NOT, PRIOR, EXISTS, CASE, NEW, typed literals,
// CURSOR, MULTISET, the JSON constructor, or a name; a reserved word is "expected an expression".
void parse_primary_word(Parser& p);

// ---- call arguments (call_arguments.cpp) ----

// ( [DISTINCT|ALL|UNIQUE] arg, ... )   with named arguments and argument tails
// (current token "(").
void parse_arg_list(Parser& p);

// ( operation, ... )   JSON_TRANSFORM's operations inside NESTED PATH or CASE, as an
// ArgList of one argument per operation (current token "(").
void parse_transform_operations(Parser& p);
// "(" followed by a JSON_TRANSFORM operation word and its path (or NESTED PATH).
[[nodiscard]] bool at_transform_operations(const Parser& p);

// JSON {member, ...} | JSON [element, ...]   the JSON constructor, as a Call of the name
// JSON whose ArgList has the brackets (current word JSON, then "{" or "[").
void parse_json_constructor(Parser& p);

// {ROWS|RANGE|GROUPS} {bound | BETWEEN bound AND bound} [EXCLUDE ...]
// (current word ROWS, RANGE or GROUPS)
void parse_window_frame(Parser& p);

// UNBOUNDED {PRECEDING|FOLLOWING} | CURRENT ROW | expr {PRECEDING|FOLLOWING}
void parse_frame_bound(Parser& p);

// ---- name expressions (name_expressions.cpp) ----

// name[(args)] [WITHIN GROUP (...)] [KEEP (...)] [FROM FIRST|LAST]
//   [IGNORE|RESPECT NULLS] [OVER ...] {.field | (args)}
void parse_name_expr(Parser& p);

// ---- COLUMNS clause (columns_clause.cpp) ----

// COLUMNS [(] column [type] [PATH ...] [options], ... [)]   (current word COLUMNS)
void parse_columns_clause(Parser& p);

// ---- datatypes (datatypes.cpp) ----

// One TypeName node, always (empty after "expected a type").
void parse_datatype(Parser& p);

// ( n [, m] [BYTE|CHAR] )   does nothing unless the current token is "(".
void parse_type_size(Parser& p);

// ---- interval literals (interval_literals.cpp) ----

// INTERVAL 'text' [unit [(p [, s])]] [TO unit [(p [, s])]]   (current word
// INTERVAL, next token a string)
void parse_interval_literal(Parser& p);

// YEAR | MONTH | DAY | HOUR | MINUTE | SECOND [(p [, s])]; nothing otherwise.
void parse_interval_qualifier(Parser& p);

// DAY [(n)] TO SECOND or YEAR [(n)] TO MONTH from the current token on: the qualifier
// that makes a parenthesised datetime difference an interval.
[[nodiscard]] bool at_interval_expr_qualifier(const Parser& p);

// ( d1 - d2 ) DAY [(n)] TO SECOND [(n)] | ( d1 - d2 ) YEAR [(n)] TO MONTH
// An IntervalExpr at the checkpoint over the parenthesised operand built since, with the
// qualifier. Precondition: at_interval_expr_qualifier.
void parse_interval_expr(Parser& p, syntax::Checkpoint start);

}  // namespace veltrane::parser
