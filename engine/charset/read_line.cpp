// The line reader shared by the set-file and table-file readers.
#include "engine/charset/read_line.h"

size_t ReadLine(FILE *file, char *line) {
  size_t length = 0;
  while (length < static_cast<size_t>(kLineMax)) {
    int c = std::getc(file);
    if (c == EOF) break;
    if (c == '\r') {
      int following = std::getc(file);
      if (following == '\n') {
        c = '\n';
      } else if (following != EOF) {
        std::ungetc(following, file);
      }
    }
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line[length] = '\0';
  return length;
}
