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
  EngineFree(firings);
  EngineFree(states);
  EngineFree(scratch);
}

void *FiringLog::operator new(size_t size, const std::nothrow_t &) noexcept { return EngineAlloc(size); }

void FiringLog::operator delete(void *memory) noexcept { EngineFree(memory); }

int FiringLog::Reserve(int count, int firingsWanted) {
  entryCount = count;
  EngineFree(scratch);
  scratch = static_cast<unsigned char *>(EngineAlloc(static_cast<size_t>(count) + 1));
  if (scratch == nullptr) return 0;
  stateCount = 0;
  firingCount = 0;
  Firing *reserved = Regrown(firings, 0, static_cast<size_t>(firingsWanted));
  if (reserved == nullptr) return 0;
  firings = reserved;
  firingCapacity = firingsWanted;
  unsigned char *reservedStates = Regrown(states, 0, 2 * static_cast<size_t>(count) + 1);
  if (reservedStates == nullptr) return 0;
  states = reservedStates;
  stateCapacity = 2;
  return 1;
}

void FiringLog::Gather(const sub_struct *entries) {
  for (int index = 0; index < entryCount; ++index)
    scratch[index] = static_cast<unsigned char>(entries[index].state);
}

int FiringLog::Restart(const sub_struct *entries) {
  firingCount = 0;
  highestStart = -1;
  stateCount = 0;
  if (!GrowStates()) return 0;
  Gather(entries);
  std::memcpy(states, scratch, static_cast<size_t>(entryCount));
  stateCount = 1;
  current = 0;
  return 1;
}

int FiringLog::Restate(const sub_struct *entries) {
  Gather(entries);
  const size_t size = static_cast<size_t>(entryCount);
  if (std::memcmp(states + size * static_cast<size_t>(current), scratch, size) == 0) return 1;
  for (int index = 0; index < stateCount; ++index) {
    if (std::memcmp(states + size * static_cast<size_t>(index), scratch, size) == 0) {
      current = index;
      return 1;
    }
  }
  if (!GrowStates()) return 0;
  std::memcpy(states + size * static_cast<size_t>(stateCount), scratch, size);
  current = stateCount++;
  return 1;
}

bool FiringLog::Contains(int entry, int start, int end) const {
  // Without given-back text every firing starts after the one before, so the search is rarely needed.
  if (start > highestStart) return false;
  for (int index = firingCount - 1; index >= 0; --index) {
    const Firing &f = firings[index];
    if (f.entry == entry && f.start == start && f.end == end && f.state == current) return true;
  }
  return false;
}

int FiringLog::Add(int entry, int start, int end) {
  if (!GrowFirings()) return 0;
  firings[firingCount++] = Firing{entry, start, end, current};
  if (start > highestStart) highestStart = start;
  return 1;
}

int FiringLog::GrowFirings() {
  if (firingCount < firingCapacity) return 1;
  if (firingCapacity > INT_MAX / 2) return 0;
  int capacity = firingCapacity > 0 ? 2 * firingCapacity : 16;
  Firing *grown = Regrown(firings, static_cast<size_t>(firingCount), static_cast<size_t>(capacity));
  if (grown == nullptr) return 0;
  firings = grown;
  firingCapacity = capacity;
  return 1;
}

int FiringLog::GrowStates() {
  if (stateCount < stateCapacity) return 1;
  if (stateCapacity > INT_MAX / 2) return 0;
  int capacity = stateCapacity > 0 ? 2 * stateCapacity : 2;
  const size_t size = static_cast<size_t>(entryCount);
  unsigned char *grown =
      Regrown(states, static_cast<size_t>(stateCount) * size, static_cast<size_t>(capacity) * size + 1);
  if (grown == nullptr) return 0;
  states = grown;
  stateCapacity = capacity;
  return 1;
}
