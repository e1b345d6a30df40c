// ShowsLine: what the tests of the set and table readers expect of a report about a line. The report
// holds the whole line when it fits in an error text; otherwise the middle of the line gives way to
// "...", and its beginning and its end (line end included) are still there.
#ifndef RUNEFLOW_TESTS_SUPPORT_LINE_REPORT_H
#define RUNEFLOW_TESTS_SUPPORT_LINE_REPORT_H

#include <gtest/gtest.h>

#include <string>

#include "engine/stream/stream_obj.h"

// Whether text is the report of line after start (class name, path and message, line feed included).
inline ::testing::AssertionResult ShowsLine(const std::string &text, const std::string &start,
                                            const std::string &line) {
  const std::string whole = start + "  " + line + "\n";
  if (whole.size() <= kErrTextMax) {
    if (text == whole) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the whole line is not shown: " << text;
  }
  const std::string beginning = start + "  " + line.substr(0, 40);
  const std::string end = line.substr(line.size() - 20) + "\n";
  const bool shown = text.size() == kErrTextMax && text.compare(0, beginning.size(), beginning) == 0 &&
                     text.find("...", beginning.size()) != std::string::npos &&
                     text.compare(text.size() - end.size(), end.size(), end) == 0;
  if (shown) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the line's beginning and end are not shown: " << text;
}

#endif
