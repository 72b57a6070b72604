#include "syntax/span.hpp"

#include <algorithm>
#include <cstring>

#include "syntax/stop.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::syntax {

namespace {

// Stops unless `offset` lies within the text and on a character boundary.
void check_offset(std::string_view text, uint32_t offset) {
  if (offset > text.size()) stop(OFFSET_OUT_OF_RANGE);
  if (offset < text.size() && is_continuation_byte(text[offset])) stop(NOT_A_CHARACTER_BOUNDARY);
}

}  // namespace

std::string_view span_text(Span span, std::string_view text) {
  if (span.start > span.end) stop(SPAN_REVERSED);
  check_offset(text, span.start);
  check_offset(text, span.end);
  return text.substr(span.start, span.end - span.start);
}

LineIndex build_line_index(std::string_view text) {
  if (text.size() > UINT32_MAX) stop("text too long for 32-bit offsets");
  LineIndex index;
  index.text = text;
  index.line_starts.push_back(0);
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* cursor = begin;
  while (cursor < end) {
    const void* found = std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor));
    if (found == nullptr) break;
    const char* line_feed = static_cast<const char*>(found);
    index.line_starts.push_back(static_cast<uint32_t>(line_feed - begin + 1));
    cursor = line_feed + 1;
  }
  return index;
}

LineCol line_col(const LineIndex& index, uint32_t offset) {
  check_offset(index.text, offset);
  const auto after = std::upper_bound(index.line_starts.begin(), index.line_starts.end(), offset);
  if (after == index.line_starts.begin()) stop("line index has no line start");
  const uint32_t line_start = *(after - 1);
  uint32_t column = 1;
  for (uint32_t i = line_start; i < offset; ++i) {
    if (!is_continuation_byte(index.text[i])) ++column;
  }
  return LineCol{static_cast<uint32_t>(after - index.line_starts.begin()), column};
}

}  // namespace veltrane::syntax
