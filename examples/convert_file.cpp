// Passes a file through an engine pipeline to standard output: the smallest complete use of the API (a
// head stream and a conversion stage, filled from a file, run and emptied), shown in the README. With
// no character sets named the pipeline has no stage and copies the file unchanged.
#include <cstdio>

#include "engine/charset/convert.h"
#include "engine/stream/about.h"
#include "engine/stream/stream.h"

namespace {

// Why an object failed; only the very first report of an object can lack memory for its text.
const char *Reason(const CStreamObj &object) {
  return object.m_errText != nullptr ? object.m_errText : "out of memory\n";
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: convert_file FILE [FROM-SET TO-SET]\n%s", AboutMsg());
    return 2;
  }
  CStream head;  // the pipeline's head
  CConvert convert;
  const bool converting = argc == 4;
  if (converting) head.Add(&convert);
  // No name: the stages find their set files relative to the current directory.
  if (!head.Open(nullptr)) {
    std::fprintf(stderr, "convert_file: %s", Reason(head));
    return 1;
  }
  if (converting && !convert.Open(argv[2], argv[3])) {  // set problems are reported on the stage
    std::fprintf(stderr, "convert_file: %s", Reason(convert));
    return 1;
  }
  if (!head.ReadFile(argv[1]) ||                     // fill the pipeline
      !head.Close() ||                               // run every stage
      !head.WriteFile(stdout, "standard output")) {  // take the result out
    std::fprintf(stderr, "convert_file: %s", Reason(head));
    return 1;
  }
  return 0;
}
