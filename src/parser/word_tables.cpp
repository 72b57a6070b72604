#include "parser/word_tables.hpp"

#include <algorithm>

#include "parser/parser.hpp"

namespace veltrane::parser {

namespace {

// True when no two rows of the table match each other.
constexpr bool rows_are_distinct(WordList table) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    for (std::size_t j = i + 1; j < table.size(); ++j) {
      if (word_equals(table[i], table[j])) {
        return false;
      }
    }
  }
  return true;
}

// True when every row is non-empty upper-case ASCII (letters, digits, "_").
constexpr bool rows_are_upper_case(WordList table) {
  for (std::string_view row : table) {
    if (row.empty()) {
      return false;
    }
    for (char c : row) {
      if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) {
        return false;
      }
    }
  }
  return true;
}

constexpr bool table_is_sound(WordList table) {
  return rows_are_distinct(table) && rows_are_upper_case(table);
}

static_assert(RESERVED_WORDS.size() == 108);
static_assert(TABLE_REF_END_WORDS.size() == 31);
static_assert(ARG_TAIL_WORDS.size() == 91);
static_assert(PLSQL_RESERVED_WORDS.size() == 85);
static_assert(IS_JSON_WORDS.size() == 9);
static_assert(CONSTRAINT_START_WORDS.size() == 8);
static_assert(CREATE_MODIFIER_WORDS.size() == 21);
static_assert(METHOD_MODIFIER_WORDS.size() == 9);
static_assert(BEGIN_STOP_WORDS.size() == 1);
static_assert(WHEN_END_STOP_WORDS.size() == 2);
static_assert(END_STOP_WORDS.size() == 1);
static_assert(BEGIN_END_STOP_WORDS.size() == 2);
static_assert(ELSIF_ELSE_END_STOP_WORDS.size() == 3);
static_assert(TIMING_POINT_STOP_WORDS.size() == 4);
static_assert(FOR_LOOP_CONTROL_WORDS.size() == 10);
static_assert(WHEN_ELSE_END_STOP_WORDS.size() == 3);
static_assert(MODEL_OPTION_WORDS.size() == 11);
static_assert(EXPR_START_WORDS.size() == 11);
static_assert(EXPR_OPERATOR_WORDS.size() == 15);

static_assert(table_is_sound(RESERVED_WORDS));
static_assert(table_is_sound(TABLE_REF_END_WORDS));
static_assert(table_is_sound(ARG_TAIL_WORDS));
static_assert(table_is_sound(PLSQL_RESERVED_WORDS));
static_assert(table_is_sound(IS_JSON_WORDS));
static_assert(table_is_sound(CONSTRAINT_START_WORDS));
static_assert(table_is_sound(CREATE_MODIFIER_WORDS));
static_assert(table_is_sound(METHOD_MODIFIER_WORDS));
static_assert(table_is_sound(BEGIN_STOP_WORDS));
static_assert(table_is_sound(WHEN_END_STOP_WORDS));
static_assert(table_is_sound(END_STOP_WORDS));
static_assert(table_is_sound(BEGIN_END_STOP_WORDS));
static_assert(table_is_sound(ELSIF_ELSE_END_STOP_WORDS));
static_assert(table_is_sound(TIMING_POINT_STOP_WORDS));
static_assert(table_is_sound(FOR_LOOP_CONTROL_WORDS));
static_assert(table_is_sound(WHEN_ELSE_END_STOP_WORDS));
static_assert(table_is_sound(MODEL_OPTION_WORDS));
static_assert(table_is_sound(EXPR_START_WORDS));
static_assert(table_is_sound(EXPR_OPERATOR_WORDS));

// Words that are no column alias besides RESERVED_WORDS.
constexpr std::array<std::string_view, 5> CLAUSE_WORDS = {"BULK", "FETCH", "EXCEPT", "WINDOW",
                                                          "OFFSET"};
// Words that end a list item in expression lists, ORDER BY and GROUP BY besides
// RESERVED_WORDS.
constexpr std::array<std::string_view, 7> LIST_END_WORDS = {"ROWS",   "NULLS",  "RANGE", "FETCH",
                                                            "GROUPS", "WINDOW", "OFFSET"};

// Orders a row before a text: shorter first, then byte by byte with the text's a-z folded
// (rows are upper case). Negative, zero or positive.
constexpr int compare_row(std::string_view row, std::string_view text) {
  if (row.size() != text.size()) return row.size() < text.size() ? -1 : 1;
  for (std::size_t i = 0; i < row.size(); ++i) {
    const auto a = static_cast<unsigned char>(row[i]);
    const auto b = static_cast<unsigned char>(syntax::ascii_upper(text[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

// A word table's rows in compare_row order, for a binary search.
template <std::size_t N>
constexpr std::array<std::string_view, N> sorted_rows(
    const std::array<std::string_view, N>& table) {
  std::array<std::string_view, N> rows = table;
  std::sort(rows.begin(), rows.end(),
            [](std::string_view a, std::string_view b) { return compare_row(a, b) < 0; });
  return rows;
}

template <std::size_t N>
constexpr bool sorted_contains(const std::array<std::string_view, N>& rows, std::string_view text) {
  std::size_t low = 0;
  std::size_t high = N;
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    const int order = compare_row(rows[middle], text);
    if (order == 0) return true;
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return false;
}

constexpr auto SORTED_RESERVED_WORDS = sorted_rows(RESERVED_WORDS);
constexpr auto SORTED_PLSQL_RESERVED_WORDS = sorted_rows(PLSQL_RESERVED_WORDS);

// The search finds every row of the table it was built from, in either case.
template <std::size_t N>
constexpr bool finds_every_row(const std::array<std::string_view, N>& table,
                               const std::array<std::string_view, N>& rows) {
  for (std::string_view row : table) {
    if (!sorted_contains(rows, row)) return false;
  }
  return !sorted_contains(rows, "") && !sorted_contains(rows, "SELECTX");
}
static_assert(finds_every_row(RESERVED_WORDS, SORTED_RESERVED_WORDS));
static_assert(finds_every_row(PLSQL_RESERVED_WORDS, SORTED_PLSQL_RESERVED_WORDS));

}  // namespace

bool is_reserved_word(std::string_view text, bool in_plsql) {
  return in_plsql ? sorted_contains(SORTED_PLSQL_RESERVED_WORDS, text)
                  : sorted_contains(SORTED_RESERVED_WORDS, text);
}

bool is_reserved_or_join_word(std::string_view text) {
  return sorted_contains(SORTED_RESERVED_WORDS, text) || word_in(TABLE_REF_END_WORDS, text);
}

bool is_reserved_or_clause_word(std::string_view text) {
  return sorted_contains(SORTED_RESERVED_WORDS, text) || word_in(CLAUSE_WORDS, text);
}

bool is_reserved(const Parser& p, std::uint32_t n, std::uint8_t mode) {
  if (!p.at(syntax::TokenKind::Ident, n)) {
    return false;
  }
  const std::string_view text = p.text_at(n);
  switch (mode) {
    case 0:
      return is_reserved_or_clause_word(text);
    case 1:
      return is_reserved_or_join_word(text);
    default:
      return sorted_contains(SORTED_RESERVED_WORDS, text) || word_in(LIST_END_WORDS, text);
  }
}

}  // namespace veltrane::parser
