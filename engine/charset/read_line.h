// ReadLine: the line reader of set files and substitution-table files. Both are read the same way on
// every platform, in binary, with a carriage return before a line feed taken as part of the line end.
// A line holds at most kLineMax bytes before its line end, except a comment, which may be of any length.
#ifndef RUNEFLOW_ENGINE_CHARSET_READ_LINE_H
#define RUNEFLOW_ENGINE_CHARSET_READ_LINE_H

#include <cstdarg>
#include <cstdio>

#include "engine/stream/stream_obj.h"

const int kLineMax = 255;            // bytes of a line before its line end
const int kLineSize = kLineMax + 2;  // a line with its line feed and the terminating NUL
const char kCommentMark = '!';       // the first byte of a comment line, in both kinds of file

enum LineRead {
  kEndOfFile,  // nothing more to read (or a read error: ferror tells)
  kLine,       // a whole line
  kLongLine,   // a line of more than kLineMax bytes that is no comment: only its beginning was read
};

// Reads the next line into line (kLineSize bytes, NUL-terminated). A line ends after a line feed, which
// it keeps; a carriage return right before a line feed is dropped, every other byte is data. A comment
// longer than kLineMax bytes is read as its first kLineMax bytes and the rest of it is skipped; any other
// line that long gives kLongLine with its first kLineMax bytes in line.
LineRead ReadLine(FILE *file, char *line);

// Reports a refused line on sink in the form of every report about a line: the formatted message (which
// names the file and ends in a line feed), two blanks, the line as read and a line feed. When that does
// not fit in an error text, the middle of the line gives way to "...", so that its beginning and its end
// are still shown (the message keeps at least kLineShownMin characters of it; a longer message is cut
// at the end of the text as any report is).
void ReportLine(CStreamObj *sink, const char *line, const char *format, ...) RUNEFLOW_PRINTF(3, 4);
void ReportLineV(CStreamObj *sink, const char *line, const char *format, va_list args) RUNEFLOW_PRINTF(3, 0);
const int kLineShownMin = 40;

// Reports the long line number (counted from 1) of the file at path, whose beginning is in line, on sink
// in the form of every report about a line.
void ReportLongLine(CStreamObj *sink, const char *path, int number, const char *line);

#endif
