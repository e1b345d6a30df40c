// Reads an engine object's queue to its end, the way a client empties a pipeline.
#ifndef RUNEFLOW_TESTS_SUPPORT_DRAIN_H
#define RUNEFLOW_TESTS_SUPPORT_DRAIN_H

#include <string>

#include "engine/stream/stream_obj.h"

// Everything left in the queue, read in odd-sized pieces so that reads end inside blocks.
inline std::string Drain(CStreamObj &object) {
  std::string text;
  char buffer[123];
  while (unsigned n = object.Read(buffer, sizeof buffer)) text.append(buffer, n);
  return text;
}

#endif
