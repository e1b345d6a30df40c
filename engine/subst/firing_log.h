// FiringLog: the firings a substitution stage made over its present window. A table may give back text
// that it has already replaced, so that the same entry would fire at the same place again and again; the
// stage refuses a firing that exactly repeats an earlier one (same entry, same text, same end, and every
// entry enabled or disabled as it was then), which bounds the work of every window.
#ifndef RUNEFLOW_ENGINE_SUBST_FIRING_LOG_H
#define RUNEFLOW_ENGINE_SUBST_FIRING_LOG_H

#include "engine/subst/sub_struct.h"

class FiringLog {
 public:
  FiringLog() = default;
  ~FiringLog();
  FiringLog(const FiringLog &) = delete;
  FiringLog &operator=(const FiringLog &) = delete;

  // Makes room for the states of count entries and for the firings of an ordinary window, so that a
  // run needs no memory unless a table keeps giving text back. Returns 0 when memory runs out.
  int Reserve(int count, int firings_);
  // Forgets every firing: a new window begins, with the entries' present states as its first state.
  int Restart(const sub_struct *entries);
  // Forgets every firing, keeping the states: for a new window when no states changed since Restart.
  void Forget() {
    firingCount_ = 0;
    highestStart_ = -1;
  }
  // Notes the entries' present states after a firing that may have switched groups. Returns 0 when
  // memory runs out.
  int Restate(const sub_struct *entries);
  // The latest start of any firing logged since the window began; -1 when there is none.
  int HighestStart() const { return highestStart_; }
  // Whether entry has fired over the text from start, ending at end, in the present states.
  bool Contains(int entry, int start, int end) const;
  // Records that entry fires over the text from start, ending at end, in the present states. Returns 0
  // when memory runs out.
  int Add(int entry, int start, int end);

 private:
  struct Firing {
    int entry;
    int start;
    int end;
    int state;  // index of the states it fired in
  };
  // Copies the states of the entryCount_ entries into scratch_.
  void Gather(const sub_struct *entries);
  // Makes room for one more firing or one more set of states; 0 when memory runs out.
  int GrowFirings();
  int GrowStates();

  Firing *firings_ = nullptr;
  int firingCount_ = 0;
  int firingCapacity_ = 0;
  int highestStart_ = -1;            // the largest start of any logged firing
  unsigned char *states_ = nullptr;  // stateCount_ sets of entryCount_ states, each as one byte
  int stateCount_ = 0;
  int stateCapacity_ = 0;
  int entryCount_ = 0;
  int current_ = 0;                   // the set that holds the present states
  unsigned char *scratch_ = nullptr;  // entryCount_ bytes
};

#endif
