#include "syntax/face_guard.hpp"

#include <exception>
#include <new>

namespace veltrane::syntax {

FaceFailure current_face_failure() noexcept {
  try {
    throw;
  } catch (const InternalStop& stopped) {
    return {FaceFailureKind::Stop,
            stopped.message.empty() ? STOP_WITHOUT_MESSAGE : std::string_view(stopped.message),
            {}};
  } catch (const std::bad_alloc&) {
    return {FaceFailureKind::OutOfMemory, OUT_OF_MEMORY, {}};
  } catch (const std::exception& error) {
    const char* what = error.what();
    return {FaceFailureKind::Unexpected, UNEXPECTED_EXCEPTION,
            what == nullptr ? std::string_view() : std::string_view(what)};
  } catch (...) {
    return {FaceFailureKind::Unexpected, UNEXPECTED_EXCEPTION, {}};
  }
}

}  // namespace veltrane::syntax
