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

// Asks the system to map the whole pages of `size` bytes at `start` at once, for memory
// that is about to be written. The first write to each page of fresh memory otherwise stops
// for a page fault of its own, and an output of a hundred megabytes has tens of thousands of
// them. Only a hint: where the system cannot do it, nothing happens and the pages come one
// fault at a time. The bytes are left as they are.
void map_for_writing(void* start, std::size_t size);

// map_for_writing of the room after the text of `out`, for a newly reserved output.
inline void map_room(std::string& out) {
  map_for_writing(out.data() + out.size(), out.capacity() - out.size());
}

}  // namespace veltrane::syntax
