#include "syntax/string_room.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace veltrane::syntax {

void map_room(std::string& out) {
#if defined(__linux__)
  // Linux 5.14 and later fault in writable pages for a range; older kernels refuse the
  // request with EINVAL, which is ignored like any other refusal.
#if defined(MADV_POPULATE_WRITE)
  constexpr int POPULATE_WRITE = MADV_POPULATE_WRITE;
#else
  constexpr int POPULATE_WRITE = 23;  // C library headers older than the kernel
#endif
  const long page_size = sysconf(_SC_PAGESIZE);
  if (page_size <= 0) return;
  const auto page = static_cast<std::uintptr_t>(page_size);
  // The whole pages after the text: the page the text ends in is mapped already, and the
  // range madvise takes must start on a page.
  const auto room_start = reinterpret_cast<std::uintptr_t>(out.data() + out.size());
  const auto room_end = reinterpret_cast<std::uintptr_t>(out.data() + out.capacity());
  const std::uintptr_t first = (room_start + page - 1) / page * page;
  if (first >= room_end) return;
  (void)madvise(reinterpret_cast<void*>(first), room_end - first, POPULATE_WRITE);
#else
  (void)out;
#endif
}

}  // namespace veltrane::syntax
