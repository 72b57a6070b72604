#include "api/huge_pages.hpp"

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace veltrane::api {

namespace {

constexpr std::uintptr_t HUGE_PAGE = std::uintptr_t{2} * 1024 * 1024;

}  // namespace

void advise_huge_pages(std::string& buffer) {
  if (buffer.capacity() < 2 * HUGE_PAGE) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
  const std::uintptr_t end = begin + buffer.capacity();
  const std::uintptr_t aligned_begin = (begin + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
  const std::uintptr_t aligned_end = end & ~(HUGE_PAGE - 1);
  if (aligned_end <= aligned_begin) return;
  (void)::madvise(reinterpret_cast<void*>(aligned_begin), aligned_end - aligned_begin,
                  MADV_HUGEPAGE);
}

}  // namespace veltrane::api
