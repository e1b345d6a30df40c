// Forecast: what the window ahead holds for an entry of a substitution run, found by looking at the text
// instead of pass by pass: where the parts of the entry's pattern (the units before its wildcard, the
// units after it) occur, and where its wildcard meets a byte that it does not take quietly. From that it
// tells whether an attempt can still complete within the window, at which pass one that cannot dies, and
// where a failed attempt starts again. Each answer is exactly what the passes would find (shortcuts.cpp
// says why); the searches remember how far they went (Horizon), so that the text is searched about once.
#ifndef RUNEFLOW_ENGINE_SUBST_FORECAST_H
#define RUNEFLOW_ENGINE_SUBST_FORECAST_H

#include "engine/subst/attempt.h"
#include "engine/subst/horizon.h"
#include "engine/subst/scan.h"
#include "engine/subst/subst_tbl.h"

class CCharSet;
class EntryCandidates;
class Matcher;

class Forecast {
 public:
  static const int kUnknown = -2;  // FirstSurvivor gave up

  // Forecasts for the run whose parts these are; all must outlive it.
  Forecast(const CSubstTbl &table, const CCharSet &textset, const EntryCandidates &candidates,
           const Matcher &matcher, const Scan &scan);
  Forecast(const Forecast &) = delete;
  Forecast &operator=(const Forecast &) = delete;

  // The window now begins at window, at offset base in the stage's buffer.
  void SetWindow(const unsigned char *window, int base) {
    window_ = window;
    base_ = base;
  }
  // Forgets every position found: the buffer's content moved.
  void ForgetPositions();

  // Whether the wildcard of entry index takes the byte t without anything else happening: t cannot be
  // the first byte of the pattern's rest, ends nothing and belongs to the wildcard's subset.
  bool Quiet(int index, int t) { return IsQuiet(QuietBytes(index), t); }
  // The bytes the wildcard of entry index takes quietly, as a set for IsQuiet; null when it has none.
  const unsigned char *QuietBytes(int index) {
    const Shape &shape = ShapeOf(index);
    return shape.usable && shape.wildcard >= 0 ? shape.quiet : nullptr;
  }
  static bool IsQuiet(const unsigned char *quiet, int t) {
    return quiet != nullptr && ((quiet[t / 8] >> (t % 8)) & 1u);
  }
  // Moves attempt a of entry index, refused the byte at pos, on to its next start, exactly as
  // Matcher::Slide does, without trying starts the entry cannot begin at or testing one by one the bytes
  // its wildcard takes quietly.
  void Slide(int index, int pos, Attempt &a);
  // The first start from first up to last from which a slide at pos keeps the attempt of entry index
  // (as Slide would find it); -1 when there is none, kUnknown when too many starts would be tried.
  int FirstSurvivor(int index, int first, int last, int pos);

  // What becomes of attempt a of entry index, in progress at scan.pos, when nothing starts it again.
  struct Doom {
    bool sure;  // a completes nowhere within the window
    int death;  // then the pass at which it is refused and slides; the window's end when it lives on
  };
  Doom DoomOf(int index, const Attempt &a);
  // The earliest pass, no later than last, at which an attempt of entry index that begins at first or
  // later may complete a match (a lower bound: it need not); -1 when none can.
  int EarliestCompletion(int index, int first, int last);

 private:
  // How an entry's pattern is built, worked out the first time it is needed.
  struct Shape {
    bool known;                     // worked out
    bool usable;                    // forecasts can be made for the entry
    int prefixUnits;                // units before the wildcard (every unit when there is none)
    int wildcard;                   // index of the wildcard's code; -1 when there is none
    int after;                      // index of the first unit after it
    int afterUnits;                 // units after it
    unsigned char quiet[32];        // bit t: the wildcard takes the byte t quietly
    unsigned char opensPrefix[32];  // bit t: the first unit before the wildcard may take the byte t
    unsigned char opensAfter[32];   // bit t: the first unit after it may take the byte t
  };
  const Shape &ShapeOf(int index);
  // Whether units units of entry e's pattern, from pattern index k on, take the window bytes from p on
  // (p + units must not pass the window's end).
  bool UnitsTake(const sub_struct &e, int k, int units, int p) const;
  // The first position from first up to last where those units of entry index take the bytes from it;
  // -1 when there is none. opens holds the bytes the first of them may take, as for IsQuiet.
  int FirstOccurrence(Horizon &horizon, int index, int k, int units, const unsigned char *opens, int first,
                      int last);
  // Whether attempt t of entry index, fresh at its start, takes every byte up to pos as a slide's
  // re-scan tests them (without extending its wildcard).
  bool Survives(int index, Attempt &t, int pos);

  const CSubstTbl &table_;
  const CCharSet &textset_;
  const EntryCandidates &candidates_;
  const Matcher &matcher_;
  const Scan &scan_;
  const unsigned char *window_;       // where the window begins
  int base_;                          // the window's offset in the stage's buffer
  bool remembers_;                    // a horizon below may hold a position
  Shape shapes_[kMaxEntries];         // by entry
  Horizon loud_[kMaxEntries];         // the next byte a wildcard does not take quietly
  Horizon terminators_[kMaxEntries];  // the next byte that ends a wildcard
  Horizon prefixes_[kMaxEntries];     // the next occurrence of the units before the wildcard
  Horizon afters_[kMaxEntries];       // the next occurrence of the units after it
};

#endif
