#pragma once

// The names one walk meets, each numbered the first time it is met. The scopes keep these
// numbers, and per number the latest entry of that name, so that entering, shadowing and
// forgetting a name costs no text copy and no list of its own.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace veltrane::resolve {

// A hash of a name's bytes, eight at a time: one multiplication for a name of up to eight
// bytes, each folding its high half into its low one (tables index by the low bits).
[[nodiscard]] inline uint64_t hash_name(std::string_view name) {
  constexpr uint64_t MULTIPLIER = 0x9E3779B97F4A7C15u;
  uint64_t hash = name.size();
  std::size_t offset = 0;
  for (; offset + 8 <= name.size(); offset += 8) {
    uint64_t word = 0;
    std::memcpy(&word, name.data() + offset, 8);
    hash = (hash ^ word) * MULTIPLIER;
    hash ^= hash >> 32;
  }
  if (offset < name.size()) {
    uint64_t word = 0;
    for (std::size_t shift = 0; offset < name.size(); ++offset, shift += 8) {
      word |= static_cast<uint64_t>(static_cast<unsigned char>(name[offset])) << shift;
    }
    hash = (hash ^ word) * MULTIPLIER;
    hash ^= hash >> 32;
  }
  return hash;
}

class NameTable {
 public:
  static constexpr uint32_t NONE = 0xFFFFFFFFu;

  NameTable() = default;
  // A copy numbers the same names alike; its texts are its own.
  NameTable(const NameTable& other);
  NameTable& operator=(const NameTable& other);
  NameTable(NameTable&&) noexcept = default;
  NameTable& operator=(NameTable&&) noexcept = default;
  ~NameTable() = default;

  // The number of `name`, given to it now when it is new. Numbers count from 0 in the
  // order names are first met.
  uint32_t intern(std::string_view name);
  // The number of `name`; NONE when it was never interned. Kept here: every scope lookup
  // asks it.
  [[nodiscard]] uint32_t find(std::string_view name) const {
    if (slots_.empty()) return NONE;
    const Slot& slot = slots_[slot_of(name, short_hash(name))];
    return slot.number_plus_one == 0 ? NONE : slot.number_plus_one - 1;
  }
  [[nodiscard]] uint32_t size() const { return static_cast<uint32_t>(texts_.size()); }
  // The text of a name number. It stays where it is, unchanged, for the table's life: a
  // name read once can be held while others are interned.
  [[nodiscard]] std::string_view text(uint32_t number) const { return texts_[number]; }

 private:
  struct Slot {
    uint32_t hash;
    uint32_t number_plus_one;  // 0 for a free slot
  };

  [[nodiscard]] static uint32_t short_hash(std::string_view name) {
    return static_cast<uint32_t>(hash_name(name));
  }
  // The slot holding `name`, or the free slot where it would go. At most half the slots
  // are taken, so the probe ends.
  [[nodiscard]] std::size_t slot_of(std::string_view name, uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t index = hash & mask;
    while (slots_[index].number_plus_one != 0) {
      const Slot& slot = slots_[index];
      if (slot.hash == hash && texts_[slot.number_plus_one - 1] == name) return index;
      index = (index + 1) & mask;
    }
    return index;
  }
  void grow();
  // Room for `size` more bytes of name text that never moves.
  [[nodiscard]] char* text_room(std::size_t size);

  // Name texts are written one after the other into blocks that are never grown, so that
  // no text moves when another is added.
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* block_free_ = nullptr;           // the unwritten rest of the last block
  std::size_t block_room_ = 0;           // its length
  std::vector<std::string_view> texts_;  // by number: the name's text in a block
  std::vector<Slot> slots_;              // open addressing, a power of two long
};

// Grows `latest` so that it has a place for every name of `names`, each new place NONE.
inline void cover_names(std::vector<uint32_t>& latest, const NameTable& names) {
  if (latest.size() < names.size()) latest.resize(names.size(), NameTable::NONE);
}

}  // namespace veltrane::resolve
