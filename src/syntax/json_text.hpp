#pragma once

// JSON text in and out.
//
// `read_json` reads every options text into a value: the JSON library's parser behind
// bounds of our own (json_text_within_bounds: no byte-order mark, no NUL byte, at most
// JSON_NESTING_LIMIT nested arrays and objects), trailing text rejected. Request bodies are
// not read into values: server/json_body keeps only the members a route wants, from the
// library's event parser behind the same bounds.
//
// `JsonWriter` streams JSON element by element into a string, with the bytes the JSON
// library's compact `dump()` prints for the same value: no white space, the library's
// string escapes, integers in decimal, doubles in its shortest round-trip form. It keeps
// no stack, so a value nested a million levels deep costs nothing beyond its text. The
// caller writes each object's keys in ascending byte order, as the library's ordered
// objects would print them.

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::syntax {

// Nested arrays and objects that a text may hold: the 129th level makes it invalid.
inline constexpr std::size_t JSON_NESTING_LIMIT = 128;

// The value of a JSON text, or none when the text is not one JSON value (white space
// around it allowed), nests deeper than JSON_NESTING_LIMIT, or begins with a byte-order
// mark. Never throws on bad input.
[[nodiscard]] std::optional<nlohmann::json> read_json(std::string_view text);

// True when `text` may go to the JSON library's parser: no byte-order mark, no NUL byte,
// and no deeper nesting than JSON_NESTING_LIMIT. `read_json` parses only such texts, and
// so must every other reader that uses the library's parser.
[[nodiscard]] bool json_text_within_bounds(std::string_view text);

// True when the arrays and objects of `text` nest deeper than JSON_NESTING_LIMIT.
// Brackets inside strings do not count. Exact for valid JSON; any answer is harmless for
// invalid text, which the parser refuses anyway.
[[nodiscard]] bool json_nests_too_deep(std::string_view text);

// Appends `text` as a JSON string literal, quotes included. `text` must be valid UTF-8:
// its bytes are copied as they stand but for the quotation mark, the backslash and the
// characters below U+0020.
void append_json_string(std::string& out, std::string_view text);

// True when `text` is written inside the quotes as it stands.
[[nodiscard]] bool json_string_needs_no_escape(std::string_view text);

// The length of append_json_string of `text`, quotes included, or more: every byte that
// needs an escape counts as the longest escape, six bytes. A loop without branches, which
// the compiler turns into vector code.
[[nodiscard]] inline std::size_t json_string_size_bound(std::string_view text) {
  constexpr std::size_t ESCAPE_GROWTH = 5;  // \u001f for one byte
  std::size_t escaped = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    escaped += static_cast<std::size_t>((c == '"') | (c == '\\') | (byte < 0x20));
  }
  return text.size() + 2 + ESCAPE_GROWTH * escaped;
}

namespace detail {

// 1 for each byte a JSON string literal escapes: those below U+0020, the quotation mark and
// the backslash.
inline constexpr std::array<uint8_t, 256> ESCAPED_BYTES = [] {
  std::array<uint8_t, 256> escaped{};
  for (std::size_t byte = 0; byte < 0x20; ++byte) escaped[byte] = 1;
  escaped['"'] = 1;
  escaped['\\'] = 1;
  return escaped;
}();

// Nonzero when one of the eight bytes of `word` is escaped. A byte that is zero, or below
// 0x20, borrows into its high bit when ones or 0x20s are subtracted from every byte, and
// nothing borrows otherwise.
[[nodiscard]] inline uint64_t escaped_bytes_in(uint64_t word) {
  constexpr uint64_t ONES = 0x0101010101010101u;
  constexpr uint64_t HIGH_BITS = 0x8080808080808080u;
  const auto zero_byte_in = [](uint64_t bytes) { return (bytes - ONES) & ~bytes & HIGH_BITS; };
  const uint64_t control = (word - 0x20 * ONES) & ~word & HIGH_BITS;
  return control | zero_byte_in(word ^ ('"' * ONES)) | zero_byte_in(word ^ ('\\' * ONES));
}

}  // namespace detail

// Copies `text` to `to`, which has room for its bytes; true when it needs no escape, so
// that the copy is the inside of its JSON string literal. Eight bytes at a time from eight
// bytes on, a table look-up per byte below.
[[nodiscard]] inline bool copy_if_unescaped(char* to, std::string_view text) {
  const char* const from = text.data();
  const std::size_t size = text.size();
  constexpr std::size_t WORD = sizeof(uint64_t);
  if (size >= WORD) {
    uint64_t escaped = 0;
    // The last word overlaps the one before when the size is no multiple of eight.
    for (std::size_t at = 0;; at += WORD) {
      if (at + WORD > size) at = size - WORD;
      uint64_t word = 0;
      std::memcpy(&word, from + at, WORD);
      std::memcpy(to + at, &word, WORD);
      escaped |= detail::escaped_bytes_in(word);
      if (at + WORD == size) break;
    }
    return escaped == 0;
  }
  unsigned escaped = 0;
  for (std::size_t at = 0; at < size; ++at) {
    to[at] = from[at];
    escaped |= detail::ESCAPED_BYTES[static_cast<unsigned char>(from[at])];
  }
  return escaped == 0;
}

// The decimal digits of the largest number an output about a text of `text_size` bytes
// writes: its offsets, counts, lines and columns are at most text_size + 1 (the column
// after the last character, or the line after the last line feed).
[[nodiscard]] std::size_t number_digits(std::size_t text_size);

// Appends the library's compact form of a double: "null" for NaN and the infinities,
// otherwise the shortest text that reads back as the same double, such as 152.4, 0.0,
// -1.5e-07 or 1e+300.
void append_json_double(std::string& out, double value);

// The longest decimal text of a uint32_t.
inline constexpr std::size_t MAX_DECIMAL_DIGITS_32 = 10;

namespace detail {

// "00" to "99": the two digits of each number below 100.
inline constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The largest number of each digit count below ten: 9, 99, ... 999999999.
inline constexpr uint32_t LARGEST_OF_DIGITS[] = {
    9, 99, 999, 9999, 99999, 999999, 9999999, 99999999, 999999999,
};

}  // namespace detail

// The number of decimal digits of `value` (1 for 0), without a loop: the bit length gives
// the digit count or one less (9/32 is just below log10 of 2), and one comparison decides.
inline std::size_t decimal_digits(uint32_t value) {
  const auto bits_below_top = static_cast<uint32_t>(std::bit_width(value | 1u)) - 1;
  uint32_t digits_below = (9 * bits_below_top) >> 5;
  digits_below += value > detail::LARGEST_OF_DIGITS[digits_below] ? 1 : 0;
  return digits_below + 1;
}

namespace detail {

// The digits of `value` (below 10^8), zero-padded to eight, as the bytes of a
// little-endian word, the first digit lowest. Four lanes of arithmetic at once: the two
// halves of four digits in 32-bit lanes, divided by 100 into 16-bit lanes, then by 10
// into bytes. Each multiply-shift divides exactly in its range, and no lane carries into
// the next.
[[nodiscard]] inline uint64_t eight_digit_word(uint32_t value) {
  const uint64_t halves = (value / 10000) | (uint64_t{value % 10000} << 32);
  const uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007Fu;
  const uint64_t pairs = ((halves - hundreds * 100) << 16) | hundreds;
  const uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Fu;
  const uint64_t digits = ((pairs - tens * 10) << 8) | tens;
  return digits + 0x3030303030303030u;
}

// The loop that writes `value` in `digits` digits ending at `at + digits`, two at a time.
inline char* write_decimal_by_pairs(char* at, uint32_t value, std::size_t digits) {
  char* const end = at + digits;
  char* cursor = end;
  while (value >= 100) {
    const uint32_t pair = (value % 100) * 2;
    value /= 100;
    cursor -= 2;
    cursor[0] = DIGIT_PAIRS[pair];
    cursor[1] = DIGIT_PAIRS[pair + 1];
  }
  if (value >= 10) {
    cursor[-2] = DIGIT_PAIRS[value * 2];
    cursor[-1] = DIGIT_PAIRS[value * 2 + 1];
  } else {
    cursor[-1] = static_cast<char>('0' + value);
  }
  return end;
}

}  // namespace detail

// Writes `value` in decimal, as std::to_chars does, at `at`, which has room for
// MAX_DECIMAL_DIGITS_32 characters (all of which it may overwrite); returns the end of
// what was written. The hot numbers of the analysis result (offsets, lines, ids) go
// through here.
inline char* write_decimal(char* at, uint32_t value) {
  const std::size_t digits = decimal_digits(value);
  if constexpr (std::endian::native != std::endian::little) {
    return detail::write_decimal_by_pairs(at, value, digits);
  }
  constexpr uint32_t EIGHT_DIGITS = 100000000;
  if (value >= EIGHT_DIGITS) {
    // One or two leading digits, then eight.
    at = detail::write_decimal_by_pairs(at, value / EIGHT_DIGITS, digits - 8);
    const uint64_t word = detail::eight_digit_word(value % EIGHT_DIGITS);
    std::memcpy(at, &word, sizeof word);
    return at + 8;
  }
  // All eight bytes are stored; the end moves past the significant ones only.
  const uint64_t word = detail::eight_digit_word(value) >> (8 * (8 - digits));
  std::memcpy(at, &word, sizeof word);
  return at + digits;
}

namespace detail {

// "0000" to "9999" one after the other: the four zero-padded digits of each number below
// 10^4 start at four times the number. A table of 40 KB, read mostly in order by writers of
// rising offsets, costs one load per four digits instead of a dozen instructions of
// arithmetic.
inline constexpr std::array<char, 40000> FOUR_DIGIT_TEXTS = [] {
  std::array<char, 40000> texts{};
  for (std::size_t value = 0; value < 10000; ++value) {
    texts[4 * value] = static_cast<char>('0' + value / 1000);
    texts[4 * value + 1] = static_cast<char>('0' + value / 100 % 10);
    texts[4 * value + 2] = static_cast<char>('0' + value / 10 % 10);
    texts[4 * value + 3] = static_cast<char>('0' + value % 10);
  }
  return texts;
}();

// Writes `value` (below 10^4) without leading zeros at `at`, which has room for four
// characters (all of which may be overwritten); returns the end of what was written. The
// four bytes copied start at the first significant digit, so for fewer than four digits
// they run into the next entry of the table, which is never past its end: only numbers
// below 1000 start past their own entry.
inline char* write_below_ten_thousand(char* at, uint32_t value) {
  const uint32_t digits =
      1 + (value >= 10 ? 1 : 0) + (value >= 100 ? 1 : 0) + (value >= 1000 ? 1 : 0);
  std::memcpy(at, FOUR_DIGIT_TEXTS.data() + 4 * value + (4 - digits), 4);
  return at + digits;
}

}  // namespace detail

// Writes `value` as write_decimal does, at less cost for numbers below 10^4 (columns,
// parents), with the same room.
inline char* write_short_decimal(char* at, uint32_t value) {
  if (value < 10000) [[likely]] {
    return detail::write_below_ten_thousand(at, value);
  }
  return write_decimal(at, value);
}

// Writes many numbers as write_decimal does, for a writer whose numbers share their
// leading digits from one to the next (the offsets of one text): the digits above the last
// four are kept from the number before, with the multiple of 10^4 they stand for, so a
// number within the same ten thousand costs a subtraction, a comparison and two copies.
// `at` has room for MAX_DECIMAL_DIGITS_32 characters, all of which may be overwritten.
//
// Its state is three scalars and every member is inline, so that a writer that is a local
// of a loop can live in registers.
class DecimalWriter {
 public:
  [[gnu::always_inline]] char* write(char* at, uint32_t value) {
    // Below the kept base the difference wraps around to 2^32 - 10^9 or more.
    if (value - base_ < FOUR_DIGITS) [[likely]] {
      return write_kept(at, value - base_);
    }
    return write_anew(at, value);
  }

 private:
  static constexpr uint32_t FOUR_DIGITS = 10000;
  // The digits above the last four are kept for numbers below 10^9: up to five of them.
  static constexpr uint32_t KEPT_HIGH_LIMIT = 100000;

  // A number outside the kept ten thousand: below 10^4 it is written on its own, and
  // otherwise its digits above the last four are kept from now on.
  [[gnu::always_inline]] char* write_anew(char* at, uint32_t value) {
    // Asked before dividing: short numbers come often, from short texts.
    if (value < FOUR_DIGITS) return detail::write_below_ten_thousand(at, value);
    const uint32_t high = value / FOUR_DIGITS;
    // Ten digits: the rare numbers of texts of a gigabyte and more.
    if (high >= KEPT_HIGH_LIMIT) [[unlikely]] {
      return write_decimal(at, value);
    }
    base_ = high * FOUR_DIGITS;
    high_size_ = static_cast<uint32_t>(decimal_digits(high));
    // The digits of `high`, the first lowest, laid out as the bytes of the kept word.
    const uint64_t digits = detail::eight_digit_word(high) >> (8 * (8 - high_size_));
    std::array<char, sizeof(uint64_t)> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<char>(digits >> (8 * i));
    }
    std::memcpy(&high_bytes_, bytes.data(), bytes.size());
    return write_kept(at, value - base_);
  }

  // The kept digits, then the four digits of `low`: all eight bytes of the kept word are
  // stored, the four after the kept digits written over the rest.
  char* write_kept(char* at, uint32_t low) const {
    std::memcpy(at, &high_bytes_, sizeof high_bytes_);
    at += high_size_;
    std::memcpy(at, detail::FOUR_DIGIT_TEXTS.data() + std::size_t{4} * low, 4);
    return at + 4;
  }

  // The kept digits stand for a multiple of 10^4 from 10^4 to below 10^9; the first is 10^4
  // itself, written "1". Numbers below 10^4 never use them.
  uint32_t base_ = FOUR_DIGITS;
  uint32_t high_size_ = 1;
  // The kept digits as the bytes of a word in memory order, padded with zeros.
  uint64_t high_bytes_ = [] {
    uint64_t one = 0;
    std::memcpy(&one, "1\0\0\0\0\0\0", sizeof one);
    return one;
  }();
};

// Writes one JSON value element by element into a borrowed string. Commas are placed by
// the writer; nesting is the caller's to balance.
class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}

  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  // The next member's key; its value follows with one of the value calls.
  void key(std::string_view name);

  void string_value(std::string_view text);
  void unsigned_value(uint64_t value);
  void signed_value(int64_t value);
  void bool_value(bool value);
  void null_value();
  void double_value(double value);
  // A small value printed by the library itself. Never pass a deep tree: the library's
  // printer recurses once per level.
  void json_value(const nlohmann::json& value);

  // Already formed JSON text, for writers that format their hot objects themselves: a
  // complete value (a comma goes before it when needed), the opening of a value whose
  // members or elements follow, or the closing of one.
  void raw_value(std::string_view json) {
    separate();
    out_.append(json);
    need_comma_ = true;
  }
  void raw_open(std::string_view json) {
    separate();
    out_.append(json);
    need_comma_ = false;
  }
  void raw_close(std::string_view json) {
    out_.append(json);
    need_comma_ = true;
  }

  // Shorthands for one member.
  void member(std::string_view name, std::string_view text) {
    key(name);
    string_value(text);
  }
  void member(std::string_view name, uint64_t value) {
    key(name);
    unsigned_value(value);
  }

  [[nodiscard]] std::string& out() { return out_; }

 private:
  void separate() {
    if (need_comma_) out_.push_back(',');
  }
  void open(char bracket) {
    separate();
    out_.push_back(bracket);
    need_comma_ = false;
  }
  void close(char bracket) {
    out_.push_back(bracket);
    need_comma_ = true;
  }

  std::string& out_;
  bool need_comma_ = false;
};

}  // namespace veltrane::syntax
