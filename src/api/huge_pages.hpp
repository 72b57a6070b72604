#pragma once

// Large result buffers on huge pages. A result runs to tens of megabytes, written once
// from start to end: on 4 KiB pages that is tens of thousands of page faults, a good part
// of the analysis time. Where the kernel backs memory with huge pages on request
// (transparent huge pages in "madvise" mode) the hint makes them a few dozen.

#include <string>

namespace veltrane::api {

// Asks for huge pages under the 2 MiB-aligned part of `buffer`'s reserved room. Only a
// hint: when it is refused or not needed, nothing changes.
void advise_huge_pages(std::string& buffer);

}  // namespace veltrane::api
