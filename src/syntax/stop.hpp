#pragma once

// The one way to report a broken internal invariant. Never used for bad input: input
// problems are diagnostics.

#include <string>
#include <string_view>

namespace veltrane::syntax {

// Thrown by `stop`. Deliberately not derived from std::exception, so that a face's
// `catch (const std::exception&)` cannot swallow it; only the faces catch it, and they
// turn it into an abort or a Python PanicException.
struct InternalStop {
  std::string message;
};

// Throws InternalStop with `message`, in every build type. Functions that can reach it
// must not be noexcept.
[[noreturn]] void stop(std::string_view message);

}  // namespace veltrane::syntax
