// RunFailure: how a stage stops its run once something failed (a write into the next queue, the
// environment, memory). Whatever failed reports the reason on the head stream first and then throws a
// RunFailure; the stage's Process catches it and returns 0. It never leaves Process, so the engine's
// callers see return codes only.
#ifndef RUNEFLOW_ENGINE_STREAM_RUN_FAILURE_H
#define RUNEFLOW_ENGINE_STREAM_RUN_FAILURE_H

struct RunFailure {};

#endif
