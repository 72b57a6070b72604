#include "resolve/name_table.hpp"

#include "syntax/stop.hpp"

namespace veltrane::resolve {

namespace {

constexpr std::size_t FIRST_SLOT_COUNT = 64;

uint32_t short_hash(std::string_view name) {
  const uint64_t hash = hash_name(name);
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

std::string_view NameTable::text_of(uint32_t number) const {
  const uint32_t start = number == 0 ? 0 : ends_[number - 1];
  return std::string_view(texts_).substr(start, ends_[number] - start);
}

std::size_t NameTable::slot_of(std::string_view name, uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  while (slots_[slot] != 0) {
    const uint32_t number = slots_[slot] - 1;
    if (hashes_[number] == hash && text_of(number) == name) return slot;
    slot = (slot + 1) & mask;
  }
  return slot;
}

uint32_t NameTable::find(std::string_view name) const {
  if (slots_.empty()) return NONE;
  const std::size_t slot = slot_of(name, short_hash(name));
  return slots_[slot] == 0 ? NONE : slots_[slot] - 1;
}

uint32_t NameTable::intern(std::string_view name) {
  // At most half the slots are taken, so a probe always ends at a free slot.
  if ((ends_.size() + 1) * 2 > slots_.size()) grow();
  const uint32_t hash = short_hash(name);
  const std::size_t slot = slot_of(name, hash);
  if (slots_[slot] != 0) return slots_[slot] - 1;
  if (texts_.size() + name.size() >= NONE || ends_.size() + 1 >= NONE) {
    syntax::stop("too many names for one walk");
  }
  const auto number = static_cast<uint32_t>(ends_.size());
  texts_ += name;
  ends_.push_back(static_cast<uint32_t>(texts_.size()));
  hashes_.push_back(hash);
  slots_[slot] = number + 1;
  return number;
}

void NameTable::grow() {
  const std::size_t count = slots_.empty() ? FIRST_SLOT_COUNT : slots_.size() * 2;
  slots_.assign(count, 0);
  const std::size_t mask = count - 1;
  for (uint32_t number = 0; number < ends_.size(); ++number) {
    std::size_t slot = hashes_[number] & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = number + 1;
  }
}

}  // namespace veltrane::resolve
