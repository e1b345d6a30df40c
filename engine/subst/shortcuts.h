// Shortcuts: what a substitution run may skip without changing anything it writes. Each query answers
// from the run's present state (the window, the scan position, the attempts, the engaged entries, the
// firing log) and the candidate index; the run applies the answer. shortcuts.cpp opens with the note on
// why each is exact. A test-only switch turns them all off, so that every test can compare the fast run
// with the plain pass-by-pass one.
#ifndef RUNEFLOW_ENGINE_SUBST_SHORTCUTS_H
#define RUNEFLOW_ENGINE_SUBST_SHORTCUTS_H

#include <climits>
#include <cstring>

#include "engine/subst/attempt.h"
#include "engine/subst/entry_candidates.h"
#include "engine/subst/entry_set.h"
#include "engine/subst/firing_log.h"
#include "engine/subst/forecast.h"
#include "engine/subst/horizon.h"
#include "engine/subst/scan.h"
#include "engine/subst/subst_tbl.h"

// Test-only: with false, every substitution run that starts afterwards takes full passes over every
// entry with the general matcher, and no candidate index; true (the default) turns the shortcuts on
// again.
void SetShortcutsForTesting(bool enabled);
// Whether runs take the shortcuts.
bool ShortcutsEnabled();

class Shortcuts {
 public:
  // Answers for the run whose parts these are; all must outlive it.
  Shortcuts(const CSubstTbl &table, const EntryCandidates &candidates, Forecast &forecast, const Scan &scan,
            const Attempt *attempts, const EntrySet &engaged, const FiringLog &firings)
      : table_(table),
        candidates_(candidates),
        forecast_(forecast),
        window_(nullptr),
        base_(0),
        scan_(scan),
        attempts_(attempts),
        engaged_(engaged),
        firings_(firings),
        cleanEntry_(-1) {}

  // The window now begins at window, at offset base in the stage's buffer.
  void SetWindow(const unsigned char *window, int base) {
    window_ = window;
    base_ = base;
  }
  // Forgets every position found: the buffer's content moved.
  void ForgetPositions() { clean_.Forget(); }

  // With no attempt in progress: the first position from scan.pos on at which an entry may begin (the
  // window's end when none may), and in first the first entry that may begin there (-1 at the end).
  int SkipTarget(int *first) const;
  // The first entry before entry below whose attempt may begin at position p without being doomed; -1
  // when there is none.
  int FirstBeginning(int p, int below) const;
  // Whether there is such an entry; most positions are ruled out by their first three bytes alone.
  bool MayBeginAt(int p, int below) const;
  // Whether an entry other than entry except may begin so at position p.
  bool MayOtherBeginAt(int p, int except) const;
  // Whether entry index (plain), begun at position p, meets a differing byte of the window sooner than
  // any later entry could complete a match: such an attempt changes nothing and is not started.
  bool Doomed(int index, int p) const {
    if (!candidates_.IsPlain(index)) return false;
    const char *from = table_.entries[index].from;
    const int reach = candidates_.ShortestLater(index);
    for (int k = 0; k < reach && p + k < scan_.n && from[k] != '\0'; ++k) {
      if (static_cast<unsigned char>(from[k]) != window_[p + k]) return true;
    }
    return false;
  }
  // Whether entry index, with its attempt begun at start (no later than scan.pos), is sure to fire on
  // its match's last byte with no pass before that changing anything: it is plain and enabled, the rest
  // of its pattern stands in the window, no earlier entry can begin from checkFrom (scan.pos, or one
  // later when the caller knows none can begin there) up to that byte, and the firing is no refused
  // repeat.
  bool SureFiring(int index, int start, int checkFrom) const;
  // The one engaged entry when it is sure to fire so; -1 when there is none.
  int SureCompletion() const {
    const int index = engaged_.Lone();
    if (index < 0) return -1;
    const Attempt &a = attempts_[index];
    return !a.waiting && a.start <= scan_.pos && SureFiring(index, a.start, scan_.pos) ? index : -1;
  }
  // How many bytes from scan.pos on the wildcard of entry index (engaged alone, its attempt inside the
  // wildcard) would take, pass after pass, with nothing else happening on them.
  int WildcardRun(int index);
  // What FiringAtDeath found out about the engaged entries.
  struct Foresight {
    bool sure = false;        // every attempt in progress is sure to die without completing
    int freed = -1;           // then the first pass at which a waiting match may be freed (INT_MAX: none)
    int lookAgain = INT_MAX;  // the pass from which asking again may give another answer before the
                              // situation changes
  };
  // The most attempts in progress FiringAtDeath looks at; with more, the passes run as they are.
  static const int kMostInProgress = 16;
  // When every engaged entry's attempt is in progress, sure to die without completing, or waits, and
  // one does wait: the entry whose waiting match the first pass that frees one fires (the first in table
  // order of those freed then, a match being freed once every attempt of an earlier entry that began at
  // or before it has died and slid on past it), provided that the answer is certain, nothing else can
  // complete before that pass, and the firing is no refused repeat; else -1. foresight receives what
  // was found out on the way, also when no match waits.
  int FiringAtDeath(Foresight *foresight);
  // When FiringAtDeath found every attempt in progress sure to die and every waiting match held back
  // past the window's end: where the window moves on at its end, provided that nothing can fire before,
  // which is the start of the first attempt to begin of those that live past it; -1 when that cannot be
  // told.
  int MoveOnAt(const Foresight &foresight);
  // The matcher and the slide for a plain entry (bytes only): its attempt is the length of text matched.
  bool MatchPlain(int p, const sub_struct &e, const Attempt &a) const {
    return static_cast<unsigned char>(e.from[p - a.start]) == window_[p];
  }
  void SlidePlain(int pos, const sub_struct &e, Attempt &a) const;

 private:
  // FirstBeginning, leaving entry except out when kExcept.
  template <bool kExcept>
  int FirstBeginningOf(int p, int below, int except) const;

  const CSubstTbl &table_;
  const EntryCandidates &candidates_;
  Forecast &forecast_;
  const unsigned char *window_;  // where the window begins
  int base_;                     // the window's offset in the stage's buffer
  const Scan &scan_;
  const Attempt *attempts_;  // one per entry
  const EntrySet &engaged_;
  const FiringLog &firings_;
  // By entry in progress, as FiringAtDeath found them: the pass of its attempt's death, and the first
  // start, up to the latest waiting match, from which its slide there keeps it (-1: none; kUnknown).
  int deaths_[kMaxEntries];
  int survivors_[kMaxEntries];
  Horizon clean_;   // the bytes WildcardRun found that entry cleanEntry_'s wildcard takes with nothing else
  int cleanEntry_;  // happening (the run's lone engaged entry)
};

#endif
