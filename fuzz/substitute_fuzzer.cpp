// Fuzzes the substitution stage. The input holds two parts (see SplitInput): a table file, written in
// the built-in set, and a text in the shipped latin1 set. A run fails only with a documented run-time
// report on the head stream, gives the same outcome again after a run in which one allocation fails
// (which gives the same or reports the lack of memory), gives exactly what the plain pass-by-pass path
// (the stage without its shortcuts) gives, and passes the text through (or drops it all) when the table
// has no entries. With every replacement emptied, what a run writes is a subsequence of the text: no byte
// is written twice, since text already written is never read again.
#include <string>
#include <vector>

#include "engine/charset/builtin_charset.h"
#include "engine/stream/stream.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitute.h"
#include "fuzz/invariants.h"
#include "fuzz/support.h"

namespace {

// Whether the bytes of part appear in whole, in the same order (not necessarily together).
bool IsSubsequence(const std::string &part, const std::string &whole) {
  size_t at = 0;
  for (char c : whole) {
    if (at < part.size() && part[at] == c) ++at;
  }
  return at == part.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::vector<std::string> parts = SplitInput(data, size, 2);
  const std::string text = parts.size() > 1 ? parts[1] : "";
  WriteScratch("fuzz.sub", parts[0]);
  CStream head;
  CSubstitute stage;
  head.Add(&stage);
  head.Open(ScratchDir().c_str());

  if (!CheckOpening(head, stage, stage.Open("fuzz", &ShippedSet("latin1"), BuiltinCharSet()), text,
                    "opening on a table")) {
    return 0;
  }
  const CSubstTbl &table = *stage.table;
  CheckLoadedTable(table);
  Check(stage.windowsize >= table.maxmatch && stage.windowsize >= 500, "window of %d bytes for maxmatch %d",
        stage.windowsize, table.maxmatch);

  const RunResult run = RunChecked(head, text, 1 + size % 32, "substitution");
  CheckNoReport(stage, "substitution");
  CheckPlainPath(head, text, run, "substitution");
  if (run.result == 0) {
    Check(run.report == "Stream: Environment string too long\n" ||
              run.report == "Stream: Out of environment space\n",
          "a run failed: %s", run.report.c_str());
  }
  if (table.count == 0) {
    Check(run.output == (table.dropunmatched ? "" : text), "a table without entries changed the text");
  }
  for (int index = 0; index < table.count; ++index) stage.table->entries[index].to[0] = '\0';
  const RunResult blank = RunOnce(head, text);
  Check(blank.result == 0 || IsSubsequence(blank.output, text),
        "with empty replacements the output (%zu bytes) is no subsequence of the text (%zu bytes)",
        blank.output.size(), text.size());
  return 0;
}
