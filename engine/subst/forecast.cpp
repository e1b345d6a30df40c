// Forecasts of what an entry's attempt will do, made by looking ahead in the window. The matcher itself
// decides every byte that is not taken quietly, and the state of an attempt near its death is worked
// out, not guessed: see DoomOf.
#include "engine/subst/forecast.h"

#include <algorithm>
#include <cstring>

#include "engine/check.h"
#include "engine/subst/entry_candidates.h"
#include "engine/subst/matcher.h"
#include "engine/subst/pattern_units.h"

Forecast::Forecast(const CSubstTbl &table, const CCharSet &textset, const EntryCandidates &candidates,
                   const Matcher &matcher, const Scan &scan)
    : table_(table),
      textset_(textset),
      candidates_(candidates),
      matcher_(matcher),
      scan_(scan),
      window_(nullptr),
      base_(0),
      remembers_(true),
      shapes_() {}

void Forecast::ForgetPositions() {
  if (!remembers_) return;
  remembers_ = false;
  for (int index = 0; index < table_.count; ++index) {
    loud_[index].Forget();
    terminators_[index].Forget();
    prefixes_[index].Forget();
    afters_[index].Forget();
  }
}

const Forecast::Shape &Forecast::ShapeOf(int index) {
  Shape &shape = shapes_[index];
  if (shape.known) return shape;
  shape.known = true;
  const sub_struct &e = table_.entries[index];
  const unsigned char *from = PatternBytes(e);
  int k = 0;
  while (from[k] != '\0' && !IsWildcardAt(table_, from, k)) {
    k += IsEscape(table_, from, k) ? 2 : 1;
    ++shape.prefixUnits;
  }
  shape.wildcard = from[k] != '\0' ? k : -1;
  const auto opening = [&](int unit, unsigned char *opens) {
    for (int t = 0; t < 256; ++t) {
      if (UnitMayTake(table_, textset_, e, unit, t))
        opens[t / 8] = static_cast<unsigned char>(opens[t / 8] | (1u << (t % 8)));
    }
  };
  if (shape.prefixUnits > 0) opening(0, shape.opensPrefix);
  if (shape.wildcard < 0) {
    shape.usable = true;
    return shape;
  }
  shape.after = k + 2;
  for (k = shape.after; from[k] != '\0'; k += IsEscape(table_, from, k) ? 2 : 1) {
    if (IsWildcardAt(table_, from, k)) return shape;  // a second wildcard code (a set lacking the codes)
    ++shape.afterUnits;
  }
  if (shape.prefixUnits == 0 || shape.afterUnits == 0) return shape;  // a wildcard first or last: likewise
  opening(shape.after, shape.opensAfter);
  const int subset = e.subs[shape.wildcard];
  for (int t = 0; t < 256; ++t) {
    const bool quiet = !UnitMayTake(table_, textset_, e, shape.after, t) && !Terminates(textset_, e, t) &&
                       (subset == 0 || InSubset(textset_, t, subset));
    if (quiet) shape.quiet[t / 8] = static_cast<unsigned char>(shape.quiet[t / 8] | (1u << (t % 8)));
  }
  shape.usable = true;
  return shape;
}

bool Forecast::UnitsTake(const sub_struct &e, int k, int units, int p) const {
  RUNEFLOW_ASSERT(p + units <= scan_.n);
  const unsigned char *from = PatternBytes(e);
  for (int unit = 0; unit < units; ++unit, k += IsEscape(table_, from, k) ? 2 : 1) {
    if (!UnitMayTake(table_, textset_, e, k, window_[p + unit])) return false;
  }
  return true;
}

int Forecast::FirstOccurrence(Horizon &horizon, int index, int k, int units, const unsigned char *opens,
                              int first, int last) {
  if (last < first) return -1;
  remembers_ = true;
  const sub_struct &e = table_.entries[index];
  const int at = horizon.Next(first, last + 1, base_,
                              [&](int p) { return IsQuiet(opens, window_[p]) && UnitsTake(e, k, units, p); });
  return at <= last ? at : -1;
}

bool Forecast::Survives(int index, Attempt &t, int pos) {
  const sub_struct &e = table_.entries[index];
  const Shape &shape = ShapeOf(index);
  const bool jumps = shape.usable && shape.wildcard >= 0;
  // Invariant: the attempt from t.start takes every byte before p.
  for (int p = t.start; p <= pos;) {
    if (jumps && t.InWildcard() && !t.Exhausted(e) && t.PatternIndex(p) == shape.wildcard) {
      // On its wildcard: the bytes it takes quietly, as many as its limit leaves room for, are taken at
      // once.
      const int stop =
          static_cast<int>(std::min<long long>(pos + 1, p + (static_cast<long long>(e.wmax) - t.taken + 1)));
      const unsigned char *quiet = shape.quiet;
      remembers_ = true;
      const int loud = loud_[index].Next(p, stop, base_, [&](int x) { return !IsQuiet(quiet, window_[x]); });
      if (loud > p) {
        t.taken += loud - p;
        p = loud;
        continue;
      }
    }
    if (!matcher_.match(p, e, t)) return false;
    ++p;
  }
  return true;
}

int Forecast::FirstSurvivor(int index, int first, int last, int pos) {
  const int kMostStarts = 4096;  // starts looked at before giving up
  for (int q = first; q <= last; ++q) {
    if (q - first >= kMostStarts) return kUnknown;
    if (((candidates_.ForFirst(window_[q])[index / 64] >> (index % 64)) & 1u) == 0) continue;
    Attempt t;
    t.RestartAt(q);
    if (Survives(index, t, pos)) return q;
  }
  return -1;
}

void Forecast::Slide(int index, int pos, Attempt &a) {
  // Invariant: no start from a.start + 1 up to q keeps the attempt.
  for (int q = a.start + 1; q <= pos; ++q) {
    if (((candidates_.ForFirst(window_[q])[index / 64] >> (index % 64)) & 1u) == 0) continue;
    Attempt t;
    t.RestartAt(q);
    if (Survives(index, t, pos)) {
      a = t;
      return;
    }
  }
  a.RestartAt(pos + 1);
}

Forecast::Doom Forecast::DoomOf(int index, const Attempt &a) {
  const Doom unsure{false, 0};
  const sub_struct &e = table_.entries[index];
  const Shape &shape = ShapeOf(index);
  if (!shape.usable || shape.wildcard < 0 || e.wsubset != 0 || e.subs[shape.wildcard] != 0) return unsure;
  if (a.waiting || !a.InWildcard()) return unsure;
  const int pos = scan_.pos;
  if (a.Exhausted(e)) return Doom{true, pos};  // refused at once, and it cannot extend
  // Where the rest of the pattern is aligned now: at pos while the attempt is on its wildcard, else
  // where its partial match began.
  const unsigned char *from = PatternBytes(e);
  const int k = a.PatternIndex(pos);
  int matched = 0;
  if (k != shape.wildcard) {
    for (int at = shape.after; at < k; at += IsEscape(table_, from, at) ? 2 : 1) ++matched;
  }
  const int alignment = pos - matched;
  const long long textStart = static_cast<long long>(a.start) + shape.prefixUnits;  // of the wildcard's text
  // The rest completes only where it occurs whole, the wildcard's text then no longer than its limit.
  const long long lastAlignment = std::min<long long>(textStart + e.wmax, scan_.n - shape.afterUnits);
  if (lastAlignment >= alignment &&
      FirstOccurrence(afters_[index], index, shape.after, shape.afterUnits, shape.opensAfter, alignment,
                      static_cast<int>(lastAlignment)) >= 0)
    return unsure;
  // It dies where its wildcard reaches its limit or a terminator; only the last units before that depend
  // on partial matches of the rest. From the bytes before, the attempt's state is known: every byte
  // taken by the wildcard (no alignment that begins earlier can still be alive after the pattern's rest
  // has had its length of bytes), so the matcher takes over from a state made up there.
  remembers_ = true;
  const int terminator = terminators_[index].Next(alignment, scan_.n, base_,
                                                  [&](int x) { return Terminates(textset_, e, window_[x]); });
  const long long madeUpAt = std::min(textStart + e.wmax - shape.afterUnits - 2,
                                      static_cast<long long>(terminator) - shape.afterUnits - 1);
  Attempt dying = a;
  int x = pos;
  if (madeUpAt > pos) {
    dying.RestartAt(a.start);
    dying.taken = static_cast<int>(madeUpAt - textStart);
    dying.lead = shape.wildcard - shape.prefixUnits + 1;
    x = static_cast<int>(madeUpAt);
  }
  // As the passes test it: taken, extended, or refused and slid on.
  for (; x < scan_.n; ++x) {
    if (matcher_.match(x, e, dying)) {
      if (e.from[dying.PatternIndex(x) + 1] == '\0') return unsure;  // complete after all
      continue;
    }
    if (!dying.InWildcard() || dying.Exhausted(e)) return Doom{true, x};
    matcher_.Extend(x, e, dying);
  }
  return Doom{true, scan_.n};
}

int Forecast::EarliestCompletion(int index, int first, int last) {
  const sub_struct &e = table_.entries[index];
  if (e.from[0] == '\0') return -1;  // an empty pattern never matches
  const Shape &shape = ShapeOf(index);
  if (!shape.usable) return first;
  last = std::min(last, scan_.n - 1);
  // The units before the wildcard (all of them without one) stand somewhere from first on...
  const int begins = FirstOccurrence(prefixes_[index], index, 0, shape.prefixUnits, shape.opensPrefix, first,
                                     last - shape.prefixUnits + 1);
  if (begins < 0) return -1;
  if (shape.wildcard < 0) return begins + shape.prefixUnits - 1;
  // ...and the units after it somewhere after those.
  const int rest = FirstOccurrence(afters_[index], index, shape.after, shape.afterUnits, shape.opensAfter,
                                   begins + shape.prefixUnits, last - shape.afterUnits + 1);
  return rest < 0 ? -1 : rest + shape.afterUnits - 1;
}
