// The line reader of set and table files: where lines end, the longest line read whole, comments of any
// length, and what a longer line that is no comment gives; the report about a line, which shows the line
// whole or, when it does not fit, its beginning and end.
#include "engine/charset/read_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/line_report.h"

namespace {

// What ReadLine gives for each line of bytes, as "kind:text" (kind L for kLine, T for kLongLine), up to
// the end of the file or the first long line.
std::vector<std::string> Lines(const std::string &bytes) {
  FILE *file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  std::vector<std::string> lines;
  char line[kLineSize];
  for (LineRead read; (read = ReadLine(file, line)) != kEndOfFile;) {
    lines.push_back((read == kLine ? "L:" : "T:") + std::string(line));
    if (read == kLongLine) break;
  }
  std::fclose(file);
  return lines;
}

TEST(ReadLine, SplitsLinesAndKeepsOrRefusesLongOnes) {
  const std::string full(kLineMax, 'x');
  const std::string comment = "!" + std::string(kLineMax, 'c');  // one byte over the limit
  struct Case {
    const char *what;
    std::string bytes;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"line feeds end lines and stay", "a\n\nb\n", {"L:a\n", "L:\n", "L:b\n"}},
      {"a last line without line end", "a\nb", {"L:a\n", "L:b"}},
      {"CR LF is a line end, a lone CR is data", "a\r\nb\rc\r", {"L:a\n", "L:b\rc\r"}},
      {"the longest line, with its line feed", full + "\nz\n", {"L:" + full + "\n", "L:z\n"}},
      {"the longest line, with CR LF", full + "\r\nz", {"L:" + full + "\n", "L:z"}},
      {"the longest line at the end of the file", full, {"L:" + full}},
      {"one byte more", full + "y\nz\n", {"T:" + full}},
      {"one byte more, a carriage return", full + "\r\r\n", {"T:" + full}},
      {"a long comment is one line",
       comment + std::string(5000, 'c') + "\n065\n",
       {"L:" + comment.substr(0, kLineMax), "L:065\n"}},
      {"a long comment at the end of the file", comment, {"L:" + comment.substr(0, kLineMax)}},
      {"a long comment ends at CR LF", comment + "\r\nz", {"L:" + comment.substr(0, kLineMax), "L:z"}},
  };
  for (const Case &c : cases) EXPECT_EQ(Lines(c.bytes), c.lines) << c.what;
}

TEST(ReadLine, ReportsALineWholeOrItsBeginningAndEnd) {
  const std::string start = "StreamObj: /tables/mine.sub: Illegal base\n";  // 43 characters
  const size_t room = kErrTextMax - start.size() - 3;  // for the line: two blanks and a line feed besides
  struct Case {
    const char *what;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"a short line", "abc\n"},
      {"a line that just fits", std::string(room - 1, 'a') + "\n"},
      {"a line one byte longer", "b" + std::string(room - 1, 'a') + "\n"},
      {"the longest line", "b" + std::string(kLineMax - 2, 'a') + "e\n"},
      {"the last line of a file, without line end", "b" + std::string(kLineMax - 2, 'a') + "e"},
  };
  for (const Case &c : cases) {
    CStreamObj sink;
    ReportLine(&sink, c.line.c_str(), "%s: Illegal base\n", "/tables/mine.sub");
    EXPECT_TRUE(ShowsLine(sink.m_errText, start, c.line)) << c.what;
  }
  // A message that leaves too little room for the line is cut at the end of the text, as any report.
  CStreamObj sink;
  const std::string path(200, 'p');
  const std::string line(100, 'l');
  ReportLine(&sink, line.c_str(), "%s: Illegal base\n", path.c_str());
  EXPECT_EQ(sink.m_errText, ("StreamObj: " + path + ": Illegal base\n  " + line + "\n").substr(0, kErrTextMax));
}

}  // namespace
