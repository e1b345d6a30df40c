// EntryCandidates: for every text byte, the entries of a substitution table whose pattern can begin
// with it, and for every following byte, the entries whose attempt could go on with it. The substitution
// stage tests only the entries that can begin at a position (and those with an attempt in progress), so
// that the work per byte follows the entries that can match there, not the table's size.
#ifndef RUNEFLOW_ENGINE_SUBST_ENTRY_CANDIDATES_H
#define RUNEFLOW_ENGINE_SUBST_ENTRY_CANDIDATES_H

#include <cstddef>
#include <cstdint>
#include <new>

#include "engine/subst/subst_tbl.h"

class CCharSet;

const int kEntryWords = (kMaxEntries + 63) / 64;  // words of 64 entries that hold a table's entries
static_assert(kEntryWords <= 32, "a set's words are summarised in 32 bits");

class EntryCandidates {
 public:
  EntryCandidates() = default;
  ~EntryCandidates();
  EntryCandidates(const EntryCandidates &) = delete;
  EntryCandidates &operator=(const EntryCandidates &) = delete;

  // The index lives in engine memory like the stage that owns it.
  static void *operator new(size_t size, const std::nothrow_t &) noexcept;
  static void operator delete(void *memory) noexcept;

  // Indexes the entries of table, whose text is in textset. Returns 0 when memory runs out.
  int Build(const CSubstTbl &table, const CCharSet &textset);

  // Words of 64 entries in every set below (entry i is bit i % 64 of word i / 64).
  int words() const { return wordCount; }
  // The entries whose first pattern unit may take the byte t; a superset is allowed, never less.
  const uint64_t *ForFirst(unsigned char t) const { return sets + static_cast<size_t>(t) * wordCount; }
  // The entries whose attempt, begun on one byte, may still be alive after the next byte t: those whose
  // second unit may take t, and every entry that must not be left out on these grounds. Leaving out an
  // entry whose attempt would die at the next byte changes nothing as long as no later entry can
  // complete a match on a single byte (it could then have to wait for the doomed attempt); see
  // ShortestLater.
  const uint64_t *ForSecond(unsigned char t) const {
    return sets + static_cast<size_t>(256 + t) * wordCount;
  }
  // Which words of ForFirst(t) and of ForSecond(t) hold any entry: bit w for word w.
  uint32_t FirstWords(unsigned char t) const { return firstWords[t]; }
  uint32_t SecondWords(unsigned char t) const { return secondWords[t]; }
  // Whether entry index has a plain pattern: bytes only, no escape. Its attempt is the length of text
  // matched so far, and the stage can test it without the general matcher.
  bool IsPlain(int index) const { return plain[index] != 0; }
  // The fewest bytes a match of any entry after index takes (INT_MAX when it is the last). An attempt of
  // entry index that dies within that many bytes of its start can hold back no later entry's match, so
  // the stage need not start it at all.
  int ShortestLater(int index) const { return shortestLater[index]; }
  // Whether any entry may begin with the byte t; with the pair, whether one may begin with first and
  // be alive after second.
  bool AnyForByte(unsigned char t) const { return anyForByte[t] != 0; }
  // The one byte every entry's pattern begins with, or -1 when there are several (or none).
  int SoleFirstByte() const { return soleFirstByte; }
  bool AnyForPair(unsigned char first, unsigned char second) const {
    const unsigned int pair = first * 256u + second;
    return (anyForPair[pair / 8] >> (pair % 8)) & 1u;
  }

  // Whether an entry may begin with the three bytes: false only when every entry that could begin with
  // the first two dies on one of them, sooner than any later entry could complete a match.
  bool AnyForTriple(unsigned char first, unsigned char second, unsigned char third) const {
    if ((anyForPairUnfiltered[(first * 256u + second) / 8] >> ((first * 256u + second) % 8)) & 1u) return true;
    const unsigned int bit = TripleBit(first, second, third);
    return (anyForTriple[bit / 8] >> (bit % 8)) & 1u;
  }

  // The plain entries of two bytes or more whose pattern begins with the bytes first and second, in
  // table order; count receives how many. Every such entry is listed under its own pair and nowhere
  // else, so a position is checked against them without going through the sets.
  const uint16_t *PlainBeginning(unsigned char first, unsigned char second, int *count) const;
  // The entries of word w on those lists.
  uint64_t Listed(int w) const { return listed[w]; }
  // Which words of ForFirst(first) and ForSecond(second) hold any entry that is not listed.
  uint32_t UnlistedWords(unsigned char first, unsigned char second) const {
    return unlistedFirstWords[first] & unlistedSecondWords[second];
  }

 private:
  uint64_t *sets = nullptr;  // 256 sets by first byte, then 256 by second byte
  unsigned char anyForPair[65536 / 8] = {};  // one bit per pair of bytes
  int wordCount = 0;
  uint32_t firstWords[256] = {};
  uint32_t secondWords[256] = {};
  unsigned char plain[kMaxEntries] = {};
  int shortestLater[kMaxEntries] = {};
  unsigned char anyForByte[256] = {};
  int soleFirstByte = -1;

  // The lists of plain entries by their first two bytes: a hash of the pairs in use, each naming its
  // run of entry numbers in listedEntries.
  struct PairRun {
    uint16_t pair;
    uint16_t start;
    uint16_t count;  // 0: the slot is free
  };
  static const int kPairSlots = 2048;  // a power of two above three times kMaxEntries
  // The bit of anyForTriple for three bytes.
  static unsigned int TripleBit(unsigned char first, unsigned char second, unsigned char third) {
    return ((first * 65536u + second * 256u + third) * 2654435761u) >> 16;
  }
  // Pairs that an entry may begin with other than by a plain pattern of three bytes or more that dies
  // within its first three bytes wherever it does not match them (those are in anyForTriple, hashed).
  unsigned char anyForPairUnfiltered[65536 / 8] = {};
  unsigned char anyForTriple[65536 / 8] = {};
  // The slot of pair: its own, or the free one where it belongs.
  int PairSlot(unsigned int pair) const;
  // Fills the pair lists, the triple map with the entries it covers, and the words of the entries not on
  // the lists (after the sets and plain flags).
  void ListPlainPairs(const CSubstTbl &table);
  PairRun pairRuns[kPairSlots] = {};
  uint16_t listedEntries[kMaxEntries] = {};
  uint64_t listed[kEntryWords] = {};
  uint64_t byTriple[kEntryWords] = {};  // the listed entries checked by their first three bytes
  uint32_t unlistedFirstWords[256] = {};
  uint32_t unlistedSecondWords[256] = {};
};

#endif
