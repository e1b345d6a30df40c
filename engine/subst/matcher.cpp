// The matcher of the substitution stage.
//
// How it works. A compiled pattern is a string of units: a plain byte, or an escape code (the table's
// escape byte and a letter) standing for a one-character parameter, an escaped letter or the wildcard.
// An attempt that began at window position start tests the byte at p against the unit at pattern index
// k(p) = p - start + lead - (taken + 1): lead counts the pattern bytes consumed beyond one per text byte
// (the second byte of every escape code, and one for entering the wildcard), and taken + 1 the text
// bytes the wildcard stands for beyond its one unit. So a plain unit consumes one byte of each, an
// escape code two pattern bytes for one text byte, and the wildcard any number of text bytes.
//
// The wildcard takes as little text as it can: each byte is first tested against the unit after it,
// and only taken when that fails. When a later unit then refuses a byte, Extend gives the wildcard the
// first byte matched after it and matches the rest again, one byte more at a time; Slide instead starts
// the attempt again one position later and re-matches up to the present byte, without extending. Neither
// ever looks at the window before the attempt's start.
#include "engine/subst/matcher.h"

#include "engine/subst/pattern_units.h"
#include "engine/subst/subst_tbl.h"

int Matcher::terminate(int t, const sub_struct &e, const Attempt &a) const {
  if (a.Exhausted(e)) return 1;
  if (e.term < 0) return InSubset(textset_, t, -e.term);
  return t == e.term;
}

int Matcher::match(int p, const sub_struct &e, Attempt &a) const {
  if (a.Exhausted(e)) return 0;
  const unsigned char *from = PatternBytes(e);
  const int k = a.PatternIndex(p);
  const int t = window_[p];
  if (from[k] == '\0') return 0;
  if (!IsEscape(table_, from, k)) return from[k] == t;
  const unsigned char letter = from[k + 1];
  const int subset = e.subs[k];
  if (IsParameter(table_, letter)) {
    if (subset != 0 && !InSubset(textset_, t, subset)) return 0;
    ++a.lead;
    return 1;
  }
  if (IsWildcard(table_, letter)) {
    if (!a.InWildcard()) {  // entering the wildcard, nothing taken yet
      a.taken = 0;
      ++a.lead;
    }
    // The byte may already be the first one after the wildcard; then the wildcard's text is final.
    a.lead += 2;
    if (match(p, e, a)) return 1;
    a.lead -= 2;
    if (subset != 0 && !InSubset(textset_, t, subset)) {
      a.taken = Attempt::kNotEntered;
      return 0;
    }
    if (terminate(t, e, a)) {
      a.dead = true;
      return 0;
    }
    ++a.taken;
    return 1;
  }
  if (TakesEscapedLetter(textset_, letter, t)) {
    ++a.lead;
    return 1;
  }
  return 0;
}

void Matcher::Slide(int pos, const sub_struct &e, Attempt &a) const {
  a.RestartAt(a.start + 1);
  // Invariant: the attempt from a.start matches the text up to p - 1.
  for (int p = a.start; p <= pos;) {
    if (match(p, e, a)) {
      ++p;
    } else {
      a.RestartAt(a.start + 1);
      p = a.start;
    }
  }
}

void Matcher::Extend(int pos, const sub_struct &e, Attempt &a) const {
  const WildcardPlace wildcard = FindWildcard(table_, e);
  for (;;) {
    // Back to the first byte after the wildcard's text, with the pattern index on the wildcard: the
    // text matched after the wildcard is given to it, one byte more each round.
    int p = a.start + wildcard.units + a.taken;
    a.lead = wildcard.index - wildcard.units + 1;
    if (terminate(window_[p], e, a)) {
      a.dead = true;
      return;
    }
    ++a.taken;
    ++p;
    // Invariant: the attempt matches the text from a.start up to p - 1.
    while (p <= pos && !a.Exhausted(e) && match(p, e, a)) ++p;
    if (p > pos) return;  // caught up again
    if (a.taken >= e.wmax) {
      // The wildcard cannot take the byte more it would need: the attempt is dead.
      a.dead = true;
      return;
    }
  }
}
