// The line reader shared by the set-file and table-file readers, and its one report.
#include "engine/charset/read_line.h"

#include <cstring>

#include "engine/stream/runtime_class.h"

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

void ReportLine(CStreamObj *sink, const char *line, const char *format, ...) {
  va_list args;
  va_start(args, format);
  ReportLineV(sink, line, format, args);
  va_end(args);
}

void ReportLineV(CStreamObj *sink, const char *line, const char *format, va_list args) {
  char message[kErrTextMax + 1];
  std::vsnprintf(message, sizeof message, format, args);
  // The error text holds kErrTextMax characters after the class name (without its "C") and ": ".
  const size_t className = std::strlen(sink->GetRuntimeClass()->className);
  const size_t room = kErrTextMax - (className > 0 ? className - 1 : 0) - 2;
  const size_t lineLength = std::strlen(line);
  const size_t fixed = std::strlen(message) + 2 + 1;  // the message, two blanks, the final line feed
  const char kElision[] = "...";
  const size_t shown = room > fixed + sizeof kElision - 1 ? room - fixed - (sizeof kElision - 1) : 0;
  if (fixed + lineLength <= room || shown < static_cast<size_t>(kLineShownMin)) {
    sink->Eprintf("%s  %s\n", message, line);
    return;
  }
  // Two thirds from the beginning, which tells the line, and the rest from its end.
  const size_t head = shown * 2 / 3;
  const size_t tail = shown - head;
  sink->Eprintf("%s  %.*s%s%s\n", message, static_cast<int>(head), line, kElision, line + lineLength - tail);
}

void ReportLongLine(CStreamObj *sink, const char *path, int number, const char *line) {
  ReportLine(sink, line, "%s: Line %d is longer than %d characters\n", path, number, kLineMax);
}
