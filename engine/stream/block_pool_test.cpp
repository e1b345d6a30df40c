// The block pool hands out distinct, writable blocks across many slabs, takes them back in any order,
// counts each block as one engine allocation (live count and injected failures), and returns to
// holding nothing once every block is back.
#include "engine/stream/block_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "engine/stream/allocator.h"

namespace {

TEST(BlockPool, HandsOutDistinctBlocksAndTakesThemBackInAnyOrder) {
  // A few small slabs, and enough blocks for the pool to go on to large slabs (and keep a spare one).
  for (int count : {1000, 12000}) {
    const long before = LiveAllocations();
    std::vector<block_struct *> blocks;
    for (int i = 0; i < count; ++i) {
      block_struct *block = BlockPool::Take();
      ASSERT_NE(block, nullptr);
      std::memset(block->data, i & 0xff, kBlockSize);
      block->used = static_cast<unsigned int>(i);
      blocks.push_back(block);
    }
    EXPECT_EQ(LiveAllocations() - before, count);
    EXPECT_EQ(std::set<block_struct *>(blocks.begin(), blocks.end()).size(), blocks.size());
    for (int i = 0; i < count; ++i) {  // no block overlaps another
      ASSERT_EQ(blocks[i]->used, static_cast<unsigned int>(i));
      ASSERT_EQ(blocks[i]->data[kBlockSize - 1], i & 0xff);
    }
    // The first half given back in the order it was taken, which empties whole slabs, then a quarter at
    // random: new blocks reuse them, and every block still held keeps its bytes.
    const size_t half = blocks.size() / 2;
    for (size_t i = 0; i < half; ++i) BlockPool::Give(blocks[i]);
    std::shuffle(blocks.begin() + half, blocks.end(), std::mt19937(7));
    const size_t quarter = half + blocks.size() / 4;
    for (size_t i = half; i < quarter; ++i) BlockPool::Give(blocks[i]);
    std::vector<block_struct *> again;
    for (size_t i = 0; i < quarter; ++i) {
      again.push_back(BlockPool::Take());
      ASSERT_NE(again.back(), nullptr);
      std::memset(again.back()->data, 0x5a, kBlockSize);
    }
    for (size_t i = quarter; i < blocks.size(); ++i) {
      ASSERT_EQ(blocks[i]->data[0], static_cast<unsigned char>(blocks[i]->used & 0xff));
      BlockPool::Give(blocks[i]);
    }
    for (block_struct *block : again) BlockPool::Give(block);
    EXPECT_EQ(LiveAllocations(), before);
  }
}

TEST(BlockPool, ATakeCountsAsOneAllocationForInjectedFailures) {
  const long before = LiveAllocations();
  block_struct *first = BlockPool::Take();
  FailAllocationAt(2);
  block_struct *second = BlockPool::Take();
  block_struct *third = BlockPool::Take();
  FailAllocationAt(0);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(third, nullptr);
  EXPECT_EQ(LiveAllocations() - before, 2);
  BlockPool::Give(second);
  BlockPool::Give(first);
  BlockPool::Give(nullptr);
  EXPECT_EQ(LiveAllocations(), before);
}

}  // namespace
