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
  const long before = LiveAllocations();
  std::vector<block_struct *> blocks;
  for (int i = 0; i < 1000; ++i) {  // several slabs
    block_struct *block = BlockPool::Take();
    ASSERT_NE(block, nullptr);
    std::memset(block->data, i & 0xff, kBlockSize);
    block->used = static_cast<unsigned int>(i);
    blocks.push_back(block);
  }
  EXPECT_EQ(LiveAllocations() - before, 1000);
  EXPECT_EQ(std::set<block_struct *>(blocks.begin(), blocks.end()).size(), blocks.size());
  for (int i = 0; i < 1000; ++i) {  // no block overlaps another
    EXPECT_EQ(blocks[i]->used, static_cast<unsigned int>(i));
    EXPECT_EQ(blocks[i]->data[kBlockSize - 1], i & 0xff);
  }
  std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
  for (size_t i = 0; i < blocks.size() / 2; ++i) BlockPool::Give(blocks[i]);
  // Half given back: new blocks reuse them, and every block still held keeps its bytes.
  std::vector<block_struct *> again;
  for (int i = 0; i < 500; ++i) again.push_back(BlockPool::Take());
  for (size_t i = blocks.size() / 2; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i]->data[0], static_cast<unsigned char>(blocks[i]->used & 0xff));
  }
  for (size_t i = blocks.size() / 2; i < blocks.size(); ++i) BlockPool::Give(blocks[i]);
  for (block_struct *block : again) BlockPool::Give(block);
  EXPECT_EQ(LiveAllocations(), before);
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
