// Fuzzes character-set files: the input is the whole file, loaded as a conversion stage loads its sets.
// A load either succeeds and leaves a consistent set with no line longer than the limit but comments, or
// fails with one report about the file on the stage; loading again, with one allocation failing, gives the
// same or reports the lack of memory, and the file with its comments cut short loads the same.
#include <string>

#include "engine/charset/charset.h"
#include "engine/charset/convert.h"
#include "engine/stream/allocator.h"
#include "engine/stream/stream.h"
#include "fuzz/invariants.h"
#include "fuzz/support.h"

namespace {

// What a load left: its result and the set, or its report.
std::string Outcome(CCharSet &set, CStreamObj &sink) {
  ClearReport(sink);
  if (set.Open(&sink, "fuzz") != 1) return "failed: " + CheckReport(sink, "set load");
  CheckNoReport(sink, "set load");
  CheckLoadedSet(set);
  return SetDigest(set);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file(reinterpret_cast<const char *>(data), size);
  WriteScratch("fuzz.chs", file);
  CStream head;
  CConvert stage;
  head.Add(&stage);
  head.Open(ScratchDir().c_str());
  stage.Eprintf("ready");  // the report's buffer exists before any allocation is made to fail

  CCharSet set;
  const std::string outcome = Outcome(set, stage);
  const std::string path = ScratchDir() + "/fuzz.chs";
  Check(set.filename != nullptr && path == set.filename, "set file resolved to %s", set.filename);
  Check(outcome.rfind("failed: ", 0) != 0 || outcome.rfind("failed: " + path + ": ", 0) == 0,
        "a refused set file is not named first: %s", outcome.c_str());
  CheckNoReport(head, "set load");

  // Loaded again with one allocation failing: the load starts over and gives the same outcome, or it
  // reports the lack of memory.
  int defined = 0;
  for (int value = 0; value < 256 && set.chars != nullptr; ++value)
    defined += set.chars[value].value == value;
  FailAllocationAt(1 + size % static_cast<size_t>(defined + 4));
  const std::string again = Outcome(set, stage);
  FailAllocationAt(0);
  Check(again == outcome || again.find("Memory allocation error") != std::string::npos,
        "loading again gives: %s", again.c_str());

  Check(outcome.rfind("failed: ", 0) == 0 || !HasLongLine(file), "a line that is too long was loaded");
  WriteScratch("fuzz.chs", WithShortComments(file));
  const std::string shortened = Outcome(set, stage);
  Check(shortened == outcome, "with comments cut short the load gives: %s", shortened.c_str());
  return 0;
}
