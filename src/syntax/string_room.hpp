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

// Asks the system to map the whole room after the text of a newly reserved `out` at once.
// The first write to each page of fresh memory otherwise stops for a page fault of its own,
// and a result of a hundred megabytes has tens of thousands of them. Only a hint: where the
// system cannot do it, nothing happens and the pages come one fault at a time.
void map_room(std::string& out);

}  // namespace veltrane::syntax
