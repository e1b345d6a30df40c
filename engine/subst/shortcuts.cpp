// The shortcuts of the substitution stage, and why each one is exact.
//
// The definition. A run (substitution_run.cpp) keeps one attempt per entry (attempt.h) and runs a pass
// at every window position pos: the entries, in table order, each test the byte at pos. An attempt that
// takes the byte goes on; one that completes fires when its start lies before lim, the earliest start
// of the attempts in progress of the entries before it, and otherwise becomes a waiting match, which
// fires at a later pass as soon as lim has passed its start, unless something fires first. An attempt
// that refuses the byte extends its wildcard or slides on. Text before lim is resolved and written; a
// firing writes the replacement and starts every attempt again where scanning goes on. With the
// shortcuts off (SetShortcutsForTesting) a run does exactly this, and nothing below may change what it
// writes, reports or stores in variables.
//
// Engaged entries. An attempt is fresh at pos when it begins there, has taken nothing and does not wait.
// Every entry that is not engaged holds a fresh attempt, so the run tracks only the engaged ones and
// tests, at each pos, those and the entries that may begin with the byte there (the candidate index,
// which may name more entries than can begin, never fewer). An entry left out would refuse the byte and
// slide to pos + 1, fresh again: the only trace of it in the pass is lim, which then cannot lie beyond
// pos + 1, and the pass sets that bound itself when it left out an enabled entry.
//
// Attempts that die at once. An entry whose second unit refuses the next byte is left out too (the
// index's second-byte sets), and so is a plain entry that meets a differing byte sooner than any later
// entry could complete a match (Doomed): while such an attempt lives, no later entry's match can begin
// at or after its start and be complete, so its start holds nothing back; earlier entries never look at
// it; and where it would slide to, the entry begins anew as a fresh attempt.
//
// Skipped text. With no attempt in progress, bytes at which no entry may begin (SkipTarget) are written
// at once: every pass over them would have slid every attempt to the next byte.
//
// Sure firings. A lone plain attempt whose remaining bytes stand in the window, with no earlier entry
// able to begin on any of them, and whose firing would be no refused repeat, fires at once (SureFiring):
// the passes up to its last byte could only carry it on, make later entries' matches wait behind it (and
// its firing drops those), and end with it firing.
//
// Wildcard runs. A lone attempt inside its wildcard takes the following bytes at once while its wildcard
// takes each quietly (the pattern's rest cannot begin with it, it ends nothing and lies in the wildcard's
// subset), its limit leaves room, and no other entry may begin on them (WildcardRun; the entry itself
// holds its one attempt): each of those passes would give the wildcard one byte and hold the text from
// the attempt's start back. The window's last byte is left to a pass, since a firing there depends on
// which entries the pass has seen. The bytes found so are remembered, so that a window that gives up its
// first byte and starts again does not search them again.
//
// Plain entries (bytes only) are matched and slid by comparing bytes, which is what the general matcher
// does for them. Other entries slide (Forecast::Slide) without trying the starts where their first unit
// refuses the byte, and with the bytes their wildcard takes quietly taken in one step.
//
// Deaths foretold (Forecast::DoomOf). An attempt inside its unrestricted wildcard completes only where
// the pattern's rest occurs whole within the wildcard's reach. Where it does not occur in the window, the
// attempt completes nowhere there and dies where its limit or a terminator stops it. Only the bytes just
// before that point depend on partial matches of the rest: a rest's length of bytes earlier, every
// earlier byte has been taken by the wildcard, so the attempt's state there is known, and the matcher
// finds the death from it.
//
// Firing ahead of a death. When every engaged entry's attempt is either in progress, sure to die without
// completing, or waiting, the passes up to the first pass that frees a waiting match can only start
// attempts, slide the dying ones on and add waiting matches, all of which the next firing starts again,
// unless an entry before the one that fires completes a match (none can where no such entry's pattern
// occurs) or that firing is a refused repeat. A waiting match is held back by the attempts of earlier
// entries that began at or before it; it is freed at the last of their deaths when each slides on past
// it (Forecast::FirstSurvivor tells where), and the pass that frees it fires the first such match in
// table order. Firing it at once, as that pass would, writes the same and leaves the same attempts, and
// saves the passes over the wildcards' whole reach that the slow deaths and the rescan after the firing
// would cost. With more than a few attempts in progress the passes run as they are.
//
// Attempts kept as the window moves on. When every attempt stood afresh at the position where the
// window moves on (a firing's end, the window's start, or a pass with no entry engaged), nothing was
// fired since (so the firing log holds nothing from there on) and the run is not dense, the passes over
// the kept text would find exactly the attempts there are: they are kept. While the first attempt to
// begin of those in progress lives past the window's end, no waiting match is freed before it, no
// entry before it can complete a match, and no dying attempt slides back before its start, nothing can
// happen before the window's end but holding text back, and the window then moves on to that start: it
// may move on at once, keeping the attempts when they would be kept and else skipping the passes that
// the move makes void, so that the deaths ahead can be seen.
#include "engine/subst/shortcuts.h"

#include <algorithm>
#include <cstring>

#include "engine/check.h"
#include "engine/subst/pattern_units.h"
#include "engine/subst/subst_tbl.h"

namespace {

bool shortcutsEnabled = true;

}  // namespace

void SetShortcutsForTesting(bool enabled) { shortcutsEnabled = enabled; }

bool ShortcutsEnabled() { return shortcutsEnabled; }

template <bool kExcept>
int Shortcuts::FirstBeginningOf(int p, int below, int except) const {
  const unsigned char t = window_[p];
  int found = -1;
  const auto lowest = [&](int w, uint64_t bits) {
    if (kExcept && except / 64 == w) bits &= ~(uint64_t{1} << (except % 64));
    if (bits != 0 && (found < 0 || w * 64 + LowestBit(bits) < found)) found = w * 64 + LowestBit(bits);
  };
  if (p + 1 == scan_.n) {  // with no next byte in the window, no attempt can be known to die
    const uint64_t *first = candidates_.ForFirst(t);
    for (uint32_t words = candidates_.FirstWords(t); words != 0 && found < 0; words &= words - 1) {
      lowest(LowestBit(words), first[LowestBit(words)]);
    }
    return found >= 0 && found < below ? found : -1;
  }
  const unsigned char next = window_[p + 1];
  if (p + 2 < scan_.n ? !candidates_.AnyForTriple(t, next, window_[p + 2]) : !candidates_.AnyForPair(t, next))
    return -1;
  int count = 0;
  const uint16_t *plainEntries = candidates_.PlainBeginning(t, next, &count);
  for (int i = 0; i < count && plainEntries[i] < below; ++i) {
    if ((!kExcept || plainEntries[i] != except) && !Doomed(plainEntries[i], p)) {
      found = plainEntries[i];
      break;
    }
  }
  // Any other entry may begin here: it is not plain, or a single byte that matches whole.
  const uint64_t *first = candidates_.ForFirst(t);
  const uint64_t *second = candidates_.ForSecond(next);
  for (uint32_t words = candidates_.UnlistedWords(t, next); words != 0; words &= words - 1) {
    const int w = LowestBit(words);
    if (found >= 0 && w * 64 >= found) break;
    lowest(w, first[w] & second[w] & ~candidates_.Listed(w));
  }
  return found >= 0 && found < below ? found : -1;
}

int Shortcuts::FirstBeginning(int p, int below) const { return FirstBeginningOf<false>(p, below, -1); }

bool Shortcuts::MayBeginAt(int p, int below) const {
  if (p + 2 < scan_.n && !candidates_.AnyForTriple(window_[p], window_[p + 1], window_[p + 2])) return false;
  return FirstBeginning(p, below) >= 0;
}

bool Shortcuts::MayOtherBeginAt(int p, int except) const {
  if (!candidates_.AnyForByte(window_[p])) return false;
  if (p + 2 < scan_.n && !candidates_.AnyForTriple(window_[p], window_[p + 1], window_[p + 2])) return false;
  return FirstBeginningOf<true>(p, table_.count, except) >= 0;
}

int Shortcuts::SkipTarget(int *first) const {
  const int n = scan_.n;
  const int sole = candidates_.SoleFirstByte();
  int found = -1;
  int p = scan_.pos;
  for (; p < n; ++p) {
    if (sole >= 0) {  // one byte begins every entry: the C library finds it fastest
      const void *hit = std::memchr(window_ + p, sole, static_cast<size_t>(n - p));
      if (hit == nullptr) {
        p = n;
        break;
      }
      p = static_cast<int>(static_cast<const unsigned char *>(hit) - window_);
    } else if (!candidates_.AnyForByte(window_[p])) {
      continue;
    }
    if (p + 2 < n && !candidates_.AnyForTriple(window_[p], window_[p + 1], window_[p + 2])) continue;
    found = FirstBeginning(p, table_.count);
    if (found >= 0) break;
  }
  *first = found;
  return p;
}

bool Shortcuts::SureFiring(int index, int start, int checkFrom) const {
  const sub_struct &e = table_.entries[index];
  if (!candidates_.IsPlain(index) || e.state == kDisabled) return false;
  // The rest of the pattern must stand in the window from pos on.
  const int last = start + static_cast<int>(std::strlen(e.from)) - 1;
  if (last >= scan_.n || last < scan_.pos) return false;
  if (std::memcmp(window_ + scan_.pos, e.from + (scan_.pos - start),
                  static_cast<size_t>(last - scan_.pos + 1)) != 0)
    return false;
  // No earlier entry may begin meanwhile (it could complete first); later ones would have to wait.
  for (int p = checkFrom; p <= last; ++p) {
    if (MayBeginAt(p, index)) return false;
  }
  return !firings_.Contains(index, start, ResumeAfter(start, last + 1, e.back));
}

int Shortcuts::WildcardRun(int index) {
  const sub_struct &e = table_.entries[index];
  const Attempt &a = attempts_[index];
  if (a.waiting || a.start > scan_.pos || !a.InWildcard() || a.Exhausted(e)) return 0;
  const unsigned char *from = PatternBytes(e);
  const int k = a.PatternIndex(scan_.pos);  // the wildcard's code while it takes text
  if (!IsEscape(table_, from, k) || IsParameter(table_, from[k + 1]) || !IsWildcard(table_, from[k + 1]))
    return 0;
  // Each byte is one the matcher gives the wildcard without anything else happening (see
  // Forecast::Quiet), the limit not reached, and no attempt of another entry can begin on it: the entry
  // itself holds its one attempt. The window's last byte is left to a pass.
  const int stop = static_cast<int>(
      std::min<long long>(scan_.n - 1, scan_.pos + (static_cast<long long>(e.wmax) - a.taken + 1)));
  if (stop <= scan_.pos) return 0;
  if (cleanEntry_ != index) {
    cleanEntry_ = index;
    clean_.Forget();
  }
  const unsigned char *quiet = forecast_.QuietBytes(index);
  const int p = clean_.Next(scan_.pos, stop, base_, [&](int x) {
    return !Forecast::IsQuiet(quiet, window_[x]) || MayOtherBeginAt(x, index);
  });
  return p - scan_.pos;
}

int Shortcuts::FiringAtDeath(Foresight *foresight) {
  Foresight &f = *foresight;
  f = Foresight();
  // The deaths of the attempts in progress, and the latest start of a waiting match.
  int latest = -1;
  int busy = 0;
  bool sure = true;
  engaged_.ForEach([&](int index) {
    const Attempt &a = attempts_[index];
    if (a.waiting) {
      latest = std::max(latest, a.start);
      return;
    }
    if (!sure || ++busy > kMostInProgress) {
      sure = false;
      return;
    }
    const Forecast::Doom doom = forecast_.DoomOf(index, a);
    sure = doom.sure;
    deaths_[index] = doom.death;
  });
  if (!sure || busy == 0) return -1;
  f.sure = true;
  // Each waiting match is freed no sooner than the last death of the attempts that hold it back (those
  // of earlier entries that began at or before it), and just then when each of those slides on past it.
  engaged_.ForEach([&](int index) {
    if (!attempts_[index].waiting) {
      survivors_[index] = forecast_.FirstSurvivor(index, attempts_[index].start + 1, latest, deaths_[index]);
    }
  });
  f.freed = INT_MAX;
  int firing = -1;
  bool certain = false;
  engaged_.ForEach([&](int w) {
    const Attempt &match = attempts_[w];
    if (!match.waiting) return;
    int freed = -1;
    bool exact = true;
    engaged_.ForEach([&](int index) {
      const Attempt &a = attempts_[index];
      if (index >= w || a.waiting || a.start > match.start) return;
      freed = std::max(freed, deaths_[index]);
      if (survivors_[index] == Forecast::kUnknown ||
          (survivors_[index] >= 0 && survivors_[index] <= match.start))
        exact = false;
    });
    RUNEFLOW_ASSERT(freed >= 0);  // a match with nothing holding it back fires at once
    // The first in table order of those freed first.
    if (freed < f.freed) {
      f.freed = freed;
      firing = w;
      certain = exact;
    }
  });
  if (!certain || f.freed > scan_.n - 2) return -1;
  // Nothing else before the firing entry may complete a match before then (it would fire first, or wait
  // and be resolved first): neither an entry that is not engaged nor what follows an attempt that dies
  // sooner; the attempts in progress cannot, and the waiting matches stay held back.
  for (int index = 0; index < firing; ++index) {
    if (table_.entries[index].state == kDisabled) continue;
    const Attempt &a = attempts_[index];
    int from = scan_.pos;
    if (engaged_.Contains(index)) {
      if (a.waiting || deaths_[index] >= f.freed) continue;
      from = a.start + 1;
    }
    const int completion = forecast_.EarliestCompletion(index, from, f.freed);
    if (completion >= 0) {
      f.lookAgain = completion + 1;  // it may have been a false alarm once that pass is over
      return -1;
    }
  }
  const sub_struct &e = table_.entries[firing];
  const Attempt &w = attempts_[firing];
  const int resume = ResumeAfter(w.start, w.MatchEnd(static_cast<int>(std::strlen(e.from))), e.back);
  return firings_.Contains(firing, w.start, resume) ? -1 : firing;
}

int Shortcuts::MoveOnAt(const Foresight &foresight) {
  if (!foresight.sure || foresight.freed < scan_.n) return -1;
  // The attempts that live past the window's end hold back the text from the first one's start, and no
  // other can begin before it: an attempt that dies slides on past it.
  int lead = -1;
  engaged_.ForEach([&](int index) {
    const Attempt &a = attempts_[index];
    if (!a.waiting && deaths_[index] >= scan_.n && (lead < 0 || a.start < attempts_[lead].start))
      lead = index;
  });
  if (lead < 0) return -1;
  const int at = attempts_[lead].start;
  bool before = false;
  engaged_.ForEach([&](int index) {
    const Attempt &a = attempts_[index];
    if (!before && !a.waiting && deaths_[index] < scan_.n)
      before = forecast_.FirstSurvivor(index, a.start + 1, at, deaths_[index]) != -1;
  });
  if (before) return -1;
  // Nothing fires before the window's end: the waiting matches stay held back, and a match completed by
  // an entry after lead waits behind it. Neither may an entry before lead complete one, nor what follows
  // an attempt of such an entry that dies.
  for (int index = 0; index < lead; ++index) {
    if (table_.entries[index].state == kDisabled) continue;
    const Attempt &a = attempts_[index];
    const int from = engaged_.Contains(index) ? std::min(a.start + 1, scan_.pos) : scan_.pos;
    if (forecast_.EarliestCompletion(index, from, scan_.n - 1) >= 0) return -1;
  }
  return at;
}

void Shortcuts::SlidePlain(int pos, const sub_struct &e, Attempt &a) const {
  // The next start from which the text up to pos is the beginning of the pattern, as Slide finds it;
  // from a start that leaves more text than the pattern holds, the matcher meets the pattern's end.
  const int length = static_cast<int>(std::strlen(e.from));
  int start = a.start + 1;
  if (start < pos + 1 - length) start = pos + 1 - length;
  while (start <= pos && std::memcmp(window_ + start, e.from, static_cast<size_t>(pos - start + 1)) != 0)
    ++start;
  a.RestartAt(start);
}
