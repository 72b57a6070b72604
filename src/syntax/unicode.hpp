#pragma once

// The Unicode character properties and case mapping that the lexer, identifier values and
// the quoted text form need, the ASCII-only case folding every keyword comparison uses, and
// a bounds-safe UTF-8 decoder. ASCII is answered here without ICU; only non-ASCII
// characters reach it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace veltrane::syntax {

// Unicode general categories, numbered as ICU numbers them.
enum class GeneralCategory : uint8_t {
  Cn = 0,  // unassigned
  Lu = 1,
  Ll = 2,
  Lt = 3,
  Lm = 4,
  Lo = 5,
  Mn = 6,
  Me = 7,
  Mc = 8,
  Nd = 9,
  Nl = 10,
  No = 11,
  Zs = 12,
  Zl = 13,
  Zp = 14,
  Cc = 15,
  Cf = 16,
  Co = 17,
  Cs = 18,
  Pd = 19,
  Ps = 20,
  Pe = 21,
  Pc = 22,
  Po = 23,
  Sm = 24,
  Sc = 25,
  Sk = 26,
  So = 27,
  Pi = 28,
  Pf = 29,
};

// Unicode White_Space.
[[nodiscard]] bool is_white_space(char32_t code_point);
// Unicode Alphabetic.
[[nodiscard]] bool is_alphabetic(char32_t code_point);
// General category Nd, Nl or No.
[[nodiscard]] bool is_numeric(char32_t code_point);
// Unicode Grapheme_Extend.
[[nodiscard]] bool is_grapheme_extend(char32_t code_point);
// General category. Values above U+10FFFF are Cn.
[[nodiscard]] GeneralCategory general_category(char32_t code_point);

// Full upper-case mapping of UTF-8 text with the root locale, never the process default
// ("straße" gives "STRASSE"). Pure ASCII never reaches ICU.
[[nodiscard]] std::string to_upper_full(std::string_view text);
// The same mapping appended to `sink`, which keeps what it held: a caller reusing one
// buffer pays no allocation for ASCII text.
void append_upper_full(std::string& sink, std::string_view text);

// A-Z or a-z.
[[nodiscard]] constexpr bool is_ascii_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A-Z for a-z; every other byte as it is.
[[nodiscard]] constexpr char ascii_upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// A copy of `text` with only a-z upper-cased ("äpp" gives "äPP").
[[nodiscard]] inline std::string ascii_upper_copy(std::string_view text) {
  std::string upper(text);
  for (char& byte : upper) byte = ascii_upper(byte);
  return upper;
}

// True when `text` with only a-z folded equals `upper_word` (upper case) byte for byte;
// the lengths must be equal.
[[nodiscard]] constexpr bool equals_word(std::string_view text, std::string_view upper_word) {
  if (text.size() != upper_word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (ascii_upper(text[i]) != upper_word[i]) return false;
  }
  return true;
}

// True when `a` and `b` are equal with only A-Z and a-z folded together; the lengths
// must be equal.
[[nodiscard]] constexpr bool equals_ascii_folded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
  }
  return true;
}

// One decoded character: a code point, or a negative number when the bytes at the offset
// are ill-formed UTF-8; `length` is the number of bytes read, 1 when ill-formed.
struct DecodedChar {
  int32_t code_point;
  uint32_t length;
};

// True for a UTF-8 continuation byte (10xxxxxx): no character starts there.
[[nodiscard]] constexpr bool is_continuation_byte(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// `text` without the Unicode White_Space characters (tab to CR, space, NEL, NBSP, U+3000 ...)
// at either end; a view into `text`. Ill-formed bytes are not white space, and a white space
// character ends the text only when its bytes do: a stray continuation byte after it stays.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

// U+FFFD in UTF-8: what stands for one maximal ill-formed subsequence.
inline constexpr std::string_view REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";

// The length (1 to 3) of the maximal subpart of an ill-formed sequence at the offset, or 0
// when a well-formed character starts there. The offset must be below text.size().
[[nodiscard]] uint32_t ill_formed_length(std::string_view text, std::size_t offset);

namespace detail {
[[nodiscard]] DecodedChar decode_non_ascii(std::string_view text, std::size_t offset);
}

// Decodes the character at `offset` without reading past the end of `text`. The offset
// must be below text.size(); anything else is a broken invariant and stops.
[[nodiscard]] inline DecodedChar decode_utf8(std::string_view text, std::size_t offset) {
  if (offset < text.size()) {
    const auto byte = static_cast<unsigned char>(text[offset]);
    if (byte < 0x80) return DecodedChar{byte, 1};
  }
  return detail::decode_non_ascii(text, offset);
}

}  // namespace veltrane::syntax
