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
// Wildcard runs. A lone attempt inside its wildcard takes the following bytes at once while none of
// them is the byte after the wildcard, a terminator, outside the wildcard's subset or beyond its limit,
// and no entry may begin on them (WildcardRun): each of those passes would give the wildcard one byte
// and hold the text from the attempt's start back. The window's last byte is left to a pass, since a
// firing there depends on which entries the pass has seen.
//
// Plain entries (bytes only) are matched and slid by comparing bytes, which is what the general matcher
// does for them.
#include "engine/subst/shortcuts.h"

#include <cstring>

#include "engine/check.h"
#include "engine/subst/pattern_units.h"
#include "engine/subst/subst_tbl.h"

namespace {

bool shortcutsEnabled = true;

}  // namespace

void SetShortcutsForTesting(bool enabled) { shortcutsEnabled = enabled; }

bool ShortcutsEnabled() { return shortcutsEnabled; }

int Shortcuts::FirstBeginning(int p, int below) const {
  const unsigned char t = window_[p];
  int found = -1;
  const auto lowest = [&](int w, uint64_t bits) {
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
    if (!Doomed(plainEntries[i], p)) {
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

bool Shortcuts::MayBeginAt(int p, int below) const {
  if (p + 2 < scan_.n && !candidates_.AnyForTriple(window_[p], window_[p + 1], window_[p + 2])) return false;
  return FirstBeginning(p, below) >= 0;
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

int Shortcuts::WildcardRun(int index) const {
  const sub_struct &e = table_.entries[index];
  const Attempt &a = attempts_[index];
  if (a.waiting || a.start > scan_.pos || !a.InWildcard() || a.Exhausted(e)) return 0;
  const unsigned char *from = PatternBytes(e);
  const int k = a.PatternIndex(scan_.pos);  // the wildcard's code while it takes text
  if (!IsEscape(table_, from, k) || IsParameter(table_, from[k + 1]) || !IsWildcard(table_, from[k + 1]))
    return 0;
  // Only a plain byte after the wildcard is looked for here.
  if (from[k + 2] == '\0' || IsEscape(table_, from, k + 2)) return 0;
  const int after = from[k + 2];
  const int subset = e.subs[k];
  long long taken = a.taken;
  int p = scan_.pos;
  // Each byte is one the matcher would give the wildcard: not the byte after it, in its subset, no
  // terminator, the limit not reached, and no attempt of any entry can begin on it. The window's last
  // byte is left to a pass.
  for (; p < scan_.n - 1; ++p, ++taken) {
    const int t = window_[p];
    if (t == after || taken > e.wmax || (subset != 0 && !InSubset(textset_, t, subset))) break;
    if (e.term < 0 ? InSubset(textset_, t, -e.term) : t == e.term) break;
    if (MayBeginAt(p, table_.count)) break;
  }
  return p - scan_.pos;
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
