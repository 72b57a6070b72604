#pragma once

// A head written after what follows it. Some outputs begin with members known only once
// their items are written (counts, highlighting rows); rather than build the items apart
// and copy them behind the head, the items go after room kept for the head, and the head
// is written into that room at the end.

#include <cstddef>
#include <string>
#include <string_view>

namespace veltrane::syntax {

class DeferredHead {
 public:
  // Keeps `room` bytes at the end of `out` for the head; what is appended to `out` next
  // follows the head. The room may be a guess: a head that outgrows it is still written
  // whole, and the part it leaves unused is removed. `out` must outlive the head.
  DeferredHead(std::string& out, std::size_t room);
  DeferredHead(const DeferredHead&) = delete;
  DeferredHead& operator=(const DeferredHead&) = delete;

  // Writes the next piece of the head into its room; a piece that does not fit widens the
  // room, moving what follows it.
  void write(std::string_view piece);

  // Ends the head: removes the room left unused, moving what follows it. Call it once,
  // after the last piece.
  void close();

 private:
  std::string& out_;
  std::size_t position_;  // where the next piece goes
  std::size_t room_end_;  // where what follows the head starts
};

}  // namespace veltrane::syntax
