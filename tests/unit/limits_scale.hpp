#pragma once
// Test support: whether this build runs the limit tests at their full sizes. Optimised
// builds do; unoptimised and sanitizer builds (the debug and asan-ubsan runs of CI) run a
// share of them, still far past what recursion could hold on 1 MiB with their larger
// frames, so that the tests stay within CI's time. VELTRANE_LIMITS_REDUCED is defined in
// the reduced builds, for tests that drop a case there altogether.

#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
#define VELTRANE_LIMITS_REDUCED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTRANE_LIMITS_REDUCED 1
#endif
#endif

namespace veltrane::test_support {

#ifdef VELTRANE_LIMITS_REDUCED
inline constexpr bool LIMITS_REDUCED = true;
#else
inline constexpr bool LIMITS_REDUCED = false;
#endif

}  // namespace veltrane::test_support
