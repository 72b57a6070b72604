#pragma once

// The one guard every face runs its body under: the executable, the fuzz harnesses, the
// Python functions, the C functions and each server connection thread. Whatever escapes
// the body becomes that face's failure, so no exception ever leaves a face:
//
//   - the internal stop (a broken invariant) with its message,
//   - std::bad_alloc as "out of memory",
//   - anything else with a fixed line (and, for a std::exception, its `what()` text).
//
// The guard itself allocates nothing: a failure's texts view the exception in flight or
// fixed texts, and are valid only while the face's failure handler runs.
//
// The C++ runtime keeps a per-thread record of the exceptions in flight. For a library
// loaded after start-up (the Python module and what it brings in), the C library makes a
// thread's share of that record on its first use, which is the first exception thrown on
// the thread, and ends the process ("cannot allocate memory for thread-local data") when
// it cannot: that first exception may well be the std::bad_alloc of an exhausted
// allocator. So the guard touches the record before the body runs, while memory is there.

#include <cstdint>
#include <exception>
#include <string_view>
#include <type_traits>
#include <utility>

#include "syntax/stop.hpp"

namespace veltrane::syntax {

enum class FaceFailureKind : uint8_t {
  // The internal stop: a broken invariant.
  Stop = 0,
  // std::bad_alloc: the allocator gave up.
  OutOfMemory = 1,
  // Any other exception.
  Unexpected = 2,
};

// The message of a stop that carries none.
inline constexpr std::string_view STOP_WITHOUT_MESSAGE = "internal error without a message";
// The message of an out-of-memory failure.
inline constexpr std::string_view OUT_OF_MEMORY = "out of memory";
// The message of any other escaping exception.
inline constexpr std::string_view UNEXPECTED_EXCEPTION = "unexpected exception";

// What escaped a face's body. Both texts are borrowed (see above).
struct FaceFailure {
  FaceFailureKind kind = FaceFailureKind::Unexpected;
  // The stop's message (STOP_WITHOUT_MESSAGE when it has none), OUT_OF_MEMORY, or
  // UNEXPECTED_EXCEPTION.
  std::string_view message;
  // For an unexpected std::exception, its `what()` text; empty otherwise.
  std::string_view detail;
};

// Classifies the exception in flight. Call only inside a catch block: the texts view the
// exception object, which lives until that catch block ends.
[[nodiscard]] FaceFailure current_face_failure() noexcept;

// Makes the calling thread's exception record, if it has none yet (see above).
inline void prime_exception_state() noexcept { (void)std::uncaught_exceptions(); }

// Runs `body()` and returns its result; when anything escapes it, returns
// `on_failure(const FaceFailure&)` instead, which must give the body's result type. An
// exception thrown by `on_failure` itself ends the process (the guard is noexcept).
template <class Body, class OnFailure>
std::invoke_result_t<Body&> guard_face(Body&& body, OnFailure&& on_failure) noexcept {
  prime_exception_state();
  try {
    return body();
  } catch (...) {
    return std::forward<OnFailure>(on_failure)(current_face_failure());
  }
}

}  // namespace veltrane::syntax
