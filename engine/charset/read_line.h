// ReadLine: the line reader of set files and substitution-table files. Both are read the same way on
// every platform, in binary, with a carriage return before a line feed taken as part of the line end.
#ifndef RUNEFLOW_ENGINE_CHARSET_READ_LINE_H
#define RUNEFLOW_ENGINE_CHARSET_READ_LINE_H

#include <cstddef>
#include <cstdio>

const int kLineMax = 255;  // bytes of one line read; the rest of a longer line is a line of its own

// Reads one line of at most kLineMax bytes into line (kLineMax + 1 bytes, NUL-terminated) and returns
// its length, 0 at the end of the file. A line ends after a line feed, which it keeps; a carriage return
// right before a line feed is dropped, every other byte is data.
size_t ReadLine(FILE *file, char *line);

#endif
