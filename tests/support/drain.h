// Reads an engine object's queue to its end, the way a client empties a pipeline, and runs a whole
// pipeline over a text.
#ifndef RUNEFLOW_TESTS_SUPPORT_DRAIN_H
#define RUNEFLOW_TESTS_SUPPORT_DRAIN_H

#include <string>

#include "engine/stream/stream.h"

// Everything left in the queue, read in odd-sized pieces so that reads end inside blocks.
inline std::string Drain(CStreamObj &object) {
  std::string text;
  char buffer[123];
  while (unsigned n = object.Read(buffer, sizeof buffer)) text.append(buffer, n);
  return text;
}

// One run of the pipeline behind head over text: written into the head, run by Close and drained from
// the head. The result, or the head's error text after "failed: ".
inline std::string RunPipeline(CStream &head, const std::string &text) {
  head.Write(text.data(), static_cast<unsigned>(text.size()));
  if (!head.Close()) return std::string("failed: ") + (head.m_errText != nullptr ? head.m_errText : "");
  return Drain(head);
}

#endif
