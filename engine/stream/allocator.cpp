// Allocation through the C library, with a countdown that tests use to inject one failure and a count
// of live allocations that tests use to find leaks.
#include "engine/stream/allocator.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<unsigned long> allocationsUntilFailure{0};  // 0: never fail; 1: the next allocation fails
std::atomic<long> liveAllocations{0};                   // successful EngineAlloc calls not yet freed
}  // namespace

bool EngineCharge() {
  if (allocationsUntilFailure.load(std::memory_order_relaxed) != 0 &&
      allocationsUntilFailure.fetch_sub(1, std::memory_order_relaxed) == 1)
    return false;
  liveAllocations.fetch_add(1, std::memory_order_relaxed);
  return true;
}

void EngineDischarge() { liveAllocations.fetch_sub(1, std::memory_order_relaxed); }

void *EngineAlloc(size_t size) {
  if (!EngineCharge()) return nullptr;
  void *memory = std::malloc(size);
  if (memory == nullptr) EngineDischarge();
  return memory;
}

void EngineFree(void *memory) {
  if (memory == nullptr) return;
  EngineDischarge();
  std::free(memory);
}

void *EngineStoreAlloc(size_t size) { return std::malloc(size); }

void EngineStoreFree(void *memory) { std::free(memory); }

char *EngineCopy(const char *text) {
  size_t size = std::strlen(text) + 1;
  char *copy = static_cast<char *>(EngineAlloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

void FailAllocationAt(unsigned long n) { allocationsUntilFailure = n; }

bool AllocationFailurePending() { return allocationsUntilFailure != 0; }

long LiveAllocations() { return liveAllocations; }
