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
  // Resolves the waiting matches once the whole input is in the window and scanned.
  void EndOfInput();
  // Keeps the window's unresolved text for the next read; every attempt starts again.
  void KeepUnresolved();
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
  Shortcuts shortcuts_;
  bool useShortcuts_;   // this run takes the shortcuts
  bool dense_;          // every entry is tested at every position
  bool statesChanged_;  // a firing switched groups since the window began
  int enabledCount_;    // entries not disabled
};

#endif
