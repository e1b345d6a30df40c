// Copies a file through an engine pipeline to standard output: the smallest complete use of the API
// (a head stream, filled from a file, run, and emptied), shown in the README.
#include <cstdio>

#include "engine/stream/about.h"
#include "engine/stream/stream.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pipeline_copy FILE\n%s", AboutMsg());
    return 2;
  }
  CStream head;                   // the pipeline's head; stages would be added with head.Add(&stage)
  if (!head.Open(nullptr) ||      // no name: stages would find their files in the current directory
      !head.ReadFile(argv[1]) ||  // fill the pipeline
      !head.Close() ||            // run every stage
      !head.WriteFile(stdout, "standard output")) {  // take the result out
    std::fprintf(stderr, "pipeline_copy: %s", head.m_errText != nullptr ? head.m_errText : "out of memory\n");
    return 1;
  }
  return 0;
}
