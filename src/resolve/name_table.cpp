#include "resolve/name_table.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "syntax/stop.hpp"

namespace veltrane::resolve {

namespace {

constexpr std::size_t FIRST_SLOT_COUNT = 64;
// The length of a block of name texts; a longer name gets a block of its own length.
constexpr std::size_t TEXT_BLOCK = 4096;

}  // namespace

NameTable::NameTable(const NameTable& other) {
  for (const std::string_view name : other.texts_) intern(name);
}

NameTable& NameTable::operator=(const NameTable& other) {
  if (this != &other) *this = NameTable(other);
  return *this;
}

NameTable::NameTable(NameTable&& other) noexcept { *this = std::move(other); }

NameTable& NameTable::operator=(NameTable&& other) noexcept {
  if (this == &other) return *this;
  // The free rest of the last block goes with the blocks: the table moved from must not
  // write there any more.
  blocks_ = std::move(other.blocks_);
  block_free_ = std::exchange(other.block_free_, nullptr);
  block_room_ = std::exchange(other.block_room_, 0);
  texts_ = std::move(other.texts_);
  slots_ = std::move(other.slots_);
  other.blocks_.clear();
  other.texts_.clear();
  other.slots_.clear();
  return *this;
}

uint32_t NameTable::intern(std::string_view name) { return add(name, hash_of(name), true); }

uint32_t NameTable::intern_lasting(std::string_view name, uint32_t hash) {
  return add(name, hash, false);
}

uint32_t NameTable::add(std::string_view name, uint32_t hash, bool copy) {
  if ((texts_.size() + 1) * 2 > slots_.size()) {
    grow(slots_.empty() ? FIRST_SLOT_COUNT : slots_.size() * 2);
  }
  Slot& slot = slots_[slot_of(name, hash)];
  if (slot.number_plus_one != 0) return slot.number_plus_one - 1;
  if (name.size() >= NONE || texts_.size() + 1 >= NONE) {
    syntax::stop("too many names for one name table");
  }
  const auto number = static_cast<uint32_t>(texts_.size());
  if (copy) {
    char* room = text_room(name.size());
    if (!name.empty()) std::memcpy(room, name.data(), name.size());
    name = std::string_view(room, name.size());
  }
  texts_.push_back(name);
  slot = Slot{hash, number + 1};
  return number;
}

void NameTable::reserve(std::size_t count) {
  texts_.reserve(count);
  std::size_t slots = FIRST_SLOT_COUNT;
  while (slots < count * 2 + 2) slots *= 2;
  if (slots > slots_.size()) grow(slots);
}

void NameTable::add_block(std::size_t size) {
  const std::size_t length = std::max(size, TEXT_BLOCK);
  blocks_.push_back(std::make_unique_for_overwrite<char[]>(length));
  block_free_ = blocks_.back().get();
  block_room_ = length;
}

void NameTable::grow(std::size_t count) {
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
