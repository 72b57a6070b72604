#include "api/lossy_input.hpp"

#include <cstring>

#include "syntax/unicode.hpp"

namespace veltrane::api {

namespace {

// Calls `on_run(start, length)` for each well-formed run and `on_bad()` for each
// ill-formed subsequence, in order.
template <class OnRun, class OnBad>
void scan_lossy(std::string_view bytes, OnRun on_run, OnBad on_bad) {
  std::size_t i = 0;
  std::size_t run_start = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const syntax::DecodedChar decoded = syntax::decode_utf8(bytes, i);
    if (decoded.code_point >= 0) {
      i += decoded.length;
      continue;
    }
    if (i > run_start) on_run(run_start, i - run_start);
    on_bad();
    i += syntax::ill_formed_length(bytes, i);
    run_start = i;
  }
  if (bytes.size() > run_start) on_run(run_start, bytes.size() - run_start);
}

}  // namespace

uint64_t lossy_decoded_length(std::string_view bytes) {
  uint64_t length = 0;
  scan_lossy(
      bytes, [&](std::size_t, std::size_t run_length) { length += run_length; },
      [&] { length += syntax::REPLACEMENT_CHARACTER.size(); });
  return length;
}

std::string decode_lossy(std::string_view bytes, uint64_t decoded_length) {
  std::string text;
  text.reserve(static_cast<std::size_t>(decoded_length));
  scan_lossy(
      bytes,
      [&](std::size_t start, std::size_t run_length) { text.append(bytes, start, run_length); },
      [&] { text.append(syntax::REPLACEMENT_CHARACTER); });
  return text;
}

uint64_t count_line_feeds(std::string_view bytes) {
  uint64_t count = 0;
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  while (at < end) {
    const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    if (found == nullptr) break;
    ++count;
    at = static_cast<const char*>(found) + 1;
  }
  return count;
}

}  // namespace veltrane::api
