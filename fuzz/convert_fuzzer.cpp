// Fuzzes the conversion stage. The input holds two parts (see SplitInput): a set file S and a text. The
// stage converts the text from S to S, from S to the shipped latin1 set, and that result back to S,
// reopened on the sets each time. Every run must succeed, stay within the longest output a byte can give,
// match a plain per-byte model where the text holds no reference, and come out the same again after a
// run in which one allocation fails (which gives the same or reports the lack of memory).
#include <string>
#include <vector>

#include "engine/charset/charset.h"
#include "engine/charset/convert.h"
#include "engine/stream/stream.h"
#include "fuzz/invariants.h"
#include "fuzz/support.h"

namespace {

// Most bytes written for one input byte: a begin character, a name of kCharNameMax and an end character.
const size_t kLongestPerByte = kCharNameMax + 2;

bool Defined(const CCharSet &set, int value) { return set.chars[value].value == value; }

// The conversion of a text in which no byte starts a reference: each byte's counterpart by name, else a
// reference in the destination's syntax, else nothing.
std::string Model(const CCharSet &from, const CCharSet &to, const std::string &text) {
  std::string out;
  for (unsigned char c : text) {
    if (!Defined(from, c)) {
      if (to.begin_entity >= 0 && to.numeric_entity >= 0)
        out += std::string(1, char(to.begin_entity)) + char(to.numeric_entity) + std::to_string(c) +
               char(to.end_entity);
      continue;
    }
    const int counterpart = to.chsval(from.chars[c].name);
    if (counterpart >= 0) {
      out += char(counterpart);
    } else if (to.begin_entity >= 0) {
      out += char(to.begin_entity) + std::string(from.chars[c].name) + char(to.end_entity);
    }
  }
  return out;
}

// Runs the stage, opened from `from` to `to`, over text and checks the run; returns its output.
std::string Convert(CStream &head, CConvert &stage, const std::string &text, const char *what) {
  const RunResult run = RunChecked(head, text, 1 + text.size() % 32, what);
  Check(run.result == 1, "%s: the run failed: %s", what, run.report.c_str());
  CheckNoReport(stage, what);
  Check(run.output.size() <= kLongestPerByte * text.size(), "%s: %zu bytes from %zu", what, run.output.size(),
        text.size());
  const CCharSet &from = *stage.from;
  if (from.begin_entity < 0 || text.find(char(from.begin_entity)) == std::string::npos) {
    Check(run.output == Model(from, *stage.to, text), "%s: the output differs from the model", what);
  }
  return run.output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::vector<std::string> parts = SplitInput(data, size, 2);
  const std::string text = parts.size() > 1 ? parts[1] : "";
  WriteScratch("fuzz.chs", parts[0]);
  CStream head;
  CConvert stage;
  head.Add(&stage);
  head.Open(ScratchDir().c_str());

  if (!stage.Open("fuzz", "fuzz")) {
    CheckReport(stage, "opening on a set file");
    CheckNoReport(head, "opening on a set file");
    const RunResult run = RunOnce(head, text);
    Check(run.result == 0 && run.report == "Stream: Object was not opened\n",
          "a stage that failed to open ran: %d \"%s\"", run.result, run.report.c_str());
    return 0;
  }
  CheckNoReport(stage, "opening on a set file");
  CheckLoadedSet(*stage.from);
  Convert(head, stage, text, "S to S");

  CCharSet &latin1 = ShippedSet("latin1");
  CCharSet *set = stage.from;  // owned by the stage, which keeps it while it is one of the two sets
  Check(stage.Open(set, &latin1) == 1, "reopening S to latin1: %s", Report(stage).c_str());
  const std::string converted = Convert(head, stage, text, "S to latin1");
  Check(stage.Open(&latin1, set) == 1, "reopening latin1 to S: %s", Report(stage).c_str());
  Convert(head, stage, converted, "latin1 to S");
  return 0;
}
