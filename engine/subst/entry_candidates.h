// EntryCandidates: for every text byte, the entries of a substitution table whose pattern can begin
// with it, and for every following byte, the entries whose attempt could go on with it. The substitution
// stage tests only the entries that can begin at a position (and those with an attempt in progress), so
// that the work per byte follows the entries that can match there, not the table's size.
#ifndef RUNEFLOW_ENGINE_SUBST_ENTRY_CANDIDATES_H
#define RUNEFLOW_ENGINE_SUBST_ENTRY_CANDIDATES_H

#include <cstddef>
#include <cstdint>

#include "engine/subst/entry_set.h"
#include "engine/subst/subst_tbl.h"

class CCharSet;

class EntryCandidates {
 public:
  EntryCandidates() = default;
  ~EntryCandidates();
  EntryCandidates(const EntryCandidates &) = delete;
  EntryCandidates &operator=(const EntryCandidates &) = delete;

  // Indexes the entries of table, whose text is in textset. Returns 0 when memory runs out.
  int Build(const CSubstTbl &table, const CCharSet &textset);

  // The entries whose first pattern unit may take the byte t; a superset is allowed, never less. Every set
  // below is (count + 63) / 64 words of 64 entries (entry i is bit i % 64 of word i / 64).
  const uint64_t *ForFirst(unsigned char t) const { return sets_ + static_cast<size_t>(t) * wordCount_; }
  // The entries whose attempt, begun on one byte, may still be alive after the next byte t: those whose
  // second unit may take t, and every entry that must not be left out on these grounds. Leaving out an
  // entry whose attempt would die at the next byte changes nothing as long as no later entry can
  // complete a match on a single byte (it could then have to wait for the doomed attempt); see
  // ShortestLater.
  const uint64_t *ForSecond(unsigned char t) const {
    return sets_ + static_cast<size_t>(256 + t) * wordCount_;
  }
  // Which words of ForFirst(t) and of ForSecond(t) hold any entry: bit w for word w.
  uint32_t FirstWords(unsigned char t) const { return firstWords_[t]; }
  uint32_t SecondWords(unsigned char t) const { return secondWords_[t]; }
  // Whether entry index has a plain pattern: bytes only, no escape. Its attempt is the length of text
  // matched so far, and the stage can test it without the general matcher.
  bool IsPlain(int index) const { return plain_[index] != 0; }
  // The fewest bytes a match of any entry after index takes (INT_MAX when it is the last). An attempt of
  // entry index that dies within that many bytes of its start can hold back no later entry's match, so
  // the stage need not start it at all.
  int ShortestLater(int index) const { return shortestLater_[index]; }
  // Whether any entry may begin with the byte t; with the pair, whether one may begin with first and
  // be alive after second.
  bool AnyForByte(unsigned char t) const { return anyForByte_[t] != 0; }
  // The one byte every entry's pattern begins with, or -1 when there are several (or none).
  int SoleFirstByte() const { return soleFirstByte_; }
  bool AnyForPair(unsigned char first, unsigned char second) const {
    const unsigned int pair = first * 256u + second;
    return (anyForPair_[pair / 8] >> (pair % 8)) & 1u;
  }

  // Whether an entry may begin with the three bytes: false only when every entry that could begin with
  // the first two dies on one of them, sooner than any later entry could complete a match.
  bool AnyForTriple(unsigned char first, unsigned char second, unsigned char third) const {
    const unsigned int pair = first * 256u + second;
    if ((anyForPairUnfiltered_[pair / 8] >> (pair % 8)) & 1u) return true;
    const unsigned int bit = TripleBit(first, second, third);
    return (anyForTriple_[bit / 8] >> (bit % 8)) & 1u;
  }

  // The plain entries of two bytes or more whose pattern begins with the bytes first and second, in
  // table order; count receives how many. Every such entry is listed under its own pair and nowhere
  // else, so a position is checked against them without going through the sets.
  const uint16_t *PlainBeginning(unsigned char first, unsigned char second, int *count) const;
  // The entries of word w on those lists.
  uint64_t Listed(int w) const { return listed_[w]; }
  // Which words of ForFirst(first) and ForSecond(second) hold any entry that is not listed.
  uint32_t UnlistedWords(unsigned char first, unsigned char second) const {
    return unlistedFirstWords_[first] & unlistedSecondWords_[second];
  }

 private:
  uint64_t *sets_ = nullptr;                  // 256 sets by first byte, then 256 by second byte
  unsigned char anyForPair_[65536 / 8] = {};  // one bit per pair of bytes
  int wordCount_ = 0;
  uint32_t firstWords_[256] = {};
  uint32_t secondWords_[256] = {};
  unsigned char plain_[kMaxEntries] = {};
  int shortestLater_[kMaxEntries] = {};
  unsigned char anyForByte_[256] = {};
  int soleFirstByte_ = -1;

  // The lists of plain entries by their first two bytes: a hash of the pairs in use, each naming its
  // run of entry numbers in listedEntries_.
  struct PairRun {
    uint16_t pair;
    uint16_t start;
    uint16_t count;  // 0: the slot is free
  };
  static const int kPairSlots = 2048;  // a power of two above three times kMaxEntries
  // The bit of anyForTriple_ for three bytes.
  static unsigned int TripleBit(unsigned char first, unsigned char second, unsigned char third) {
    return ((first * 65536u + second * 256u + third) * 2654435761u) >> 16;
  }
  // Pairs that an entry may begin with other than by a plain pattern of three bytes or more that dies
  // within its first three bytes wherever it does not match them (those are in anyForTriple_, hashed).
  unsigned char anyForPairUnfiltered_[65536 / 8] = {};
  unsigned char anyForTriple_[65536 / 8] = {};
  // The slot of pair: its own, or the free one where it belongs.
  int PairSlot(unsigned int pair) const;
  // Fills the pair lists, the triple map with the entries it covers, and the words of the entries not on
  // the lists (after the sets and plain flags).
  void ListPlainPairs(const CSubstTbl &table);
  PairRun pairRuns_[kPairSlots] = {};
  uint16_t listedEntries_[kMaxEntries] = {};
  uint64_t listed_[kEntryWords] = {};
  uint64_t byTriple_[kEntryWords] = {};  // the listed entries checked by their first three bytes
  uint32_t unlistedFirstWords_[256] = {};
  uint32_t unlistedSecondWords_[256] = {};
};

#endif
