// Horizon: how far a search of the substitution stage's window for one kind of position has gone, so
// that the next search for the same kind from a later position goes on from there instead of starting
// over. Positions are kept as offsets in the stage's buffer, which stay true while the window moves on
// in it; Forget is for when the buffer's content itself moves.
#ifndef RUNEFLOW_ENGINE_SUBST_HORIZON_H
#define RUNEFLOW_ENGINE_SUBST_HORIZON_H

class Horizon {
 public:
  // The first window position from first up to end - 1 at which wanted(position) is true, else end.
  // base is the window's offset in the buffer; the window's bytes before end must not change while the
  // horizon is kept.
  template <class Wanted>
  int Next(int first, int end, int base, Wanted wanted) {
    const int from = base + first;
    const int until = base + end;
    int at = from;
    if (from_ >= 0 && from_ <= from && from <= to_) {
      if (found_) return to_ < until ? to_ - base : end;
      at = to_;  // nothing wanted from from_ up to to_
    } else {
      from_ = from;
      to_ = from;
      found_ = false;
    }
    for (; at < until; ++at) {
      if (wanted(at - base)) {
        to_ = at;
        found_ = true;
        return at - base;
      }
    }
    if (at > to_) to_ = at;
    return end;
  }
  void Forget() { from_ = -1; }

 private:
  int from_ = -1;       // offset where the search began; -1: none kept
  int to_ = -1;         // nothing wanted from from_ up to here
  bool found_ = false;  // and the position at to_ is wanted
};

#endif
