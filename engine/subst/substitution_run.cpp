// The main loop of the substitution stage. The input is read into the window; passes run over it
// position by position (see shortcuts.cpp for the definition of a pass and for what the run may skip);
// text that no attempt still needs is written as it goes; at the window's end the unresolved tail moves
// to the front and more input is read; at the end of the input the waiting matches are resolved.
#include "engine/subst/substitution_run.h"

#include <climits>
#include <cstring>

#include "engine/check.h"
#include "engine/stream/allocator.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitute.h"

SubstitutionRun::SubstitutionRun(CSubstitute &stage)
    : stage_(stage),
      table_(*stage.table),
      output_(stage),
      writer_(stage, output_),
      matcher_(*stage.table, *stage.textset),
      scan_{0, 0, 0, 0},
      attempts_(),
      forecast_(*stage.table, *stage.textset, candidates_, matcher_, scan_),
      shortcuts_(*stage.table, candidates_, forecast_, scan_, attempts_, engaged_, firings_),
      window_(nullptr),
      base_(0),
      room_(0),
      useShortcuts_(true),
      dense_(false),
      statesChanged_(true),
      enabledCount_(0),
      waits_(0),
      freshPoint_(0),
      firedSinceFresh_(false),
      lookedAt_() {}

void *SubstitutionRun::operator new(size_t size, const std::nothrow_t &) noexcept {
  return EngineAlloc(size);
}

void SubstitutionRun::operator delete(void *memory) noexcept { EngineFree(memory); }

int SubstitutionRun::RoomAfterWindow(int windowsize) {
  constexpr int kMostRoom = 1 << 20;
  const int room = windowsize < kMostRoom ? windowsize : kMostRoom;
  return room < INT_MAX - windowsize ? room : INT_MAX - windowsize;
}

int SubstitutionRun::Reserve() {
  return firings_.Reserve(table_.count, static_cast<int>(kWorkSize)) &&
         candidates_.Build(table_, *stage_.textset);
}

void SubstitutionRun::FailNoMemory() { output_.Fail("Memory allocation error\n"); }

void SubstitutionRun::Run(CStreamObj &reportTo) {
  output_.Begin(reportTo);
  table_.InitState();
  for (int index = 0; index < table_.count; ++index) attempts_[index].RestartAt(0);
  useShortcuts_ = ShortcutsEnabled();
  statesChanged_ = true;
  scan_.n = 0;
  base_ = 0;
  room_ = RoomAfterWindow(stage_.windowsize);
  forecast_.ForgetPositions();
  shortcuts_.ForgetPositions();
  ShowWindow();
  bool restart = true;
  for (;;) {
    if (stage_.Eof()) return;
    FillWindow();
    if (restart) {
      scan_.pos = 0;
      scan_.lim = 0;
      scan_.out = 0;
      dense_ = !useShortcuts_;
      engaged_.Clear();
      freshPoint_ = 0;
      firedSinceFresh_ = false;
    } else if (scan_.pos >= scan_.n && stage_.Eof()) {
      EndOfInput();  // as the last pass over the kept text would have found
    }
    while (scan_.pos < scan_.n) {
      if (Pass() == Outcome::kStopped) {
        output_.PutDst(-1);
        stage_.Clear();
        return;
      }
    }
    if (stage_.Eof()) {
      output_.PutDst(-1);
    } else {
      restart = !KeepUnresolved();
    }
  }
}

void SubstitutionRun::FillWindow() {
  scan_.n += static_cast<int>(
      stage_.Read(window_ + scan_.n, static_cast<unsigned int>(stage_.windowsize - scan_.n)));
  if (stage_.Error()) output_.FailQueue();
  if (statesChanged_ || !useShortcuts_) {
    if (!firings_.Restart(table_.entries)) FailNoMemory();
    CountEnabled();
    statesChanged_ = false;
  } else {
    firings_.Forget();  // the states it holds are the present ones
  }
  lookedAt_.holder = -1;  // what it found may have changed
}

void SubstitutionRun::ShowWindow() {
  window_ = stage_.window + base_;
  matcher_.SetWindow(window_);
  output_.SetWindow(window_);
  writer_.SetWindow(window_);
  forecast_.SetWindow(window_, base_);
  shortcuts_.SetWindow(window_, base_);
}

void SubstitutionRun::MoveWindow(int by) {
  scan_.n -= by;
  base_ += by;
  if (base_ > room_) {
    // The window would reach past the buffer's end: it goes back to the buffer's start.
    std::memmove(stage_.window, stage_.window + base_, static_cast<size_t>(scan_.n));
    base_ = 0;
    forecast_.ForgetPositions();
    shortcuts_.ForgetPositions();
  }
  ShowWindow();
}

void SubstitutionRun::CountEnabled() {
  enabledCount_ = 0;
  for (int index = 0; index < table_.count; ++index) {
    if (table_.entries[index].state != kDisabled) ++enabledCount_;
  }
}

template <class Action>
void SubstitutionRun::ForEachHeld(Action act) {
  if (dense_) {
    for (int index = 0; index < table_.count; ++index) act(index);
  } else {
    engaged_.ForEach(act);
  }
}

int SubstitutionRun::SkipUnmatchable() {
  int first = -1;
  const int target = shortcuts_.SkipTarget(&first);
  if (target == scan_.pos) return first;
  // Each pass over these bytes would have started every enabled entry again at the next byte.
  scan_.pos = target;
  scan_.lim = enabledCount_ > 0 ? target : scan_.n;
  output_.putunmatched(scan_.out, scan_.lim);
  scan_.out = scan_.lim;
  return first;
}

SubstitutionRun::Outcome SubstitutionRun::Pass() {
  if (!dense_) {
    if (engaged_.Empty()) {
      const int first = SkipUnmatchable();  // no earlier entry can begin at pos
      if (scan_.pos >= scan_.n) {
        if (stage_.Eof()) EndOfInput();
        return Outcome::kDone;
      }
      // Every attempt stands afresh here, whatever was tried before.
      freshPoint_ = scan_.pos;
      firedSinceFresh_ = false;
      // When it fires for sure, no pass needs to run up to its end.
      if (first >= 0 && shortcuts_.SureFiring(first, scan_.pos, scan_.pos + 1))
        return FireSure(first, scan_.pos);
    } else {
      const int lone = engaged_.Lone();
      // Looking ahead pays only once text is held back for long: the passes over a short hold cost
      // little, and a firing at most kLongHold passes late keeps the run linear.
      Outcome ahead;
      if (lone < 0 && scan_.pos - scan_.out >= kLongHold && FireAheadOfDeath(&ahead)) return ahead;
      const int sure = shortcuts_.SureCompletion();
      if (sure >= 0) return FireSure(sure, attempts_[sure].start);
      const int taken = lone >= 0 ? shortcuts_.WildcardRun(lone) : 0;
      if (taken > 0) {
        // The passes over these bytes would each give one to the wildcard and hold back the text from
        // the attempt's start.
        attempts_[lone].taken += taken;
        scan_.pos += taken;
        output_.putunmatched(scan_.out, attempts_[lone].start);
        scan_.out = attempts_[lone].start;
      }
    }
  }
  scan_.lim = scan_.n;
  const int pos = scan_.pos;
  RUNEFLOW_ASSERT(dense_ || CandidatesCover(pos));
  // The entries that can begin here and, when the next byte is in the window, still be alive after it.
  const uint64_t *beginning = dense_ ? nullptr : candidates_.ForFirst(window_[pos]);
  const uint64_t *going = !dense_ && pos + 1 < scan_.n ? candidates_.ForSecond(window_[pos + 1]) : nullptr;
  uint32_t words = (uint32_t{1} << ((table_.count + 63) / 64)) - 1;
  if (!dense_) {
    words = engaged_.UsedWords() | (candidates_.FirstWords(window_[pos]) &
                                    (going != nullptr ? candidates_.SecondWords(window_[pos + 1]) : words));
  }
  int testedEnabled = 0;
  // Invariant: lim is the earliest start of the attempts in progress of the entries before index, and
  // no earlier entry holds a waiting match that begins before lim. An entry that is neither engaged nor
  // able to begin at pos would only start again at pos + 1, which changes no decision of this pass;
  // neither does one whose attempt would die at pos + 1 (see EntryCandidates::ForSecond).
  for (; words != 0; words &= words - 1) {
    const int w = LowestBit(words);
    uint64_t pending = ~uint64_t{0};
    if (!dense_) pending = engaged_.Word(w) | (beginning[w] & (going != nullptr ? going[w] : ~uint64_t{0}));
    for (; pending != 0; pending &= pending - 1) {
      const int index = w * 64 + LowestBit(pending);
      if (index >= table_.count) break;
      const sub_struct &e = table_.entries[index];
      Attempt &a = attempts_[index];
      if (!dense_ && (engaged_.Word(w) & (uint64_t{1} << (index % 64))) == 0) {
        if (shortcuts_.Doomed(index, pos)) continue;  // as if it had not been able to begin
        a.RestartAt(pos);  // a fresh attempt, as every entry that is not engaged has
      }
      if (e.state != kDisabled) ++testedEnabled;
      const Outcome outcome = Step(index);
      if (outcome == Outcome::kStopped) return outcome;
      if (outcome == Outcome::kDone) return EndPass();  // a firing ends the pass
      if (!dense_) {
        if (e.state != kDisabled && !a.FreshAt(pos + 1)) {
          engaged_.Add(index);
        } else {
          engaged_.Remove(index);
        }
      }
    }
  }
  if (!dense_ && testedEnabled < enabledCount_ && pos + 1 < scan_.lim) scan_.lim = pos + 1;
  return EndPass();
}

bool SubstitutionRun::CandidatesCover(int pos) const {
  const uint64_t *named = candidates_.ForFirst(window_[pos]);
  for (int index = 0; index < table_.count; ++index) {
    Attempt fresh;
    fresh.RestartAt(pos);
    if (!((named[index / 64] >> (index % 64)) & 1u) && matcher_.match(pos, table_.entries[index], fresh))
      return false;
  }
  return true;
}

SubstitutionRun::Outcome SubstitutionRun::Step(int index) {
  const sub_struct &e = table_.entries[index];
  Attempt &a = attempts_[index];
  const int pos = scan_.pos;
  const bool plain = useShortcuts_ && candidates_.IsPlain(index);
  Outcome fired = Outcome::kRefused;
  if (a.waiting) {
    if (a.start >= scan_.lim) return Outcome::kRefused;
    a.waiting = false;
    fired = Fire(index, true);
  } else {
    if (a.start >= scan_.n || e.state == kDisabled) return Outcome::kRefused;
    if (a.start > pos) {  // an attempt slid past a refused waiting match: its text is still ahead
      if (a.start < scan_.lim) scan_.lim = a.start;
      return Outcome::kRefused;
    }
    if (plain ? shortcuts_.MatchPlain(pos, e, a) : matcher_.match(pos, e, a)) {
      if (e.from[a.PatternIndex(pos) + 1] != '\0') {
        if (a.start < scan_.lim) scan_.lim = a.start;
        return Outcome::kRefused;
      }
      if (a.start >= scan_.lim) {  // complete, but an earlier entry holds an attempt that began no later
        a.waiting = true;
        ++waits_;
        return Outcome::kRefused;
      }
      fired = Fire(index, false);
    } else if (a.InWildcard() && !a.Exhausted(e) && e.wsubset == 0) {
      matcher_.Extend(pos, e, a);
      if (a.start < scan_.lim) scan_.lim = a.start;
      return Outcome::kRefused;
    }
  }
  if (fired != Outcome::kRefused) return fired;
  // Refused, or a firing refused as a repeat: the attempt slides on.
  if (plain) {
    shortcuts_.SlidePlain(pos, e, a);
  } else if (useShortcuts_) {
    forecast_.Slide(index, pos, a);
  } else {
    matcher_.Slide(pos, e, a);
  }
  if (a.start < scan_.lim) scan_.lim = a.start;
  return Outcome::kRefused;
}

SubstitutionRun::Outcome SubstitutionRun::Fire(int index, bool waiting) {
  sub_struct &e = table_.entries[index];
  const Attempt &a = attempts_[index];
  const int begins = a.start;
  RUNEFLOW_ASSERT(begins >= scan_.out && begins < scan_.n);
  // Where scanning goes on: after the match, less the characters given back.
  const int end = waiting ? a.MatchEnd(static_cast<int>(std::strlen(e.from))) : scan_.pos + 1;
  RUNEFLOW_ASSERT(end > begins && end <= scan_.n);  // a waiting match's text lies within the window
  const int resume = ResumeAfter(begins, end, e.back);
  RUNEFLOW_ASSERT(resume >= begins);  // what was written before the match is never read again
  firedSinceFresh_ = true;
  if (firings_.Contains(index, begins, resume)) return Outcome::kRefused;
  if (!firings_.Add(index, begins, resume)) FailNoMemory();
  // On the window's last byte, with the states the pass saw (the replacement may switch groups).
  if (!dense_ && scan_.pos == scan_.n - 1) AbandonPastWindow(index);
  output_.putunmatched(scan_.out, begins);
  if (e.var != 0) writer_.savevar(e, a);
  writer_.putto(e, a);
  if (e.stop) return Outcome::kStopped;
  if (e.after != kKeepsState || e.on_mask != 0 || e.off_mask != 0) {
    if (!firings_.Restate(table_.entries)) FailNoMemory();
    CountEnabled();
    statesChanged_ = true;
  }
  scan_.out = resume;
  scan_.lim = resume;
  scan_.pos = resume - 1;
  freshPoint_ = resume;
  firedSinceFresh_ = false;
  // Every attempt, waiting matches included, starts again where scanning goes on; attempts abandoned at
  // the end of the input stay abandoned. Before the end of the input only the engaged entries and this
  // one hold anything but a fresh start, and every entry is fresh again.
  const auto restart = [&](int other) {
    if (attempts_[other].start < scan_.n) attempts_[other].RestartAt(resume);
  };
  if (!dense_) restart(index);
  ForEachHeld(restart);
  if (!dense_) engaged_.Clear();
  return Outcome::kDone;
}

SubstitutionRun::Outcome SubstitutionRun::FireSure(int index, int start) {
  const sub_struct &e = table_.entries[index];
  attempts_[index].RestartAt(start);
  // The passes up to the match's last byte would only carry its attempt on, and that pass fires it.
  scan_.pos = start + static_cast<int>(std::strlen(e.from)) - 1;
  scan_.lim = scan_.n;
  const Outcome fired = Fire(index, false);
  RUNEFLOW_ASSERT(fired != Outcome::kRefused);
  return fired == Outcome::kDone ? EndPass() : fired;
}

SubstitutionRun::Outcome SubstitutionRun::EndPass() {
  output_.putunmatched(scan_.out, scan_.lim);
  scan_.out = scan_.lim;
  ++scan_.pos;
  if (scan_.pos >= scan_.n && stage_.Eof()) EndOfInput();
  return Outcome::kDone;
}

void SubstitutionRun::AbandonPastWindow(int firing) {
  for (int other = 0; other < table_.count; ++other) {
    if (other == firing || engaged_.Contains(other)) continue;  // its attempt is exact
    // Tested before the firing one, an enabled entry was refused the window's last byte and starts
    // again past the window; any other starts again where scanning goes on.
    attempts_[other].RestartAt(other < firing && table_.entries[other].state != kDisabled ? scan_.n
                                                                                          : scan_.pos);
  }
  dense_ = true;
}

void SubstitutionRun::EndOfInput() {
  // Only waiting matches remain candidates: each one that begins before every waiting match kept so far
  // (in table order) is kept; every other attempt is abandoned.
  scan_.lim = scan_.n;
  for (int index = 0; index < table_.count; ++index) {
    Attempt &a = attempts_[index];
    if (a.waiting && a.start < scan_.lim) {
      scan_.lim = a.start;
    } else {
      a.RestartAt(scan_.n);
    }
  }
  output_.putunmatched(scan_.out, scan_.lim);
  scan_.out = scan_.lim;
  scan_.pos = scan_.lim;
  dense_ = true;  // every entry's attempt is now set, and the abandoned ones must stay so
}

bool SubstitutionRun::KeepUnresolved() {
  if (scan_.lim == 0 && scan_.n == stage_.windowsize) {
    // The window is full and its earliest attempt still needs its first byte: reading could add
    // nothing, so that byte is given up as unmatched text.
    output_.putunmatched(0, 1);
    scan_.lim = 1;
  }
  const int by = scan_.lim;
  // Every attempt starts again at the window's new start, and the passes find again what is still in
  // progress; when every attempt started afresh at that very position and nothing was fired since, they
  // would find the attempts exactly as they are, which are then kept.
  const bool kept = useShortcuts_ && !dense_ && by > 0 && MayKeepAttemptsAt(by);
  MoveWindow(by);
  if (kept) {
    KeepAttempts(by);
    return true;
  }
  // Waiting matches are dropped too: their text is still in the window and they are found again. Before
  // the end of the input is resolved, only the engaged entries hold anything but a fresh attempt.
  ForEachHeld([&](int index) { attempts_[index].RestartAt(0); });
  return false;
}

void SubstitutionRun::KeepAttempts(int by) {
  RUNEFLOW_ASSERT(scan_.out == by && !dense_);
  scan_.pos -= by;
  scan_.lim -= by;
  scan_.out = 0;
  engaged_.ForEach([&](int index) { attempts_[index].start -= by; });
  freshPoint_ = 0;
}

bool SubstitutionRun::MayKeepAttemptsAt(int by) const {
  return by == freshPoint_ && !firedSinceFresh_ && firings_.HighestStart() < by;
}

bool SubstitutionRun::FireAheadOfDeath(Outcome *outcome) {
  // As the last pass left the engaged entries: some in progress, the others waiting.
  int holder = -1;
  int busy = 0;
  int waiting = 0;
  engaged_.ForEach([&](int index) {
    if (attempts_[index].waiting) {
      ++waiting;
    } else {
      ++busy;
      if (holder < 0 || attempts_[index].start < attempts_[holder].start) holder = index;
    }
  });
  if (busy == 0) return false;
  // Nothing changed since the last look found nothing to do: the same attempts are in progress, the
  // first of them where it was, and no match began to wait meanwhile (a firing ends every wait, and any
  // other change only spoils the situation).
  const int start = base_ + attempts_[holder].start;  // the window may move on meanwhile
  if (holder == lookedAt_.holder && busy == lookedAt_.busy && start == lookedAt_.start &&
      waits_ == lookedAt_.waits && scan_.pos < lookedAt_.until)
    return false;
  if (FireAtDeath(outcome)) return true;
  lookedAt_.holder = holder;
  lookedAt_.busy = busy;
  lookedAt_.start = start;
  lookedAt_.waits = waits_;
  return false;
}

bool SubstitutionRun::FireAtDeath(Outcome *outcome) {
  Shortcuts::Foresight foresight;
  int firing = shortcuts_.FiringAtDeath(&foresight);
  const int by = firing < 0 && !stage_.Eof() ? shortcuts_.MoveOnAt(foresight) : -1;
  if (by >= 0) {
    // Nothing can fire before the window's end: the text before by is written as the passes up to there
    // would write it.
    RUNEFLOW_ASSERT(scan_.out <= by);
    output_.putunmatched(scan_.out, by);
    scan_.out = by;
  }
  // The window's end would move the window on to by, or, when by is 0 and the window is full, past its
  // first byte, which is given up; it keeps the attempts only where every one stood afresh, which the
  // attempt in progress from 0 rules out.
  if (by == 0 || (by > 0 && !MayKeepAttemptsAt(by))) {
    // The passes up to the window's end would only hold back the text from by on, and the window would
    // then move on, every attempt starting again: they need not run.
    scan_.pos = scan_.n;
    scan_.lim = by;
    *outcome = Outcome::kDone;
    return true;
  }
  if (by > 0) {
    // They would find the attempts as they are: the window moves on now, so that the deaths ahead can
    // be seen.
    MoveWindow(by);
    KeepAttempts(by);
    FillWindow();
    firing = shortcuts_.FiringAtDeath(&foresight);
  }
  if (firing < 0) {
    lookedAt_.until = foresight.lookAgain;
    return false;
  }
  // The passes up to that death would change nothing that the firing does not start afresh.
  scan_.pos = foresight.freed;
  attempts_[firing].waiting = false;
  const Outcome fired = Fire(firing, true);
  RUNEFLOW_ASSERT(fired != Outcome::kRefused);
  *outcome = fired == Outcome::kDone ? EndPass() : fired;
  return true;
}
