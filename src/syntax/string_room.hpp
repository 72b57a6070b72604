#pragma once

// Room in a growing output text. A reallocation copies what is there, and during the copy
// both buffers are resident: an output of hundreds of megabytes that doubles its way up
// holds up to twice its size for a moment. Making room for what is known to come avoids
// most of those copies.

#include <algorithm>
#include <cstddef>
#include <string>

namespace veltrane::syntax {

// Makes room for `more` bytes after the text at once, growing by at least half of what is
// there when it grows at all.
inline void reserve_more(std::string& out, std::size_t more) {
  const std::size_t needed = out.size() + more;
  if (needed <= out.capacity()) return;
  out.reserve(std::max(needed, out.capacity() + out.capacity() / 2));
}

}  // namespace veltrane::syntax
