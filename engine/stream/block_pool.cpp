// The block pool: slabs of blocks, each with the list of its released blocks and a count of the blocks
// in use; the slabs that have a block to give form a list, and an index by address finds the slab of a
// block given back. One lock guards the pool, so that stream objects of several threads may share it.
#include "engine/stream/block_pool.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <functional>

#include "engine/check.h"
#include "engine/stream/allocator.h"

namespace {

// A pool starts with small slabs (about 64 KB, served from the C library's heap), so that a short text
// costs little; from kSmallSlabsBeforeLarge slabs on it takes large ones of kLargeSlabBytes, mapped from
// the system on a boundary of their size and, where the system has transparent huge pages, advised to
// use them: a queue of a large text then costs one page fault per 2 MB instead of one per 4 KB.
const int kSmallSlabBlocks = 120;
const int kSmallSlabsBeforeLarge = 32;
const size_t kLargeSlabBytes = 2u << 20;

struct Slab {
  Slab *prevOpen;             // neighbours in the list of slabs that have a block to give
  Slab *nextOpen;
  bool open;                  // in that list
  bool large;                 // mapped from the system, kLargeSlabBytes long
  block_struct *released;     // blocks given back, linked through their next field
  int inUse;                  // blocks handed out and not given back
  int carved;                 // blocks handed out at least once; the rest were never touched
  int capacity;               // blocks in the slab
  block_struct blocks[1];     // capacity blocks, the slab's memory running on past the declared one
};

const size_t kSlabHeader = offsetof(Slab, blocks);
const int kLargeSlabBlocks = static_cast<int>((kLargeSlabBytes - kSlabHeader) / sizeof(block_struct));

struct Pool {
  std::atomic_flag busy = ATOMIC_FLAG_INIT;
  Slab *open = nullptr;       // first slab with a block to give
  Slab **slabs = nullptr;     // every slab, in ascending address order
  int slabCount = 0;
  int slabCapacity = 0;
  Slab *spare = nullptr;      // an empty large slab kept for the next one needed, while blocks are in use
};

Pool pool;

class Lock {
 public:
  Lock() {
    while (pool.busy.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~Lock() { pool.busy.clear(std::memory_order_release); }
  Lock(const Lock &) = delete;
  Lock &operator=(const Lock &) = delete;
};

void Open(Slab *slab) {
  slab->open = true;
  slab->prevOpen = nullptr;
  slab->nextOpen = pool.open;
  if (pool.open != nullptr) pool.open->prevOpen = slab;
  pool.open = slab;
}

void Close(Slab *slab) {
  slab->open = false;
  if (slab->prevOpen != nullptr) slab->prevOpen->nextOpen = slab->nextOpen;
  if (slab->nextOpen != nullptr) slab->nextOpen->prevOpen = slab->prevOpen;
  if (pool.open == slab) pool.open = slab->nextOpen;
}

bool Before(const Slab *a, const void *b) { return std::less<const void *>()(a, b); }

// The position of slab (or where it belongs) in the index.
int IndexOf(const void *address) {
  int low = 0;
  int high = pool.slabCount;
  while (low < high) {
    const int middle = (low + high) / 2;
    if (Before(pool.slabs[middle], address)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

// Memory for a slab of the given kind, from the C library or, for a large one, mapped from the system.
Slab *AllocSlab(bool large) {
  void *memory = large ? EngineStoreMapLarge(kLargeSlabBytes)
                       : EngineStoreAlloc(kSlabHeader + sizeof(block_struct) * kSmallSlabBlocks);
  Slab *slab = static_cast<Slab *>(memory);
  if (slab == nullptr) return nullptr;
  slab->large = large;
  slab->capacity = large ? kLargeSlabBlocks : kSmallSlabBlocks;
  return slab;
}

void ReleaseSlab(Slab *slab) {
  if (slab->large) {
    EngineStoreUnmapLarge(slab, kLargeSlabBytes);
  } else {
    EngineStoreFree(slab);
  }
}

// A new empty slab, listed as open and indexed; null when memory ran out. A large slab is taken once the
// pool holds kSmallSlabsBeforeLarge slabs, the spare first; a small one when none can be had.
Slab *NewSlab() {
  if (pool.slabCount == pool.slabCapacity) {
    const int capacity = pool.slabCapacity > 0 ? 2 * pool.slabCapacity : 64;
    Slab **grown = static_cast<Slab **>(EngineStoreAlloc(sizeof(Slab *) * static_cast<size_t>(capacity)));
    if (grown == nullptr) return nullptr;
    if (pool.slabCount > 0) std::memcpy(grown, pool.slabs, sizeof(Slab *) * static_cast<size_t>(pool.slabCount));
    EngineStoreFree(pool.slabs);
    pool.slabs = grown;
    pool.slabCapacity = capacity;
  }
  Slab *slab = nullptr;
  if (pool.slabCount >= kSmallSlabsBeforeLarge) {
    slab = pool.spare != nullptr ? pool.spare : AllocSlab(true);
    pool.spare = nullptr;
  }
  if (slab == nullptr) slab = AllocSlab(false);
  if (slab == nullptr) return nullptr;
  slab->released = nullptr;
  slab->inUse = 0;
  slab->carved = 0;
  const int at = IndexOf(slab);
  std::memmove(pool.slabs + at + 1, pool.slabs + at, sizeof(Slab *) * static_cast<size_t>(pool.slabCount - at));
  pool.slabs[at] = slab;
  ++pool.slabCount;
  Open(slab);
  return slab;
}

// Takes an empty slab out of the pool. A large one is kept as the spare while other slabs are in use, so
// that a queue that grows again soon does not fault its pages in anew; everything goes back to the
// system once the pool holds no block.
void FreeSlab(Slab *slab) {
  if (slab->open) Close(slab);
  const int at = IndexOf(slab);
  std::memmove(pool.slabs + at, pool.slabs + at + 1, sizeof(Slab *) * static_cast<size_t>(pool.slabCount - at - 1));
  --pool.slabCount;
  if (slab->large && pool.spare == nullptr && pool.slabCount > 0) {
    pool.spare = slab;
  } else {
    ReleaseSlab(slab);
  }
  if (pool.slabCount == 0) {
    if (pool.spare != nullptr) ReleaseSlab(pool.spare);
    pool.spare = nullptr;
    EngineStoreFree(pool.slabs);
    pool.slabs = nullptr;
    pool.slabCapacity = 0;
  }
}

}  // namespace

block_struct *BlockPool::Take() {
  Lock lock;
  if (!EngineCharge()) return nullptr;
  Slab *slab = pool.open != nullptr ? pool.open : NewSlab();
  if (slab == nullptr) {
    EngineDischarge();
    return nullptr;
  }
  block_struct *block = slab->released;
  if (block != nullptr) {
    slab->released = block->next;
  } else {
    block = &slab->blocks[slab->carved++];
  }
  ++slab->inUse;
  if (slab->released == nullptr && slab->carved == slab->capacity) Close(slab);
  return block;
}

void BlockPool::Give(block_struct *block) {
  if (block == nullptr) return;
  Lock lock;
  // The slab that holds the block is the last one that starts at or before it.
  const int at = IndexOf(block);
  RUNEFLOW_ASSERT(at > 0);
  Slab *slab = pool.slabs[at - 1];
  RUNEFLOW_ASSERT(!std::less<const block_struct *>()(block, slab->blocks) &&
                  std::less<const block_struct *>()(block, slab->blocks + slab->capacity) && slab->inUse > 0);
  block->next = slab->released;
  slab->released = block;
  --slab->inUse;
  EngineDischarge();
  if (slab->inUse == 0) {
    FreeSlab(slab);
  } else if (!slab->open) {
    Open(slab);
  }
}
