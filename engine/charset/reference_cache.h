// ReferenceCache: the references of one conversion run whose names are at most seven bytes long, with
// the one destination byte each of them gave. A page written with references repeats a few dozen names
// throughout, so a reference met before costs one lookup of its name's bytes taken as a single word.
// It lives for one run (the sets do not change during a run) and allocates nothing.
#ifndef RUNEFLOW_ENGINE_CHARSET_REFERENCE_CACHE_H
#define RUNEFLOW_ENGINE_CHARSET_REFERENCE_CACHE_H

#include <cstdint>

class ReferenceCache {
 public:
  static const int kLongestName = 7;  // bytes of a name that fits in a key with its length

  ReferenceCache() {
    for (Slot &slot : slots) slot.key = kEmpty;
  }
  // The key of a name of length bytes (0 to kLongestName), which are the low bytes of word in memory
  // order (the word as loaded on a little-endian machine); the bytes above the name do not count.
  static uint64_t Key(uint64_t word, int length) {
    return (word & ((uint64_t{1} << (8 * length)) - 1)) | (static_cast<uint64_t>(length) << 56);
  }
  // The byte the name of key gave, or -1 when it is not held.
  int Find(uint64_t key) const {
    const Slot &slot = slots[Index(key)];
    return slot.key == key ? slot.value : -1;
  }
  // Holds value (0 to 255) for the name of key, in place of whatever name shared its slot.
  void Add(uint64_t key, int value) {
    Slot &slot = slots[Index(key)];
    slot.key = key;
    slot.value = value;
  }

 private:
  static const int kSlotBits = 10;
  static const uint64_t kEmpty = ~uint64_t{0};  // no name has the length 255
  static unsigned int Index(uint64_t key) {
    return static_cast<unsigned int>((key * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
  }

  struct Slot {
    uint64_t key;
    int value;
  };
  Slot slots[1 << kSlotBits];
};

#endif
