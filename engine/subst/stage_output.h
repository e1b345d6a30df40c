// StageOutput: the substitution stage's way out. Bytes gather in the stage's outbuf and leave for the
// next object's queue in pieces of kWorkSize bytes, and when the run asks for a flush. Whatever fails
// during a run (a write that the next queue refuses, the environment, memory) is reported on the head
// stream through it and stops the run with a RunFailure, which the stage's Process catches.
#ifndef RUNEFLOW_ENGINE_SUBST_STAGE_OUTPUT_H
#define RUNEFLOW_ENGINE_SUBST_STAGE_OUTPUT_H

#include "engine/check.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitute.h"

class StageOutput {
 public:
  // Writes through stage's outbuf and outcount, which must be allocated; stage must outlive it.
  explicit StageOutput(CSubstitute &stage)
      : stage_(stage), outbuf_(stage.outbuf), window_(nullptr), reportTo_(nullptr) {}
  // Copies unmatched text from window, where the run's window now begins.
  void SetWindow(const unsigned char *window) { window_ = window; }

  // Starts a run whose failures are reported on target, with an empty outbuf.
  void Begin(CStreamObj &target);
  // Appends the byte c (0 to 255) to outbuf and writes outbuf on when it is full; c == -1 writes out
  // what outbuf holds, also when that is nothing.
  void PutDst(int c) {
    RUNEFLOW_ASSERT(stage_.outcount >= 0 && stage_.outcount <= static_cast<int>(kWorkSize));
    if (c != -1 && stage_.outcount < static_cast<int>(kWorkSize) - 1) {
      outbuf_[stage_.outcount++] = static_cast<unsigned char>(c);
      return;
    }
    PutAndWrite(c);
  }
  // Writes (or, when the table drops unmatched text, leaves out) the window bytes from first up to
  // end - 1.
  void putunmatched(int first, int end) {
    RUNEFLOW_ASSERT(first >= 0 && end <= stage_.windowsize && window_ != nullptr);
    if (first < end && !stage_.table->dropunmatched) CopyUnmatched(first, end);
  }
  // Reports message on the head stream and stops the run.
  [[noreturn]] void Fail(const char *message);
  // Reports "I/O error %d on stream" with the stage's error code (a read or a write of its queues
  // failed) and stops the run.
  [[noreturn]] void FailQueue();

 private:
  // PutDst when c fills outbuf or asks for a flush.
  void PutAndWrite(int c);
  // putunmatched when there is text to write.
  void CopyUnmatched(int first, int end);

  CSubstitute &stage_;
  unsigned char *outbuf_;        // the stage's
  const unsigned char *window_;  // where the run's window begins
  CStreamObj *reportTo_;         // the head stream of the present run
};

#endif
