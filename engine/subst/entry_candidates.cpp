// The first-byte and second-byte index of a substitution table: what the first two units of each
// compiled pattern (a byte, an escaped letter, a capture) accept, gathered per byte. The stage's matcher
// decides acceptance; this index only has to include every byte the matcher could accept.
#include "engine/subst/entry_candidates.h"

#include <climits>
#include <cstring>

#include "engine/charset/charset.h"
#include "engine/stream/allocator.h"
#include "engine/subst/pattern_units.h"
#include "engine/subst/subst_tbl.h"

namespace {

// Where the unit after the first one starts in e's pattern.
int SecondUnit(const CSubstTbl &table, const sub_struct &e) {
  return IsEscape(table, PatternBytes(e), 0) ? 2 : 1;
}

// The fewest text bytes a match of e's pattern takes: one per unit that is not the wildcard (which may
// take nothing).
int ShortestMatch(const CSubstTbl &table, const sub_struct &e) {
  const unsigned char *from = PatternBytes(e);
  int units = 0;
  for (int k = 0; from[k] != '\0';) {
    const bool escape = IsEscape(table, from, k);
    if (!(escape && IsWildcard(table, from[k + 1]))) ++units;
    k += escape ? 2 : 1;
  }
  return units;
}

// Whether e's pattern is made of plain bytes only (no escape at all), none of them a null.
bool IsPlainPattern(const CSubstTbl &table, const sub_struct &e) {
  const unsigned char *from = PatternBytes(e);
  if (from[0] == '\0' || e.wmax < -1) return false;  // an attempt is dead from the start: general case
  for (int k = 0; from[k] != '\0'; ++k) {
    if (IsEscape(table, from, k)) return false;
  }
  return true;
}

// Whether the attempt of e, begun at a byte, may be left out when its second unit refuses the next one.
bool MaySkipOnSecond(const CSubstTbl &table, const sub_struct &e) {
  const unsigned char *from = PatternBytes(e);
  const int second = SecondUnit(table, e);
  if (from[0] == '\0' || from[second] == '\0') return false;
  // A wildcard may take nothing, so the unit after it may take the very byte the attempt begins on. A
  // text set that lacks the table's special characters can give a wildcard's code to a pattern's first
  // unit.
  return !IsWildcardAt(table, from, 0) && !IsWildcardAt(table, from, second);
}

}  // namespace

int EntryCandidates::PairSlot(unsigned int pair) const {
  unsigned int slot = (pair * 2654435761u) >> 21;  // the top 11 bits: kPairSlots slots
  while (pairRuns_[slot].count != 0 && pairRuns_[slot].pair != pair) slot = (slot + 1) % kPairSlots;
  return static_cast<int>(slot);
}

const uint16_t *EntryCandidates::PlainBeginning(unsigned char first, unsigned char second, int *count) const {
  const PairRun &run = pairRuns_[PairSlot(first * 256u + second)];
  *count = run.count;
  return listedEntries_ + run.start;
}

void EntryCandidates::ListPlainPairs(const CSubstTbl &table) {
  std::memset(pairRuns_, 0, sizeof pairRuns_);
  std::memset(listed_, 0, sizeof listed_);
  const auto pairOf = [&](int index) {
    const unsigned char *from = PatternBytes(table.entries[index]);
    return from[0] * 256u + from[1];
  };
  // Listed under its own pair only: elsewhere its attempt would die on the second byte, which must
  // leave no later entry's match waiting.
  const auto listable = [&](int index) {
    return plain_[index] && table.entries[index].from[1] != '\0' && shortestLater_[index] > 1;
  };
  // Count the entries of each pair, give each pair its run, then fill the runs in table order.
  for (int index = 0; index < table.count; ++index) {
    if (!listable(index)) continue;
    PairRun &run = pairRuns_[PairSlot(pairOf(index))];
    run.pair = static_cast<uint16_t>(pairOf(index));
    ++run.count;
    listed_[index / 64] |= uint64_t{1} << (index % 64);
  }
  // Entries checked by their first three bytes: the pair maps leave them to anyForTriple_.
  std::memset(anyForTriple_, 0, sizeof anyForTriple_);
  std::memset(byTriple_, 0, sizeof byTriple_);
  for (int index = 0; index < table.count; ++index) {
    const unsigned char *from = PatternBytes(table.entries[index]);
    if (!listable(index) || from[2] == '\0' || shortestLater_[index] <= 2) continue;
    byTriple_[index / 64] |= uint64_t{1} << (index % 64);
    const unsigned int bit = TripleBit(from[0], from[1], from[2]);
    anyForTriple_[bit / 8] |= static_cast<unsigned char>(1u << (bit % 8));
  }
  uint16_t filled[kPairSlots] = {};
  int start = 0;
  for (PairRun &run : pairRuns_) {
    run.start = static_cast<uint16_t>(start);
    start += run.count;
  }
  for (int index = 0; index < table.count; ++index) {
    if (!listable(index)) continue;
    const int slot = PairSlot(pairOf(index));
    listedEntries_[pairRuns_[slot].start + filled[slot]++] = static_cast<uint16_t>(index);
  }
  for (int t = 0; t < 256; ++t) {
    unlistedFirstWords_[t] = 0;
    unlistedSecondWords_[t] = 0;
    for (int w = 0; w < wordCount_; ++w) {
      if (ForFirst(static_cast<unsigned char>(t))[w] & ~listed_[w]) unlistedFirstWords_[t] |= 1u << w;
      if (ForSecond(static_cast<unsigned char>(t))[w] & ~listed_[w]) unlistedSecondWords_[t] |= 1u << w;
    }
  }
}

EntryCandidates::~EntryCandidates() { EngineFree(sets_); }

int EntryCandidates::Build(const CSubstTbl &table, const CCharSet &textset) {
  EngineFree(sets_);
  wordCount_ = (table.count + 63) / 64;
  const size_t words = static_cast<size_t>(wordCount_ > 0 ? wordCount_ : 1);
  sets_ = static_cast<uint64_t *>(EngineAlloc(sizeof(uint64_t) * 512 * words));
  if (sets_ == nullptr) return 0;
  std::memset(sets_, 0, sizeof(uint64_t) * 512 * words);
  std::memset(anyForByte_, 0, sizeof anyForByte_);
  std::memset(anyForPair_, 0, sizeof anyForPair_);
  std::memset(anyForPairUnfiltered_, 0, sizeof anyForPairUnfiltered_);
  std::memset(firstWords_, 0, sizeof firstWords_);
  std::memset(secondWords_, 0, sizeof secondWords_);
  int shortest = INT_MAX;
  for (int index = table.count - 1; index >= 0; --index) {
    shortestLater_[index] = shortest;
    const int own = ShortestMatch(table, table.entries[index]);
    if (own < shortest) shortest = own;
  }
  for (int index = 0; index < table.count; ++index) {
    const sub_struct &e = table.entries[index];
    const uint64_t bit = uint64_t{1} << (index % 64);
    const bool skippable = shortestLater_[index] > 1 && MaySkipOnSecond(table, e);
    plain_[index] = IsPlainPattern(table, e) ? 1 : 0;
    for (int t = 0; t < 256; ++t) {
      if (UnitMayTake(table, textset, e, 0, t)) {
        sets_[static_cast<size_t>(t) * words + index / 64] |= bit;
        firstWords_[t] |= 1u << (index / 64);
        anyForByte_[t] = 1;
      }
      if (!skippable || UnitMayTake(table, textset, e, SecondUnit(table, e), t)) {
        sets_[static_cast<size_t>(256 + t) * words + index / 64] |= bit;
        secondWords_[t] |= 1u << (index / 64);
      }
    }
  }
  ListPlainPairs(table);
  // One pass over the pairs fills both pair maps: any entry, and any entry not left to anyForTriple_.
  for (unsigned int first = 0; first < 256; ++first) {
    if (!anyForByte_[first]) continue;
    for (unsigned int second = 0; second < 256; ++second) {
      uint64_t any = 0;
      uint64_t unfiltered = 0;
      for (size_t w = 0; w < words; ++w) {
        const uint64_t bits =
            ForFirst(static_cast<unsigned char>(first))[w] & ForSecond(static_cast<unsigned char>(second))[w];
        any |= bits;
        unfiltered |= bits & ~byTriple_[w];
      }
      const unsigned int pair = first * 256 + second;
      if (any != 0) anyForPair_[pair / 8] |= static_cast<unsigned char>(1u << (pair % 8));
      if (unfiltered != 0) anyForPairUnfiltered_[pair / 8] |= static_cast<unsigned char>(1u << (pair % 8));
    }
  }
  soleFirstByte_ = -1;
  for (int t = 0; t < 256; ++t) {
    if (!anyForByte_[t]) continue;
    if (soleFirstByte_ >= 0) {
      soleFirstByte_ = -1;
      break;
    }
    soleFirstByte_ = t;
  }
  return 1;
}
