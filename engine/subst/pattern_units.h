// How a compiled pattern or replacement is read unit by unit: an escape is the table's escape code and a
// letter, and the letter tells a wildcard, a one-character parameter (a capture) or an escaped literal.
// Shared by the pattern compiler, the stage's matcher, its replacements and the index of the bytes each
// entry can begin with.
#ifndef RUNEFLOW_ENGINE_SUBST_PATTERN_UNITS_H
#define RUNEFLOW_ENGINE_SUBST_PATTERN_UNITS_H

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/subst/subst_tbl.h"

// The text-set code of the table-set character c: the low 8 bits of its conversion.
inline unsigned char TextCode(const CConvTbl &conv, unsigned char c) {
  return static_cast<unsigned char>(conv.map[c]);
}

// The bytes of e's compiled pattern.
inline const unsigned char *PatternBytes(const sub_struct &e) {
  return reinterpret_cast<const unsigned char *>(e.from);
}

// Whether the byte t belongs to subset (1 to 31) of the text set.
inline bool InSubset(const CCharSet &textset, int t, int subset) {
  return (textset.chars[t].subsets >> subset) & 1u;
}

// Whether an escaped letter takes the text byte t: the letter itself, or its case partner when it is a
// letter that has one.
inline bool TakesEscapedLetter(const CCharSet &textset, unsigned char letter, int t) {
  return t == letter || (InSubset(textset, letter, kSubsetPaired) && textset.othercase[t] == letter);
}

// Whether an escape letter stands for the wildcard, or for a one-character parameter (a capture).
inline bool IsWildcard(const CSubstTbl &t, unsigned char letter) {
  return letter == t.c_star || letter == t.c_plus || letter == t.c_minus;
}
inline bool IsParameter(const CSubstTbl &t, unsigned char letter) {
  return letter == t.c_query || letter == t.c_bang || letter == t.c_dot;
}

// Whether the compiled string s holds an escape (the escape code and a letter) at index k. An escape
// code that ends the string is an ordinary byte.
inline bool IsEscape(const CSubstTbl &t, const unsigned char *s, int k) {
  return s[k] == t.c_esc && s[k + 1] != '\0';
}

// Whether the compiled string s holds the wildcard's escape at index k.
inline bool IsWildcardAt(const CSubstTbl &t, const unsigned char *s, int k) {
  return IsEscape(t, s, k) && IsWildcard(t, s[k + 1]);
}

// Whether the unit of e's pattern at index k may take the byte t, at that unit's turn in an attempt, as
// the stage's matcher decides: a plain byte takes itself; an escaped letter takes itself and the bytes
// whose case partner it is; a capture takes its subset (any byte without one); a wildcard is taken as
// accepting every byte.
inline bool UnitMayTake(const CSubstTbl &table, const CCharSet &textset, const sub_struct &e, int k, int t) {
  const unsigned char *from = PatternBytes(e);
  if (from[k] == '\0') return false;
  if (!IsEscape(table, from, k)) return from[k] == t;
  const unsigned char letter = from[k + 1];
  if (IsParameter(table, letter)) return e.subs[k] == 0 || InSubset(textset, t, e.subs[k]);
  if (IsWildcard(table, letter)) return true;
  return TakesEscapedLetter(textset, letter, t);
}

// Whether the byte t ends e's wildcard: e's structure terminator, or a member of its terminating subset.
inline bool Terminates(const CCharSet &textset, const sub_struct &e, int t) {
  return e.term < 0 ? InSubset(textset, t, -e.term) : t == e.term;
}

// Where a pattern's wildcard stands: the index of its escape code and the units before it.
struct WildcardPlace {
  int index;
  int units;
};
// The wildcard of e's pattern, which must have one.
inline WildcardPlace FindWildcard(const CSubstTbl &t, const sub_struct &e) {
  const unsigned char *from = PatternBytes(e);
  WildcardPlace place{0, 0};
  while (!IsWildcardAt(t, from, place.index)) {
    place.index += IsEscape(t, from, place.index) ? 2 : 1;
    ++place.units;
  }
  return place;
}

#endif
