// The substitution stage's output buffer: bytes one at a time, runs of unmatched text copied in as far
// as the buffer has room, and every full buffer written on at once.
#include "engine/subst/stage_output.h"

#include <cstdio>
#include <cstring>

#include "engine/stream/run_failure.h"

void StageOutput::Begin(CStreamObj &target) {
  reportTo_ = &target;
  stage_.outcount = 0;  // what a failed run left in outbuf is not this run's
}

void StageOutput::Fail(const char *message) {
  reportTo_->Eprintf("%s", message);
  throw RunFailure();
}

void StageOutput::FailQueue() {
  char message[48];
  std::snprintf(message, sizeof message, "I/O error %d on stream\n", stage_.Error());
  Fail(message);
}

void StageOutput::PutAndWrite(int c) {
  if (c != -1) {
    RUNEFLOW_ASSERT(stage_.outcount < static_cast<int>(kWorkSize));
    outbuf_[stage_.outcount++] = static_cast<unsigned char>(c);
    if (stage_.outcount < static_cast<int>(kWorkSize)) return;
  }
  stage_.Write(outbuf_, static_cast<unsigned int>(stage_.outcount));  // also when empty
  if (stage_.Error()) FailQueue();
  stage_.outcount = 0;
}

void StageOutput::CopyUnmatched(int first, int end) {
  // Copied into outbuf as far as it has room; a full outbuf goes out as PutDst would send it.
  while (first < end) {
    int chunk = static_cast<int>(kWorkSize) - stage_.outcount;
    if (chunk > end - first) chunk = end - first;
    std::memcpy(outbuf_ + stage_.outcount, window_ + first, static_cast<size_t>(chunk));
    stage_.outcount += chunk;
    first += chunk;
    if (stage_.outcount == static_cast<int>(kWorkSize)) PutAndWrite(-1);
  }
}
