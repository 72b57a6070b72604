#include "syntax/deferred_head.hpp"

#include <algorithm>
#include <cstring>

namespace veltrane::syntax {

DeferredHead::DeferredHead(std::string& out, std::size_t room)
    : out_(out), position_(out.size()), room_end_(out.size() + room) {
  out_.append(room, ' ');
}

void DeferredHead::write(std::string_view piece) {
  const std::size_t fits = std::min(piece.size(), room_end_ - position_);
  if (fits > 0) std::memcpy(out_.data() + position_, piece.data(), fits);
  position_ += fits;
  if (fits < piece.size()) {
    out_.insert(room_end_, piece.substr(fits));
    room_end_ += piece.size() - fits;
    position_ = room_end_;
  }
}

void DeferredHead::close() {
  out_.erase(position_, room_end_ - position_);
  room_end_ = position_;
}

}  // namespace veltrane::syntax
