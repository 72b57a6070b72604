#include "syntax/lossy_utf8.hpp"

#include <array>
#include <cstdint>
#include <cstring>

#include "syntax/unicode.hpp"

namespace veltrane::syntax {

std::string lossy_utf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  std::size_t i = 0;
  std::size_t clean_start = 0;  // start of the well-formed run not yet copied
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const DecodedChar decoded = decode_utf8(bytes, i);
    if (decoded.code_point >= 0) {
      i += decoded.length;
      continue;
    }
    const uint32_t bad_length = ill_formed_length(bytes, i);
    text.append(bytes.substr(clean_start, i - clean_start));
    text.append(REPLACEMENT_CHARACTER);
    i += bad_length;
    clean_start = i;
  }
  text.append(bytes.substr(clean_start));
  return text;
}

bool is_valid_utf8(std::string_view bytes) {
  // Thirty-two and then eight bytes at a time while they are all ASCII, the common case
  // of a script.
  constexpr uint64_t HIGH_BITS = 0x8080808080808080u;
  for (std::size_t i = 0; i < bytes.size();) {
    if (i + 32 <= bytes.size()) {
      std::array<uint64_t, 4> words{};
      std::memcpy(words.data(), bytes.data() + i, sizeof words);
      if (((words[0] | words[1] | words[2] | words[3]) & HIGH_BITS) == 0) {
        i += 32;
        continue;
      }
    }
    if (i + 8 <= bytes.size()) {
      uint64_t word = 0;
      std::memcpy(&word, bytes.data() + i, sizeof word);
      if ((word & HIGH_BITS) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const DecodedChar decoded = decode_utf8(bytes, i);
    if (decoded.code_point < 0) return false;
    i += decoded.length;
  }
  return true;
}

}  // namespace veltrane::syntax
