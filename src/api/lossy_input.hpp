#pragma once

// Input bytes as UTF-8 text for the C functions: valid UTF-8 is used in place, anything
// else is decoded into a copy, one U+FFFD per maximal ill-formed subsequence. The decoded
// length is measured before the copy is allocated, so that an input whose decoding would
// pass the size limit is refused without the copy.

#include <cstdint>
#include <string>
#include <string_view>

namespace veltrane::api {

// The length of `bytes` once decoded lossily (each ill-formed subsequence becomes the
// three bytes of U+FFFD).
[[nodiscard]] uint64_t lossy_decoded_length(std::string_view bytes);

// The lossy decoding of `bytes`, allocated once at `decoded_length` bytes (the value of
// lossy_decoded_length).
[[nodiscard]] std::string decode_lossy(std::string_view bytes, uint64_t decoded_length);

// The number of LF bytes: the same in the bytes and in their decoding, since no ASCII byte
// is ever part of an ill-formed subsequence.
[[nodiscard]] uint64_t count_line_feeds(std::string_view bytes);

}  // namespace veltrane::api
