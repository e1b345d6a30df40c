// Walks every allocation failure of one engine operation: the operation is run again and again with its
// first, second, third ... allocation made to fail, until a run meets no failure. Each run must release
// everything it allocated, whether it failed or not.
#ifndef RUNEFLOW_TESTS_SUPPORT_ALLOCATION_WALK_H
#define RUNEFLOW_TESTS_SUPPORT_ALLOCATION_WALK_H

#include <gtest/gtest.h>

#include "engine/stream/allocator.h"

// One run of a walk: the operation under test sits between Arm and Disarm, its set-up before.
class AllocationStep {
 public:
  explicit AllocationStep(unsigned long failing) : failing_(failing) {}
  // From here on, the failing-th allocation fails.
  void Arm() {
    FailAllocationAt(failing_);
    armed_ = true;
  }
  // Allocations succeed again. True when the failure happened.
  bool Disarm() {
    if (armed_) failed_ = !AllocationFailurePending();
    armed_ = false;
    FailAllocationAt(0);
    return failed_;
  }
  unsigned long failing() const { return failing_; }
  bool failed() const { return failed_; }

 private:
  unsigned long failing_;  // which allocation after Arm fails
  bool armed_ = false;     // between Arm and Disarm
  bool failed_ = false;    // the allocation did fail
};

// Calls run(step) for failing = 1, 2, ... until a run's operation meets no failure, and checks that the
// engine's live allocations are back where they were after each run. Returns the number of allocations
// the operation makes when nothing fails.
template <class Run>
unsigned long WalkAllocationFailures(const char *what, Run run) {
  for (unsigned long failing = 1;; ++failing) {
    const long live = LiveAllocations();
    AllocationStep step(failing);
    run(step);
    step.Disarm();
    EXPECT_EQ(LiveAllocations(), live) << what << ": leak after failing allocation " << failing;
    if (!step.failed()) return failing - 1;
  }
}

#endif
