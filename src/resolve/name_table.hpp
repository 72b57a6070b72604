#pragma once

// The names one walk meets, each numbered the first time it is met. The scopes keep these
// numbers, and per number the latest entry of that name, so that entering, shadowing and
// forgetting a name costs no text copy and no list of its own.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace veltrane::resolve {

// A hash of a name's bytes, eight at a time: one multiplication for a name of up to eight
// bytes, each folding its high half into its low one (tables index by the low bits). The
// last one to seven bytes make one word, read by at most three loads rather than byte by
// byte.
[[nodiscard]] inline uint64_t hash_name(std::string_view name) {
  constexpr uint64_t MULTIPLIER = 0x9E3779B97F4A7C15u;
  const std::size_t size = name.size();
  const char* bytes = name.data();
  uint64_t hash = size;
  std::size_t offset = 0;
  for (; offset + 8 <= size; offset += 8) {
    uint64_t word = 0;
    std::memcpy(&word, bytes + offset, 8);
    hash = (hash ^ word) * MULTIPLIER;
    hash ^= hash >> 32;
  }
  const std::size_t rest = size - offset;
  if (rest == 0) return hash;
  uint64_t word = 0;
  if (size >= 8) {
    // The last eight bytes, shifted past the ones already hashed.
    std::memcpy(&word, bytes + size - 8, 8);
    word >>= 8 * (8 - rest);
  } else if (rest >= 4) {
    // Two loads of four that overlap: the bytes they share are the same in both.
    uint32_t low = 0;
    uint32_t high = 0;
    std::memcpy(&low, bytes, 4);
    std::memcpy(&high, bytes + rest - 4, 4);
    word = low | static_cast<uint64_t>(high) << (8 * (rest - 4));
  } else {
    // One to three bytes: the first, the middle and the last (some of them the same).
    const auto byte_at = [&](std::size_t at) {
      return static_cast<uint64_t>(static_cast<unsigned char>(bytes[at])) << (8 * at);
    };
    word = byte_at(0) | byte_at(rest / 2) | byte_at(rest - 1);
  }
  hash = (hash ^ word) * MULTIPLIER;
  hash ^= hash >> 32;
  return hash;
}

// Whether two names are the same, byte for byte. Names of up to sixteen bytes, nearly all
// of them, are compared by at most four loads of each rather than by a call.
[[nodiscard]] inline bool same_name(std::string_view left, std::string_view right) {
  const std::size_t size = left.size();
  if (size != right.size()) return false;
  const char* a = left.data();
  const char* b = right.data();
  const auto load8 = [](const char* at) {
    uint64_t word = 0;
    std::memcpy(&word, at, 8);
    return word;
  };
  const auto load4 = [](const char* at) {
    uint32_t word = 0;
    std::memcpy(&word, at, 4);
    return word;
  };
  if (size >= 8) {
    if (size > 16) return std::memcmp(a, b, size) == 0;
    // The first and the last eight bytes, which overlap below sixteen.
    return load8(a) == load8(b) && load8(a + size - 8) == load8(b + size - 8);
  }
  if (size >= 4) return load4(a) == load4(b) && load4(a + size - 4) == load4(b + size - 4);
  // Up to three bytes: one at a time.
  for (std::size_t at = 0; at < size; ++at) {
    if (a[at] != b[at]) return false;
  }
  return true;
}

class NameTable {
 public:
  static constexpr uint32_t NONE = 0xFFFFFFFFu;

  NameTable() = default;
  // A copy numbers the same names alike; its texts are its own.
  NameTable(const NameTable& other);
  NameTable& operator=(const NameTable& other);
  // A table moved from is left empty and can be used again.
  NameTable(NameTable&& other) noexcept;
  NameTable& operator=(NameTable&& other) noexcept;
  ~NameTable() = default;

  // The number of `name`, given to it now when it is new. Numbers count from 0 in the
  // order names are first met.
  uint32_t intern(std::string_view name);
  // The same for a text that lives as long as the table: it is kept where it is, not
  // copied. `hash` is hash_of(name).
  uint32_t intern_lasting(std::string_view name, uint32_t hash);
  // Room for `count` names in all, so that interning up to that many grows nothing.
  void reserve(std::size_t count);
  // The number of `name`; NONE when it was never interned. Kept here: every scope lookup
  // asks it.
  [[nodiscard]] uint32_t find(std::string_view name) const { return find(name, hash_of(name)); }
  // The same with `hash` = hash_of(name), for a caller that interns the name next when it
  // is missing.
  [[nodiscard]] uint32_t find(std::string_view name, uint32_t hash) const {
    if (slots_.empty()) return NONE;
    const Slot& slot = slots_[slot_of(name, hash)];
    return slot.number_plus_one == 0 ? NONE : slot.number_plus_one - 1;
  }
  [[nodiscard]] static uint32_t hash_of(std::string_view name) {
    return static_cast<uint32_t>(hash_name(name));
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

  // The slot holding `name`, or the free slot where it would go. At most half the slots
  // are taken, so the probe ends.
  [[nodiscard]] std::size_t slot_of(std::string_view name, uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t index = hash & mask;
    while (slots_[index].number_plus_one != 0) {
      const Slot& slot = slots_[index];
      if (slot.hash == hash && same_name(texts_[slot.number_plus_one - 1], name)) return index;
      index = (index + 1) & mask;
    }
    return index;
  }
  // Makes the slots `count` long (a power of two, more than twice the names).
  void grow(std::size_t count);
  // intern and intern_lasting: `copy` tells whether a new name's text is copied.
  uint32_t add(std::string_view name, uint32_t hash, bool copy);
  // Room for `size` more bytes of name text that never moves. Kept here: asked for every
  // name copied, most often with room left in the last block.
  [[nodiscard]] char* text_room(std::size_t size) {
    if (size > block_room_) add_block(size);
    char* room = block_free_;
    block_free_ += size;
    block_room_ -= size;
    return room;
  }
  // Starts a new last block with room for at least `size` bytes.
  void add_block(std::size_t size);

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
  // Grown by half again at least: names met one at a time then cost no call each.
  if (latest.size() < names.size()) {
    latest.resize(std::max<std::size_t>(names.size(), latest.size() + latest.size() / 2 + 16),
                  NameTable::NONE);
  }
}

}  // namespace veltrane::resolve
