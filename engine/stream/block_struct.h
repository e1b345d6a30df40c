// One block of a stream object's input queue. Queues grow a block at a time, so text that is already
// queued is never moved; blocks are released as soon as a consuming read has passed them.
#ifndef RUNEFLOW_ENGINE_STREAM_BLOCK_STRUCT_H
#define RUNEFLOW_ENGINE_STREAM_BLOCK_STRUCT_H

const unsigned int kBlockSize = 500;  // bytes of text per queue block

struct block_struct {
  unsigned char data[kBlockSize];  // the text bytes
  unsigned int used;               // bytes written into data, 0..kBlockSize
  unsigned int readpos;            // bytes of data already read, 0..used
  block_struct *prev;              // block before this one; null for the first
  block_struct *next;              // block after this one; null for the last
};

#endif
