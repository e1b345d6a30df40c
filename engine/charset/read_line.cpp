// The line reader shared by the set-file and table-file readers, and its one report.
#include "engine/charset/read_line.h"

#include "engine/stream/stream_obj.h"

namespace {

// The next byte, with a carriage return right before a line feed read as that line feed.
int NextByte(FILE *file) {
  int c = std::getc(file);
  if (c != '\r') return c;
  int following = std::getc(file);
  if (following == '\n') return '\n';
  if (following != EOF) std::ungetc(following, file);
  return c;
}

}  // namespace

LineRead ReadLine(FILE *file, char *line) {
  int length = 0;
  int c = EOF;
  while (length < kLineMax && (c = NextByte(file)) != EOF && c != '\n') line[length++] = static_cast<char>(c);
  if (length == kLineMax) c = NextByte(file);  // a whole line ends here, a longer one goes on
  if (c == '\n') line[length++] = '\n';
  line[length] = '\0';
  if (c == EOF || c == '\n') return length == 0 ? kEndOfFile : kLine;
  if (line[0] != kCommentMark) return kLongLine;
  while ((c = NextByte(file)) != EOF && c != '\n') {
  }
  return kLine;
}

void ReportLongLine(CStreamObj *sink, const char *path, int number, const char *line) {
  sink->Eprintf("%s: Line %d is longer than %d characters\n  %s\n", path, number, kLineMax, line);
}
