// The substitution stage's output buffer: bytes one at a time, runs of unmatched text copied in as far
// as the buffer has room, and every full buffer written on at once.
#include "engine/subst/stage_output.h"

#include <cstdio>
#include <cstring>

#include "engine/check.h"
#include "engine/stream/run_failure.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitute.h"

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

void StageOutput::PutDst(int c) {
  RUNEFLOW_ASSERT(stage_.outcount >= 0 && stage_.outcount <= static_cast<int>(kWorkSize));
  if (c != -1) {
    RUNEFLOW_ASSERT(stage_.outcount < static_cast<int>(kWorkSize));
    stage_.outbuf[stage_.outcount++] = static_cast<unsigned char>(c);
    if (stage_.outcount < static_cast<int>(kWorkSize)) return;
  }
  stage_.Write(stage_.outbuf, static_cast<unsigned int>(stage_.outcount));  // also when empty
  if (stage_.Error()) FailQueue();
  stage_.outcount = 0;
}

void StageOutput::putunmatched(int first, int end) {
  RUNEFLOW_ASSERT(first >= 0 && end <= stage_.windowsize);
  if (stage_.table->dropunmatched) return;
  // Copied into outbuf as far as it has room; a full outbuf goes out as PutDst would send it.
  while (first < end) {
    int chunk = static_cast<int>(kWorkSize) - stage_.outcount;
    if (chunk > end - first) chunk = end - first;
    std::memcpy(stage_.outbuf + stage_.outcount, stage_.window + first, static_cast<size_t>(chunk));
    stage_.outcount += chunk;
    first += chunk;
    if (stage_.outcount == static_cast<int>(kWorkSize)) PutDst(-1);
  }
}
