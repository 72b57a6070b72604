// The four C functions: alloc, dealloc, analyze and result_len. Each is noexcept and runs
// its body under the face guard: a broken invariant, an exhausted allocator or anything
// else that escapes prints one line on standard error and aborts, so no exception ever
// reaches the host.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "api/analyze_json.hpp"
#include "api/lossy_input.hpp"
#include "syntax/face_guard.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/write_all.hpp"
#include "veltrane/veltrane.h"

namespace veltrane::api {

namespace {

// The per-thread result slot, in two parts. The state is trivially destructible, so it
// can still be read after the thread's destructors ran; the holder owns the text and is
// made on a thread's first `analyze` or `result_len`, which registers its destructor
// with the thread's exit.
enum class SlotState : uint8_t { Fresh, Live, Destroyed };

thread_local SlotState slot_state = SlotState::Fresh;

struct SlotHolder {
  std::string text;

  SlotHolder() = default;
  SlotHolder(const SlotHolder&) = delete;
  SlotHolder& operator=(const SlotHolder&) = delete;
  ~SlotHolder() { slot_state = SlotState::Destroyed; }
};

// "veltrane: {function}: {message}[: {detail}]" on standard error, then the end.
[[noreturn]] void fail(std::string_view function, std::string_view message,
                       std::string_view detail = {}) {
  syntax::write_failure_line(
      {"veltrane: ", function, ": ", message, detail.empty() ? "" : ": ", detail, "\n"});
  std::abort();
}

// The calling thread's holder; never touched once the state says it was destroyed.
SlotHolder& live_slot(std::string_view function) {
  if (slot_state == SlotState::Destroyed) {
    fail(function, "called after this thread's result slot was freed at thread exit");
  }
  thread_local SlotHolder holder;
  slot_state = SlotState::Live;
  return holder;
}

// A byte buffer of the host as text; a length of 0 reads nothing.
[[nodiscard]] std::string_view host_bytes(const uint8_t* data, std::size_t length) {
  if (length == 0) return {};
  return {reinterpret_cast<const char*>(data), length};
}

// The options as UTF-8 text: in place when valid, else in `copy`.
[[nodiscard]] std::string_view options_text(std::string_view bytes, std::string& copy) {
  if (syntax::is_valid_utf8(bytes)) return bytes;
  copy = decode_lossy(bytes, lossy_decoded_length(bytes));
  return copy;
}

// Writes the analysis of the host's bytes over `out`.
void write_analysis(std::string_view sql_bytes, std::string_view options, std::string& out) {
  // Refused before anything is read but the line feeds.
  if (sql_bytes.size() >= syntax::MAX_TEXT_BYTES) {
    out = too_large_result_json(count_line_feeds(sql_bytes), options);
    return;
  }
  if (syntax::is_valid_utf8(sql_bytes)) {
    analyze_json_into(sql_bytes, options, out);
    return;
  }
  // Decoding can turn one byte into three: measure before allocating the copy.
  const uint64_t decoded_length = lossy_decoded_length(sql_bytes);
  if (decoded_length >= syntax::MAX_TEXT_BYTES) {
    out = too_large_result_json(count_line_feeds(sql_bytes), options);
    return;
  }
  const std::string decoded = decode_lossy(sql_bytes, decoded_length);
  analyze_json_into(decoded, options, out);
}

// True when `bytes` share a byte with the storage of `buffer`.
[[nodiscard]] bool overlaps(std::string_view bytes, const std::string& buffer) {
  if (bytes.empty()) return false;
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
  const auto end = begin + buffer.capacity();
  const auto bytes_begin = reinterpret_cast<std::uintptr_t>(bytes.data());
  return bytes_begin < end && begin < bytes_begin + bytes.size();
}

template <class Body>
auto guarded(std::string_view function, Body&& body) noexcept {
  return syntax::guard_face(std::forward<Body>(body),
                            [function](const syntax::FaceFailure& failure) -> decltype(body()) {
                              fail(function, failure.message, failure.detail);
                            });
}

}  // namespace

}  // namespace veltrane::api

extern "C" {

uint8_t* alloc(size_t n) noexcept {
  if (n > static_cast<size_t>(PTRDIFF_MAX)) {
    veltrane::api::fail("alloc", "request larger than the largest signed size");
  }
  void* buffer = std::malloc(n == 0 ? 1 : n);
  if (buffer == nullptr) veltrane::api::fail("alloc", veltrane::syntax::OUT_OF_MEMORY);
  return static_cast<uint8_t*>(buffer);
}

void dealloc(uint8_t* p) noexcept { std::free(p); }

const uint8_t* analyze(const uint8_t* sql, size_t sql_len, const uint8_t* options,
                       size_t options_len) noexcept {
  return veltrane::api::guarded("analyze", [&]() -> const uint8_t* {
    veltrane::api::SlotHolder& slot = veltrane::api::live_slot("analyze");
    const std::string_view sql_bytes = veltrane::api::host_bytes(sql, sql_len);
    const std::string_view options_bytes = veltrane::api::host_bytes(options, options_len);
    // The new result is written over the previous one, in its storage when that has room,
    // unless the host passed (part of) the previous result as input: that text is then
    // kept aside until the call ends.
    std::string previous;
    if (veltrane::api::overlaps(sql_bytes, slot.text) ||
        veltrane::api::overlaps(options_bytes, slot.text)) {
      previous.swap(slot.text);
    }
    std::string options_copy;
    const std::string_view options_view = veltrane::api::options_text(options_bytes, options_copy);
    veltrane::api::write_analysis(sql_bytes, options_view, slot.text);
    return reinterpret_cast<const uint8_t*>(slot.text.data());
  });
}

size_t result_len(void) noexcept {
  return veltrane::api::guarded(
      "result_len", []() -> size_t { return veltrane::api::live_slot("result_len").text.size(); });
}

}  // extern "C"
