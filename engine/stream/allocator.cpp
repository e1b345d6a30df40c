// Allocation through the C library, with a countdown that tests use to inject one failure and a count
// of live allocations that tests use to find leaks.
#include "engine/stream/allocator.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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

#if defined(__linux__)

void *EngineStoreMapLarge(size_t size) {
  // Mapped with room to spare, then cut to the aligned piece.
  void *mapped =
      mmap(nullptr, size + kHugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kHugePageBytes - 1) & ~static_cast<uintptr_t>(kHugePageBytes - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t end = start + size + kHugePageBytes;
  if (end > aligned + size) munmap(reinterpret_cast<void *>(aligned + size), end - (aligned + size));
  madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void *>(aligned);
}

void EngineStoreUnmapLarge(void *memory, size_t size) { munmap(memory, size); }

#else

void *EngineStoreMapLarge(size_t size) { return std::malloc(size); }

void EngineStoreUnmapLarge(void *memory, size_t) { std::free(memory); }

#endif

char *EngineCopy(const char *text) {
  size_t size = std::strlen(text) + 1;
  char *copy = static_cast<char *>(EngineAlloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

char *EngineZeroed(size_t size) {
  char *zeroed = static_cast<char *>(EngineAlloc(size));
  if (zeroed != nullptr) std::memset(zeroed, 0, size);
  return zeroed;
}

void FailAllocationAt(unsigned long n) { allocationsUntilFailure = n; }

bool AllocationFailurePending() { return allocationsUntilFailure != 0; }

long LiveAllocations() { return liveAllocations; }
