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

// Maps the fresh room of a growing output ahead of its writer, a step at a time: the room
// reserved from an upper bound can be much larger than what is written, and mapping all of it
// would cost the pages that are never written. Memory the output held before (a reused
// buffer) is resident and is left alone; a buffer that the output moves to when it grows is
// fresh after the text copied into it.
class RoomMapper {
 public:
  // The room that is mapped beyond what the next write asks for, so that a run of small
  // writes needs few requests. Short: room mapped and never written costs as much as room
  // written, and a new buffer is often far larger than its first text.
  static constexpr std::size_t STEP = std::size_t{256} * 1024;

  // `fresh`: the room after the text of `out` has never been written.
  RoomMapper(std::string& out, bool fresh)
      : out_(out), data_(out.data()), mapped_(fresh ? out.size() : out.capacity()) {}

  // Maps the room for the next `size` bytes after the text (within the capacity) where it
  // is not mapped yet, and a step more.
  void ahead(std::size_t size) {
    if (out_.data() != data_) {
      data_ = out_.data();
      mapped_ = out_.size();
    }
    const std::size_t capacity = out_.capacity();
    const std::size_t wanted = std::min(capacity, out_.size() + size);
    if (wanted <= mapped_) return;
    const std::size_t until = std::min(capacity, wanted + STEP);
    map_for_writing(data_ + mapped_, until - mapped_);
    mapped_ = until;
  }

 private:
  std::string& out_;
  char* data_;
  std::size_t mapped_;  // the room before this offset is mapped
};

}  // namespace veltrane::syntax
