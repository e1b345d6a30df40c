// SubstitutionRun: the working state of a substitution stage and its main loop. The stage creates it
// once its table and buffers exist; each Process then runs the table over the whole input through it.
// It holds an attempt per entry, the engaged entries, the firing log and the candidate index, so that
// the stage's public header needs none of them.
#ifndef RUNEFLOW_ENGINE_SUBST_SUBSTITUTION_RUN_H
#define RUNEFLOW_ENGINE_SUBST_SUBSTITUTION_RUN_H

#include <cstddef>
#include <new>

#include "engine/subst/attempt.h"
#include "engine/subst/entry_candidates.h"
#include "engine/subst/entry_set.h"
#include "engine/subst/firing_log.h"
#include "engine/subst/forecast.h"
#include "engine/subst/matcher.h"
#include "engine/subst/replacement_writer.h"
#include "engine/subst/scan.h"
#include "engine/subst/shortcuts.h"
#include "engine/subst/stage_output.h"

class CStreamObj;
class CSubstitute;

class SubstitutionRun {
 public:
  // For stage, whose table, text set and window must be in place and stay so while the run exists.
  explicit SubstitutionRun(CSubstitute &stage);
  SubstitutionRun(const SubstitutionRun &) = delete;
  SubstitutionRun &operator=(const SubstitutionRun &) = delete;

  // The run lives in engine memory like the stage that owns it.
  static void *operator new(size_t size, const std::nothrow_t &) noexcept;
  static void operator delete(void *memory) noexcept;

  // How many bytes the stage's buffer holds past a window of windowsize bytes: as many again, at most
  // kMostRoom and never past INT_MAX in all. The window moves on in that room and its text goes back to
  // the buffer's start once every room bytes resolved, so that a wide window is not moved on each step;
  // with no room it goes back on each move, as a window that fills the whole buffer must.
  static int RoomAfterWindow(int windowsize);
  // Reserves what a run needs (the firing log, the candidate index), so that a run allocates nothing
  // unless a table keeps giving text back. Returns 0 when memory runs out.
  int Reserve();
  // Substitutes the stage's whole input queue into the next object's queue, stopping early after an
  // entry that ends the stream (whose input is then cleared). A failure is reported on reportTo and
  // throws RunFailure.
  void Run(CStreamObj &reportTo);

 private:
  // What became of a pass, a step or a firing.
  enum class Outcome { kDone, kRefused, kStopped };
  // How many bytes of text a pass holds back before FireAheadOfDeath looks ahead.
  static const int kLongHold = 32;

  // One pass at scan.pos; kStopped when a firing ended the stream.
  Outcome Pass();
  // Tests entry index at scan.pos as the pass does: kRefused when it did not fire (or its firing was
  // refused as a repeat), else what its firing gave.
  Outcome Step(int index);
  // Fires entry index, whose match begins at its attempt's start; waiting tells a match completed at an
  // earlier position from one completed at scan.pos.
  Outcome Fire(int index, bool waiting);
  // Fires entry index, sure to fire, with its attempt begun at start, as the pass on its match's last
  // byte would.
  Outcome FireSure(int index, int start);
  // Ends a pass: writes the text before lim and moves on; resolves the end of the input when reached.
  Outcome EndPass();
  // Writes the text up to the first position where an entry may begin, as the passes over it would.
  // Returns the first entry that may begin there (-1 at the window's end).
  int SkipUnmatchable();
  // When the last pass left several entries engaged, each in progress or waiting, and every attempt in
  // progress is sure to die without completing: fires at once the waiting match that the first pass to
  // free one would fire, or, when nothing can fire before the window's end, moves on to where the
  // window would move on then. Returns whether it did; outcome then receives what the pass gives.
  bool FireAheadOfDeath(Outcome *outcome);
  // The part of FireAheadOfDeath that looks ahead.
  bool FireAtDeath(Outcome *outcome);
  // Whether the passes over the window, moved on by by bytes, would find the attempts exactly as they
  // are: every attempt stood afresh there and nothing was fired since.
  bool MayKeepAttemptsAt(int by) const;
  // Resolves the waiting matches once the whole input is in the window and scanned.
  void EndOfInput();
  // Keeps the window's unresolved text for the next read. Every attempt starts again, or, when the
  // passes over the kept text would find exactly the attempts there are, they are kept; returns whether
  // they were.
  bool KeepUnresolved();
  // The window's first by bytes are resolved: it moves on past them in the stage's buffer.
  void MoveWindow(int by);
  // Reads more input after the window's text and makes a new window's bookkeeping (the firing log, the
  // enabled entries).
  void FillWindow();
  // Tells where the window now begins to everything that reads it.
  void ShowWindow();
  // After the window moved on by bytes: the attempts are kept as they are, their positions shifted.
  void KeepAttempts(int by);
  // Sets every attempt as the pass would have left it when entry firing fires on the window's last
  // byte, and tests every entry from then on (dense): the entries tested before it that started again
  // past the window stay out of the rest of the window.
  void AbandonPastWindow(int firing);
  // Whether the candidate index names, for the byte at pos, every entry whose fresh attempt would take
  // it (it may name more, never fewer). For the checked builds.
  bool CandidatesCover(int pos) const;
  // Counts the entries that are not disabled into enabledCount_.
  void CountEnabled();
  // Applies act to the index of every entry whose attempt may hold anything but a fresh start: every
  // entry while the run tests them all (dense), else the engaged ones.
  template <class Action>
  void ForEachHeld(Action act);
  // Reports that memory ran out and stops the run.
  [[noreturn]] void FailNoMemory();

  CSubstitute &stage_;
  CSubstTbl &table_;
  StageOutput output_;
  ReplacementWriter writer_;
  Matcher matcher_;
  FiringLog firings_;              // the firings made over the present window
  EntryCandidates candidates_;     // the entries each byte can begin
  Scan scan_;                      // where the run stands in the window
  Attempt attempts_[kMaxEntries];  // one per entry of the table
  EntrySet engaged_;               // the entries whose attempt is not fresh, while not dense
  Forecast forecast_;
  Shortcuts shortcuts_;
  unsigned char *window_;  // where the window begins in the stage's buffer
  int base_;               // the window's offset in the stage's buffer, at most room_
  int room_;               // RoomAfterWindow(the stage's windowsize)
  bool useShortcuts_;      // this run takes the shortcuts
  bool dense_;             // every entry is tested at every position
  bool statesChanged_;     // a firing switched groups since the window began
  int enabledCount_;       // entries not disabled
  unsigned waits_;         // how many times a match began to wait
  int freshPoint_;         // where every attempt last stood afresh (a firing's end, the window's start, a
                           // pass with no entry engaged)
  bool firedSinceFresh_;   // a firing was tried since then
  // The situation FireAheadOfDeath last found nothing to do in.
  struct Situation {
    int holder = -1;     // the entry in progress whose attempt began first; -1: none
    int busy = 0;        // how many were in progress
    int start = 0;       // where holder's attempt began, as an offset in the stage's buffer
    unsigned waits = 0;  // waits_ then
    int until = 0;       // the pass from which it looks again all the same
  } lookedAt_;
};

#endif
