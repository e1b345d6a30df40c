// Allocation through the C library, with a countdown that tests use to inject one failure.
#include "engine/stream/allocator.h"

#include <cstdlib>
#include <cstring>

namespace {
unsigned long allocationsUntilFailure = 0;  // 0: never fail; 1: the next allocation fails
}  // namespace

void *EngineAlloc(size_t size) {
  if (allocationsUntilFailure != 0 && --allocationsUntilFailure == 0) return nullptr;
  return std::malloc(size);
}

void EngineFree(void *memory) { std::free(memory); }

char *EngineCopy(const char *text) {
  size_t size = std::strlen(text) + 1;
  char *copy = static_cast<char *>(EngineAlloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

void FailAllocationAt(unsigned long n) { allocationsUntilFailure = n; }
