// Attempt: what one entry of a substitution table has matched so far in the stage's window. The compiled
// entry (sub_struct) stays as the table loaded it; every entry has exactly one attempt, held by the
// stage's run, which starts it again after a mismatch, after every firing and with every window.
#ifndef RUNEFLOW_ENGINE_SUBST_ATTEMPT_H
#define RUNEFLOW_ENGINE_SUBST_ATTEMPT_H

#include "engine/subst/sub_struct.h"

struct Attempt {
  static const int kNotEntered = -1;  // taken before the attempt reaches its wildcard

  int start;     // window position of the attempt's first byte; at or past the window's end: out of it
  int lead;      // pattern bytes consumed beyond one per text byte matched (escape codes, the wildcard)
  int taken;     // bytes the wildcard has taken, or kNotEntered
  bool waiting;  // complete: the match from start waits until no earlier entry may still precede it
  bool dead;     // the wildcard can take no more (limit or terminator): the next byte is refused

  // A fresh attempt whose first byte is at window position p.
  void RestartAt(int p) {
    start = p;
    lead = 0;
    taken = kNotEntered;
    waiting = false;
    dead = false;
  }
  // Whether the attempt is a fresh one at p, as every entry's is until it takes a byte.
  bool FreshAt(int p) const { return start == p && lead == 0 && taken == kNotEntered && !waiting && !dead; }
  // The index in e.from of the unit that the text byte at window position p is tested against.
  int PatternIndex(int p) const { return p - start + lead - (taken + 1); }
  bool InWildcard() const { return taken != kNotEntered; }
  // Whether the attempt refuses every byte until it starts again: marked dead, or its wildcard has taken
  // more than e allows (a wildcard may take one byte beyond its limit, and the attempt dies on the next).
  bool Exhausted(const sub_struct &e) const { return dead || taken > e.wmax; }
  // The window position just after the attempt's match, for a waiting one: one text byte for each unit
  // of the pattern (the pattern's length less lead), and the wildcard's text.
  int MatchEnd(int patternLength) const { return start + patternLength - lead + taken + 1; }
};

// Where scanning goes on after a match that begins at window position begins and ends just before
// window position end, when the entry gives back characters: never before the match's own start, so that
// text already written is never read again.
inline int ResumeAfter(int begins, long long end, int back) {
  const long long resume = end - back;
  return resume > begins ? static_cast<int>(resume) : begins;
}

#endif
