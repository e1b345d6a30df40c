// The firing log of a substitution stage: firings in an array searched only when a firing starts no
// later than an earlier one (text was given back), and the distinct sets of entry states seen in the
// window, so that a firing records its states as one index.
#include "engine/subst/firing_log.h"

#include <climits>
#include <cstring>

#include "engine/stream/allocator.h"

namespace {

// A copy of count elements of old in a buffer of capacity elements, or null; old is released on success.
template <class Element>
Element *Regrown(Element *old, size_t count, size_t capacity) {
  Element *grown = static_cast<Element *>(EngineAlloc(sizeof(Element) * capacity));
  if (grown == nullptr) return nullptr;
  if (count > 0) std::memcpy(grown, old, sizeof(Element) * count);
  EngineFree(old);
  return grown;
}

}  // namespace

FiringLog::~FiringLog() {
  EngineFree(firings_);
  EngineFree(states_);
  EngineFree(scratch_);
}

int FiringLog::Reserve(int count, int firingsWanted) {
  entryCount_ = count;
  EngineFree(scratch_);
  scratch_ = static_cast<unsigned char *>(EngineAlloc(static_cast<size_t>(count) + 1));
  if (scratch_ == nullptr) return 0;
  stateCount_ = 0;
  firingCount_ = 0;
  Firing *reserved = Regrown(firings_, 0, static_cast<size_t>(firingsWanted));
  if (reserved == nullptr) return 0;
  firings_ = reserved;
  firingCapacity_ = firingsWanted;
  unsigned char *reservedStates = Regrown(states_, 0, 2 * static_cast<size_t>(count) + 1);
  if (reservedStates == nullptr) return 0;
  states_ = reservedStates;
  stateCapacity_ = 2;
  return 1;
}

void FiringLog::Gather(const sub_struct *entries) {
  for (int index = 0; index < entryCount_; ++index)
    scratch_[index] = static_cast<unsigned char>(entries[index].state);
}

int FiringLog::Restart(const sub_struct *entries) {
  firingCount_ = 0;
  highestStart_ = -1;
  stateCount_ = 0;
  if (!GrowStates()) return 0;
  Gather(entries);
  std::memcpy(states_, scratch_, static_cast<size_t>(entryCount_));
  stateCount_ = 1;
  current_ = 0;
  return 1;
}

int FiringLog::Restate(const sub_struct *entries) {
  Gather(entries);
  const size_t size = static_cast<size_t>(entryCount_);
  if (std::memcmp(states_ + size * static_cast<size_t>(current_), scratch_, size) == 0) return 1;
  for (int index = 0; index < stateCount_; ++index) {
    if (std::memcmp(states_ + size * static_cast<size_t>(index), scratch_, size) == 0) {
      current_ = index;
      return 1;
    }
  }
  if (!GrowStates()) return 0;
  std::memcpy(states_ + size * static_cast<size_t>(stateCount_), scratch_, size);
  current_ = stateCount_++;
  return 1;
}

bool FiringLog::Contains(int entry, int start, int end) const {
  // Without given-back text every firing starts after the one before, so the search is rarely needed.
  if (start > highestStart_) return false;
  for (int index = firingCount_ - 1; index >= 0; --index) {
    const Firing &f = firings_[index];
    if (f.entry == entry && f.start == start && f.end == end && f.state == current_) return true;
  }
  return false;
}

int FiringLog::Add(int entry, int start, int end) {
  if (!GrowFirings()) return 0;
  firings_[firingCount_++] = Firing{entry, start, end, current_};
  if (start > highestStart_) highestStart_ = start;
  return 1;
}

int FiringLog::GrowFirings() {
  if (firingCount_ < firingCapacity_) return 1;
  if (firingCapacity_ > INT_MAX / 2) return 0;
  int capacity = firingCapacity_ > 0 ? 2 * firingCapacity_ : 16;
  Firing *grown = Regrown(firings_, static_cast<size_t>(firingCount_), static_cast<size_t>(capacity));
  if (grown == nullptr) return 0;
  firings_ = grown;
  firingCapacity_ = capacity;
  return 1;
}

int FiringLog::GrowStates() {
  if (stateCount_ < stateCapacity_) return 1;
  if (stateCapacity_ > INT_MAX / 2) return 0;
  int capacity = stateCapacity_ > 0 ? 2 * stateCapacity_ : 2;
  const size_t size = static_cast<size_t>(entryCount_);
  unsigned char *grown =
      Regrown(states_, static_cast<size_t>(stateCount_) * size, static_cast<size_t>(capacity) * size + 1);
  if (grown == nullptr) return 0;
  states_ = grown;
  stateCapacity_ = capacity;
  return 1;
}
