#include "syntax/unicode.hpp"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/uchar.h>
#include <unicode/utypes.h>

#include <array>
#include <cstring>

#include "syntax/stop.hpp"

namespace veltrane::syntax {

namespace {

static_assert(static_cast<int>(GeneralCategory::Cn) == U_UNASSIGNED);
static_assert(static_cast<int>(GeneralCategory::Lu) == U_UPPERCASE_LETTER);
static_assert(static_cast<int>(GeneralCategory::Mn) == U_NON_SPACING_MARK);
static_assert(static_cast<int>(GeneralCategory::Nd) == U_DECIMAL_DIGIT_NUMBER);
static_assert(static_cast<int>(GeneralCategory::Nl) == U_LETTER_NUMBER);
static_assert(static_cast<int>(GeneralCategory::No) == U_OTHER_NUMBER);
static_assert(static_cast<int>(GeneralCategory::Zs) == U_SPACE_SEPARATOR);
static_assert(static_cast<int>(GeneralCategory::Zl) == U_LINE_SEPARATOR);
static_assert(static_cast<int>(GeneralCategory::Zp) == U_PARAGRAPH_SEPARATOR);
static_assert(static_cast<int>(GeneralCategory::Cc) == U_CONTROL_CHAR);
static_assert(static_cast<int>(GeneralCategory::Cf) == U_FORMAT_CHAR);
static_assert(static_cast<int>(GeneralCategory::Co) == U_PRIVATE_USE_CHAR);
static_assert(static_cast<int>(GeneralCategory::Cs) == U_SURROGATE);
static_assert(static_cast<int>(GeneralCategory::Pd) == U_DASH_PUNCTUATION);
static_assert(static_cast<int>(GeneralCategory::Sm) == U_MATH_SYMBOL);
static_assert(static_cast<int>(GeneralCategory::So) == U_OTHER_SYMBOL);
static_assert(static_cast<int>(GeneralCategory::Pf) == U_FINAL_PUNCTUATION);
static_assert(U_CHAR_CATEGORY_COUNT == 30);

constexpr char32_t MAX_CODE_POINT = 0x10FFFF;

// General categories of ASCII, so that ASCII never reaches ICU.
constexpr std::array<GeneralCategory, 128> make_ascii_categories() {
  std::array<GeneralCategory, 128> table{};
  for (std::size_t c = 0; c < 128; ++c) {
    GeneralCategory category = GeneralCategory::Po;
    if (c < 0x20 || c == 0x7F) {
      category = GeneralCategory::Cc;
    } else if (c == ' ') {
      category = GeneralCategory::Zs;
    } else if (c >= '0' && c <= '9') {
      category = GeneralCategory::Nd;
    } else if (c >= 'A' && c <= 'Z') {
      category = GeneralCategory::Lu;
    } else if (c >= 'a' && c <= 'z') {
      category = GeneralCategory::Ll;
    } else {
      switch (c) {
        case '$':
          category = GeneralCategory::Sc;
          break;
        case '(':
        case '[':
        case '{':
          category = GeneralCategory::Ps;
          break;
        case ')':
        case ']':
        case '}':
          category = GeneralCategory::Pe;
          break;
        case '+':
        case '<':
        case '=':
        case '>':
        case '|':
        case '~':
          category = GeneralCategory::Sm;
          break;
        case '-':
          category = GeneralCategory::Pd;
          break;
        case '^':
        case '`':
          category = GeneralCategory::Sk;
          break;
        case '_':
          category = GeneralCategory::Pc;
          break;
        default:
          break;
      }
    }
    table[c] = category;
  }
  return table;
}

constexpr std::array<GeneralCategory, 128> ASCII_CATEGORIES = make_ascii_categories();

constexpr bool in_range(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

struct Decoded {
  int32_t code_point;  // negative when ill-formed
  uint32_t length;     // bytes read; for ill-formed input the maximal subpart
};

// Decodes one character at `offset`, following the well-formed byte sequences of UTF-8.
// Never reads past the end of `text`.
Decoded decode_at(std::string_view text, std::size_t offset) {
  const std::size_t remaining = text.size() - offset;
  const auto byte_at = [&](std::size_t i) { return static_cast<unsigned char>(text[offset + i]); };
  const unsigned char lead = byte_at(0);
  if (lead < 0x80) return {lead, 1};

  uint32_t needed = 0;  // continuation bytes after the lead
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  int32_t value = 0;
  if (in_range(lead, 0xC2, 0xDF)) {
    needed = 1;
    value = lead & 0x1F;
  } else if (in_range(lead, 0xE0, 0xEF)) {
    needed = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (in_range(lead, 0xF0, 0xF4)) {
    needed = 3;
    value = lead & 0x07;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    return {-1, 1};
  }

  uint32_t read = 1;
  for (uint32_t i = 1; i <= needed; ++i) {
    if (i >= remaining) return {-1, read};
    const unsigned char byte = byte_at(i);
    const bool fits = i == 1 ? in_range(byte, second_low, second_high) : in_range(byte, 0x80, 0xBF);
    if (!fits) return {-1, read};
    value = (value << 6) | (byte & 0x3F);
    ++read;
  }
  return {value, read};
}

// Full upper-case mapping by ICU, appended to `sink`.
void append_upper_with_icu(std::string& sink, std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT32_MAX)) stop("text too long for case mapping");
  sink.reserve(sink.size() + text.size() + text.size() / 4);
  icu::StringByteSink<std::string> byte_sink(&sink);
  UErrorCode error = U_ZERO_ERROR;
  // "" is the root locale; nullptr would take the process default from the environment.
  icu::CaseMap::utf8ToUpper("", 0, icu::StringPiece(text.data(), static_cast<int32_t>(text.size())),
                            byte_sink, nullptr, error);
  if (U_FAILURE(error)) stop("upper-case mapping failed");
}

}  // namespace

bool is_white_space(char32_t code_point) {
  if (code_point < 0x80) return code_point == ' ' || (code_point >= 0x09 && code_point <= 0x0D);
  if (code_point > MAX_CODE_POINT) return false;
  return u_isUWhiteSpace(static_cast<UChar32>(code_point)) != 0;
}

bool is_alphabetic(char32_t code_point) {
  if (code_point < 0x80) {
    return (code_point >= 'A' && code_point <= 'Z') || (code_point >= 'a' && code_point <= 'z');
  }
  if (code_point > MAX_CODE_POINT) return false;
  return u_isUAlphabetic(static_cast<UChar32>(code_point)) != 0;
}

bool is_numeric(char32_t code_point) {
  if (code_point < 0x80) return code_point >= '0' && code_point <= '9';
  const GeneralCategory category = general_category(code_point);
  return category == GeneralCategory::Nd || category == GeneralCategory::Nl ||
         category == GeneralCategory::No;
}

bool is_grapheme_extend(char32_t code_point) {
  if (code_point < 0x80 || code_point > MAX_CODE_POINT) return false;
  return u_hasBinaryProperty(static_cast<UChar32>(code_point), UCHAR_GRAPHEME_EXTEND) != 0;
}

GeneralCategory general_category(char32_t code_point) {
  if (code_point < 0x80) return ASCII_CATEGORIES[code_point];
  if (code_point > MAX_CODE_POINT) return GeneralCategory::Cn;
  return static_cast<GeneralCategory>(u_charType(static_cast<UChar32>(code_point)));
}

std::string to_upper_full(std::string_view text) {
  std::string upper;
  append_upper_full(upper, text);
  return upper;
}

void append_upper_full(std::string& sink, std::string_view text) {
  // ASCII is mapped while it is copied, eight bytes at a time while eight are left; the
  // first non-ASCII byte takes the whole text to ICU instead.
  constexpr uint64_t ONES = 0x0101010101010101u;
  constexpr uint64_t HIGH_BITS = ONES * 0x80;
  const std::size_t start = sink.size();
  sink.resize(start + text.size());
  char* out = sink.data() + start;
  std::size_t offset = 0;
  for (; offset + 8 <= text.size(); offset += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + offset, 8);
    if ((word & HIGH_BITS) != 0) break;
    // Below 0x80 no byte carries into the next: a byte gets its high bit from the first
    // sum when it is at least 'a', from the second when it is above 'z'.
    const uint64_t at_least_a = word + ONES * (0x80 - 'a');
    const uint64_t above_z = word + ONES * (0x80 - 'z' - 1);
    word -= ((at_least_a & ~above_z) & HIGH_BITS) >> 2;  // 0x20 off each a-z
    std::memcpy(out + offset, &word, 8);
  }
  for (; offset < text.size(); ++offset) {
    const char c = text[offset];
    if (static_cast<unsigned char>(c) >= 0x80) {
      sink.resize(start);
      append_upper_with_icu(sink, text);
      return;
    }
    out[offset] = ascii_upper(c);
  }
}

std::string_view trim_white_space(std::string_view text) {
  const auto is_white = [](DecodedChar decoded) {
    return decoded.code_point >= 0 && is_white_space(static_cast<char32_t>(decoded.code_point));
  };
  std::size_t start = 0;
  while (start < text.size()) {
    const DecodedChar decoded = decode_utf8(text, start);
    if (!is_white(decoded)) break;
    start += decoded.length;
  }
  std::size_t end = text.size();
  while (end > start) {
    // Back to the first byte of the last character.
    std::size_t last = end - 1;
    while (last > start && is_continuation_byte(text[last])) --last;
    const DecodedChar decoded = decode_utf8(text, last);
    if (last + decoded.length != end || !is_white(decoded)) break;
    end = last;
  }
  return text.substr(start, end - start);
}

uint32_t ill_formed_length(std::string_view text, std::size_t offset) {
  if (offset >= text.size()) stop("decode offset out of range");
  const Decoded decoded = decode_at(text, offset);
  return decoded.code_point < 0 ? decoded.length : 0;
}

namespace detail {

DecodedChar decode_non_ascii(std::string_view text, std::size_t offset) {
  if (offset >= text.size()) stop("decode offset out of range");
  const Decoded decoded = decode_at(text, offset);
  if (decoded.code_point < 0) return DecodedChar{-1, 1};
  return DecodedChar{decoded.code_point, decoded.length};
}

}  // namespace detail

}  // namespace veltrane::syntax
