#pragma once
// Test support: running a body on a thread with a 1 MiB stack, the stack a host thread
// may have and the one the grammar and the tree walks must live within, so that a rule
// or a walk that recursed per nesting level would overflow it.

#include <pthread.h>

#include <cstddef>
#include <functional>

namespace veltrane::test_support {

// Runs `body` on a new thread with a 1 MiB stack and waits for it. Returns false, without
// running the body, when the thread could not be set up or started.
[[nodiscard]] inline bool run_on_small_stack(const std::function<void()>& body) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  if (pthread_attr_setstacksize(&attributes, std::size_t{1} << 20) != 0) {
    pthread_attr_destroy(&attributes);
    return false;
  }
  const auto entry = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  pthread_t thread;
  const int started =
      pthread_create(&thread, &attributes, entry, const_cast<std::function<void()>*>(&body));
  pthread_attr_destroy(&attributes);
  if (started != 0) return false;
  pthread_join(thread, nullptr);
  return true;
}

}  // namespace veltrane::test_support
