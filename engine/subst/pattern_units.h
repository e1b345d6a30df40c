// How a compiled pattern or replacement is read unit by unit: an escape is the table's escape code and a
// letter, and the letter tells a wildcard, a one-character parameter (a capture) or an escaped literal.
// Shared by the substitution stage's matcher and the index of the bytes each entry can begin with.
#ifndef RUNEFLOW_ENGINE_SUBST_PATTERN_UNITS_H
#define RUNEFLOW_ENGINE_SUBST_PATTERN_UNITS_H

#include "engine/subst/subst_tbl.h"

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

#endif
