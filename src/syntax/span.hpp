#pragma once

// Byte spans of the source text and the conversion of byte offsets to 1-based lines and
// columns counted in characters.

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace veltrane::syntax {

// A byte range of the source text; start <= end, both on character boundaries.
struct Span {
  uint32_t start;
  uint32_t end;

  friend bool operator==(const Span&, const Span&) = default;
};

// The text of `span`. An offset past the end, start > end or an offset inside a
// character is a broken invariant and stops.
[[nodiscard]] std::string_view span_text(Span span, std::string_view text);

// Line starts of a text: 0 and the offset after every LF. Only LF ends a line; CR is an
// ordinary character. Borrows the text: it must outlive the index.
struct LineIndex {
  std::vector<uint32_t> line_starts;
  std::string_view text;
};

[[nodiscard]] LineIndex build_line_index(std::string_view text);

// A std::string rvalue: what a forwarding reference deduces for a temporary string.
template <class Text>
concept TemporaryString = std::same_as<std::remove_const_t<Text>, std::string>;

// An index of a temporary std::string would dangle at once.
template <TemporaryString Text>
LineIndex build_line_index(Text&& text) = delete;

struct LineCol {
  uint32_t line;
  uint32_t column;

  friend bool operator==(const LineCol&, const LineCol&) = default;
};

// 1-based line and column (in characters) of a byte offset; the offset may equal the
// text's length. An offset past the end or inside a character stops. Costs O(column).
[[nodiscard]] LineCol line_col(const LineIndex& index, uint32_t offset);

// The fixed stop messages of the slice checks.
inline constexpr std::string_view OFFSET_OUT_OF_RANGE = "offset out of range";
inline constexpr std::string_view NOT_A_CHARACTER_BOUNDARY = "offset not on a character boundary";
inline constexpr std::string_view SPAN_REVERSED = "span start after end";

}  // namespace veltrane::syntax
