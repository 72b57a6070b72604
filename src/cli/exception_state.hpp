#pragma once

// The C++ runtime keeps a per-thread record of the exceptions in flight. For a library
// loaded after start-up (the Python module and what it brings in), the C library makes a
// thread's share of that record on its first use, which is the first exception thrown on
// the thread, and ends the process ("cannot allocate memory for thread-local data") when
// it cannot: that first exception may well be the std::bad_alloc of an exhausted
// allocator. Touching the record before a face's work makes it while memory is there.

#include <exception>

namespace veltrane::cli {

inline void prime_exception_state() noexcept { (void)std::uncaught_exceptions(); }

}  // namespace veltrane::cli
