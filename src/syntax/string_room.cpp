#include "syntax/string_room.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace veltrane::syntax {

void map_for_writing(void* start, std::size_t size) {
#if defined(__linux__)
  // Linux 5.14 and later fault in writable pages for a range; older kernels refuse the
  // request with EINVAL, which is ignored like any other refusal.
#if defined(MADV_POPULATE_WRITE)
  constexpr int POPULATE_WRITE = MADV_POPULATE_WRITE;
#else
  constexpr int POPULATE_WRITE = 23;  // C library headers older than the kernel
#endif
  const long page_size = sysconf(_SC_PAGESIZE);
  if (page_size <= 0 || size == 0) return;
  const auto page = static_cast<std::uintptr_t>(page_size);
  // Only whole pages: the range madvise takes must start on a page, and the partly used
  // pages at either end are mapped already or soon will be.
  const auto begin = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t first = (begin + page - 1) / page * page;
  const std::uintptr_t last = (begin + size) / page * page;
  if (first >= last) return;
  (void)madvise(reinterpret_cast<void*>(first), last - first, POPULATE_WRITE);
#else
  (void)start;
  (void)size;
#endif
}

}  // namespace veltrane::syntax
