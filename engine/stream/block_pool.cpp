// The block pool: slabs of blocks, each with the list of its released blocks and a count of the blocks
// in use; the slabs that have a block to give form a list, and an index by address finds the slab of a
// block given back. One lock guards the pool, so that stream objects of several threads may share it.
#include "engine/stream/block_pool.h"

#include <atomic>
#include <cstring>
#include <functional>

#include "engine/stream/allocator.h"

namespace {

// Blocks per slab: about 64 KB, small enough for the C library to serve from its heap.
const int kSlabBlocks = 120;

struct Slab {
  Slab *prevOpen;             // neighbours in the list of slabs that have a block to give
  Slab *nextOpen;
  bool open;                  // in that list
  block_struct *released;     // blocks given back, linked through their next field
  int inUse;                  // blocks handed out and not given back
  int carved;                 // blocks handed out at least once; the rest were never touched
  block_struct blocks[kSlabBlocks];
};

struct Pool {
  std::atomic_flag busy = ATOMIC_FLAG_INIT;
  Slab *open = nullptr;       // first slab with a block to give
  Slab **slabs = nullptr;     // every slab, in ascending address order
  int slabCount = 0;
  int slabCapacity = 0;
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

// A new empty slab, listed as open and indexed; null when memory ran out.
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
  Slab *slab = static_cast<Slab *>(EngineStoreAlloc(sizeof(Slab)));
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

void FreeSlab(Slab *slab) {
  if (slab->open) Close(slab);
  const int at = IndexOf(slab);
  std::memmove(pool.slabs + at, pool.slabs + at + 1, sizeof(Slab *) * static_cast<size_t>(pool.slabCount - at - 1));
  --pool.slabCount;
  EngineStoreFree(slab);
  if (pool.slabCount == 0) {
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
  if (slab->released == nullptr && slab->carved == kSlabBlocks) Close(slab);
  return block;
}

void BlockPool::Give(block_struct *block) {
  if (block == nullptr) return;
  Lock lock;
  // The slab that holds the block is the last one that starts at or before it.
  Slab *slab = pool.slabs[IndexOf(block) - 1];
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
