// Fuzzes the typical pipeline: a conversion stage and three substitution stages over a text in the
// shipped cp1252 set. The input holds two parts (see SplitInput): a table file and the text. The
// pipeline resolves references (cp1252 to itself), keeps an HTML title in variable T and strips tags
// with the shipped title and html2text tables, then applies the fuzzed table, which may read T. The
// pipeline is built once; each input reopens the fuzzed stage. A run fails only with a documented
// run-time report on the head stream, gives the same outcome again after a run in which one allocation
// fails (which gives the same or reports the lack of memory), and gives exactly what it gives without the
// substitution stages' shortcuts.
#include <string>
#include <vector>

#include "engine/charset/builtin_charset.h"
#include "engine/charset/convert.h"
#include "engine/stream/stream.h"
#include "engine/subst/substitute.h"
#include "fuzz/invariants.h"
#include "fuzz/support.h"

namespace {

struct Pipeline {
  Pipeline() {
    CCharSet &set = ShippedSet("cp1252");
    for (CStreamObj *stage : stages) head.Add(stage);
    head.Open(ScratchDir().c_str());
    Check(convert.Open(&set, &set) == 1 &&
              title.Open(ShippedFile("title.sub").c_str(), &set, BuiltinCharSet()) &&
              html2text.Open(ShippedFile("html2text.sub").c_str(), &set, BuiltinCharSet()),
          "the shipped stages do not open");
  }
  CStream head;
  CConvert convert;
  CSubstitute title;
  CSubstitute html2text;
  CSubstitute fuzzed;
  CStreamObj *stages[4] = {&convert, &title, &html2text, &fuzzed};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static Pipeline pipeline;
  const std::vector<std::string> parts = SplitInput(data, size, 2);
  const std::string text = parts.size() > 1 ? parts[1] : "";
  WriteScratch("fuzz.sub", parts[0]);
  // A failed run leaves what it wrote in the queues after the failing stage; this input starts afresh.
  pipeline.head.Clear();
  for (CStreamObj *stage : pipeline.stages) stage->Clear();

  const bool opened = pipeline.fuzzed.Open("fuzz", &ShippedSet("cp1252"), BuiltinCharSet()) == 1;
  if (opened) {
    CheckNoReport(pipeline.fuzzed, "opening on a table");
    CheckLoadedTable(*pipeline.fuzzed.table);
  } else {
    CheckReport(pipeline.fuzzed, "opening on a table");
    ClearReport(pipeline.fuzzed);
  }
  const RunResult run = RunChecked(pipeline.head, text, 1 + size % 64, "pipeline");
  for (CStreamObj *stage : pipeline.stages) CheckNoReport(*stage, "pipeline");
  CheckPlainPath(pipeline.head, text, run, "pipeline");
  if (!opened) {
    Check(run.result == 0 && run.report == "Stream: Object was not opened\n",
          "a pipeline with a stage that failed to open ran: %d \"%s\"", run.result, run.report.c_str());
  } else if (run.result == 0) {
    Check(run.report == "Stream: Environment string too long\n" ||
              run.report == "Stream: Out of environment space\n",
          "a run failed: %s", run.report.c_str());
  }
  return 0;
}
