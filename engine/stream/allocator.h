// The one place where the engine obtains and releases memory: queue blocks, work buffers, error texts,
// names and tables all come from here. A test can make the n-th allocation fail, so that every
// out-of-memory path of the engine can be walked in turn, and can count what is not yet released.
#ifndef RUNEFLOW_ENGINE_STREAM_ALLOCATOR_H
#define RUNEFLOW_ENGINE_STREAM_ALLOCATOR_H

#include <cstddef>

// Memory from the C library's allocator, or null when it has none (or a test asked for a failure).
void *EngineAlloc(size_t size);
// Releases memory from EngineAlloc; null is ignored.
void EngineFree(void *memory);
// A copy of the NUL-terminated text from EngineAlloc, or null.
char *EngineCopy(const char *text);
// size zero bytes from EngineAlloc, or null.
char *EngineZeroed(size_t size);

// For memory the engine hands out from a store of its own (queue blocks): each piece handed out counts
// as one allocation, both for an injected failure and for the live count. EngineCharge returns false
// when this allocation is to fail; EngineDischarge undoes one successful charge.
bool EngineCharge();
void EngineDischarge();
// The store's own memory, from the C library and not counted; null when there is none.
void *EngineStoreAlloc(size_t size);
void EngineStoreFree(void *memory);
// Large pieces of the store: size bytes (a multiple of kHugePageBytes) on a boundary of kHugePageBytes,
// mapped from the system where it maps memory, and advised to use transparent huge pages where the
// system has them; null when there is no memory. Released with the same size.
const size_t kHugePageBytes = 2u << 20;
void *EngineStoreMapLarge(size_t size);
void EngineStoreUnmapLarge(void *memory, size_t size);

// Test hook: the n-th allocation from now fails (n >= 1); 0 switches failures off. Later allocations
// succeed again.
void FailAllocationAt(unsigned long n);
// Test hook: true while the failure asked for by FailAllocationAt has not happened yet.
bool AllocationFailurePending();
// Test hook: allocations made and not yet released, over the whole process.
long LiveAllocations();

#endif
