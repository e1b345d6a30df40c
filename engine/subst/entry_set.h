// EntrySet: a set of a table's entries by index, as words of 64 bits with a summary of the words in use,
// so that the substitution stage visits its members in table order at the cost of the members alone.
#ifndef RUNEFLOW_ENGINE_SUBST_ENTRY_SET_H
#define RUNEFLOW_ENGINE_SUBST_ENTRY_SET_H

#include <cstdint>
#include <cstring>

#include "engine/subst/subst_tbl.h"

const int kEntryWords = (kMaxEntries + 63) / 64;  // words of 64 entries that hold a table's entries
static_assert(kEntryWords <= 32, "a set's words are summarised in 32 bits");

// The index of the lowest set bit of a non-zero word.
inline int LowestBit(uint64_t word) { return __builtin_ctzll(word); }
inline int LowestBit(uint32_t word) { return __builtin_ctz(word); }

class EntrySet {
 public:
  void Clear() {
    std::memset(bits_, 0, sizeof bits_);
    used_ = 0;
  }
  void Add(int index) {
    bits_[index / 64] |= uint64_t{1} << (index % 64);
    used_ |= 1u << (index / 64);
  }
  void Remove(int index) {
    if ((bits_[index / 64] &= ~(uint64_t{1} << (index % 64))) == 0) used_ &= ~(1u << (index / 64));
  }
  bool Contains(int index) const { return (bits_[index / 64] >> (index % 64)) & 1u; }
  bool Empty() const { return used_ == 0; }
  // The one member; -1 when there is none or there are several.
  int Lone() const {
    if (used_ == 0 || (used_ & (used_ - 1)) != 0) return -1;
    const int w = LowestBit(used_);
    return (bits_[w] & (bits_[w] - 1)) != 0 ? -1 : w * 64 + LowestBit(bits_[w]);
  }
  // The members of word w (entry w * 64 + i is bit i), and which words hold any member (bit w).
  uint64_t Word(int w) const { return bits_[w]; }
  uint32_t UsedWords() const { return used_; }
  // Applies act to every member's index, in ascending order.
  template <class Action>
  void ForEach(Action act) const {
    for (uint32_t words = used_; words != 0; words &= words - 1) {
      const int w = LowestBit(words);
      for (uint64_t held = bits_[w]; held != 0; held &= held - 1) act(w * 64 + LowestBit(held));
    }
  }

 private:
  uint64_t bits_[kEntryWords] = {};
  uint32_t used_ = 0;  // bit w: bits[w] is not 0
};

#endif
