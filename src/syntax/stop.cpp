#include "syntax/stop.hpp"

namespace veltrane::syntax {

[[noreturn]] void stop(std::string_view message) { throw InternalStop{std::string(message)}; }

}  // namespace veltrane::syntax
