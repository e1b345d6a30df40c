// BlockPool: where the queues of every stream object take their blocks from and give them back. Blocks
// are carved from slabs of many blocks, so that a queue of a large text costs little more than the text
// itself (a separate allocation per block costs the C library's own bookkeeping on each), and a block a
// stage has read past is handed to the next queue that grows. A slab goes back to the C library as
// soon as none of its blocks is in use. Each block handed out counts as one engine allocation.
#ifndef RUNEFLOW_ENGINE_STREAM_BLOCK_POOL_H
#define RUNEFLOW_ENGINE_STREAM_BLOCK_POOL_H

#include "engine/stream/block_struct.h"

class BlockPool {
 public:
  // A block (its fields not set), or null when memory ran out or a test asked for a failure.
  static block_struct *Take();
  // Gives back a block from Take.
  static void Give(block_struct *block);
};

#endif
