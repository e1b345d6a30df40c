// Matcher: advances one entry's attempt over the substitution stage's window, byte by byte, exactly as
// the pass-by-pass algorithm defines it: match tests one byte, Extend gives the wildcard more text after
// a mismatch, Slide moves a failed attempt on to its next possible start. The run decides when each is
// called; the matcher only changes the attempt it is given.
#ifndef RUNEFLOW_ENGINE_SUBST_MATCHER_H
#define RUNEFLOW_ENGINE_SUBST_MATCHER_H

#include "engine/subst/attempt.h"
#include "engine/subst/sub_struct.h"

class CCharSet;
class CSubstTbl;

class Matcher {
 public:
  // Matches the entries of table, for a text in textset; both must outlive it.
  Matcher(const CSubstTbl &table, const CCharSet &textset)
      : table_(table), textset_(textset), window_(nullptr) {}
  // Reads the text from window, where the run's window now begins.
  void SetWindow(const unsigned char *window) { window_ = window; }

  // Tests the window byte at p against the unit of e's pattern that attempt a has reached, and advances
  // a: 1 accepted, 0 refused. A refusal may leave a marked dead, or with its wildcard left again.
  int match(int p, const sub_struct &e, Attempt &a) const;
  // 1 when e's wildcard may not take the byte t in attempt a: a is exhausted, or t is e's terminator.
  int terminate(int t, const sub_struct &e, const Attempt &a) const;
  // After e's attempt a refused the byte at pos with its wildcard entered: the text matched after the
  // wildcard is given to it one byte more at a time, and the rest of the pattern matched again up to
  // pos, until the attempt has caught up, or is dead (limit or terminator).
  void Extend(int pos, const sub_struct &e, Attempt &a) const;
  // After a refused the byte at pos (or its firing was refused): a starts again at the next position
  // from which the pattern matches every byte up to pos without extending its wildcard, or at pos + 1.
  void Slide(int pos, const sub_struct &e, Attempt &a) const;

 private:
  const CSubstTbl &table_;
  const CCharSet &textset_;
  const unsigned char *window_;  // where the run's window begins
};

#endif
