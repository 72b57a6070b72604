#include "resolve/name_table.hpp"

#include "syntax/stop.hpp"

namespace veltrane::resolve {

namespace {

constexpr std::size_t FIRST_SLOT_COUNT = 64;

}  // namespace

uint32_t NameTable::intern(std::string_view name) {
  if ((ends_.size() + 1) * 2 > slots_.size()) grow();
  const uint32_t hash = short_hash(name);
  Slot& slot = slots_[slot_of(name, hash)];
  if (slot.number_plus_one != 0) return slot.number_plus_one - 1;
  if (texts_.size() + name.size() >= NONE || ends_.size() + 1 >= NONE) {
    syntax::stop("too many names for one name table");
  }
  const auto number = static_cast<uint32_t>(ends_.size());
  texts_ += name;
  ends_.push_back(static_cast<uint32_t>(texts_.size()));
  slot = Slot{hash, number + 1};
  return number;
}

void NameTable::grow() {
  const std::size_t count = slots_.empty() ? FIRST_SLOT_COUNT : slots_.size() * 2;
  std::vector<Slot> old(count, Slot{0, 0});
  old.swap(slots_);
  const std::size_t mask = count - 1;
  for (const Slot& slot : old) {
    if (slot.number_plus_one == 0) continue;
    std::size_t index = slot.hash & mask;
    while (slots_[index].number_plus_one != 0) index = (index + 1) & mask;
    slots_[index] = slot;
  }
}

}  // namespace veltrane::resolve
