// Fuzzes substitution-table files: the input is the whole file, written in the built-in set and loaded
// for a text in the built-in set and in the shipped latin1 set, with a substitution stage as error sink.
// A load either succeeds and leaves a consistent table with no line longer than the limit but comments,
// or fails with one report about the file on the stage; loading again, with one allocation failing, gives
// the same or reports the lack of memory, and the file with its comments cut short loads the same.
#include <string>

#include "engine/charset/builtin_charset.h"
#include "engine/stream/allocator.h"
#include "engine/stream/stream.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitute.h"
#include "fuzz/invariants.h"
#include "fuzz/support.h"

namespace {

// What a load left: the table, or the report.
std::string Outcome(CSubstTbl &table, CStreamObj &sink, CCharSet *textSet) {
  ClearReport(sink);
  if (table.Open(&sink, "fuzz", textSet, BuiltinCharSet()) != 1)
    return "failed: " + CheckReport(sink, "table load");
  CheckNoReport(sink, "table load");
  CheckLoadedTable(table);
  return TableDigest(table);
}

void Load(const std::string &file, CCharSet *textSet) {
  WriteScratch("fuzz.sub", file);
  CStream head;
  CSubstitute stage;
  head.Add(&stage);
  head.Open(ScratchDir().c_str());
  stage.Eprintf("ready");  // the report's buffer exists before any allocation is made to fail

  CSubstTbl table;
  const std::string outcome = Outcome(table, stage, textSet);
  const std::string path = ScratchDir() + "/fuzz.sub";
  Check(table.filename != nullptr && path == table.filename, "table file resolved to %s", table.filename);
  Check(outcome.rfind("failed: ", 0) != 0 || outcome.rfind("failed: " + path + ": ", 0) == 0,
        "a refused table file is not named first: %s", outcome.c_str());
  CheckNoReport(head, "table load");

  // Loaded again with one allocation failing (a table allocates a few buffers, then three strings an
  // entry): the load starts over and gives the same outcome, or it reports the lack of memory.
  FailAllocationAt(1 + file.size() % static_cast<size_t>(3 * table.count + 12));
  const std::string again = Outcome(table, stage, textSet);
  FailAllocationAt(0);
  Check(again == outcome || again.find("Memory allocation error") != std::string::npos,
        "loading again gives: %s", again.c_str());

  Check(outcome.rfind("failed: ", 0) == 0 || !HasLongLine(file), "a line that is too long was loaded");
  WriteScratch("fuzz.sub", WithShortComments(file));
  const std::string shortened = Outcome(table, stage, textSet);
  Check(shortened == outcome, "with comments cut short the load gives: %s", shortened.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file(reinterpret_cast<const char *>(data), size);
  Load(file, BuiltinCharSet());
  Load(file, &ShippedSet("latin1"));
  return 0;
}
