// Allocation through the C library, with a countdown that tests use to inject one failure.
#include "engine/stream/allocator.h"

#include <cstdlib>

namespace {
unsigned long allocationsUntilFailure = 0;  // 0: never fail; 1: the next allocation fails
unsigned long allocationCount = 0;          // allocations made since the last FailAllocationAt
}  // namespace

void *EngineAlloc(size_t size) {
  ++allocationCount;
  if (allocationsUntilFailure != 0 && --allocationsUntilFailure == 0) return nullptr;
  return std::malloc(size);
}

void EngineFree(void *memory) { std::free(memory); }

unsigned long FailAllocationAt(unsigned long n) {
  unsigned long made = allocationCount;
  allocationCount = 0;
  allocationsUntilFailure = n;
  return made;
}
