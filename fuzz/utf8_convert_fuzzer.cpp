// Fuzzes the UTF-8 stage. The input holds two parts (see SplitInput): a set file S and a text. The text
// goes from UTF-8 to UTF-8, from UTF-8 to S and back, and from S to UTF-8. A run from UTF-8 fails exactly
// when the text is invalid UTF-8, at the offset a plain reader finds; UTF-8 output is always valid; and
// a text of valid UTF-8 without "&" comes back from S unchanged whenever S writes its references with
// "&", ";" and "#". Every run also comes out the same again after a run in which one allocation fails.
#include <string>
#include <vector>

#include "engine/charset/charset.h"
#include "engine/charset/unicode_map.h"
#include "engine/charset/utf8_convert.h"
#include "engine/stream/stream.h"
#include "fuzz/invariants.h"
#include "fuzz/support.h"

namespace {

const std::string kInvalid = "Stream: Invalid UTF-8 at byte offset ";
// Most bytes written for one byte of a set's text: a reference whose name's every byte has a UTF-8 form
// of two characters.
const size_t kLongestPerByte = 2 + kCharNameMax * kLongestUtf8;

// Where the first invalid sequence of text begins, or npos: a sequence is valid when it is the shortest
// form of a code point up to U+10FFFF that is no surrogate. Read bit by bit, apart from the engine's
// reader.
size_t FirstInvalid(const std::string &text) {
  static const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || i + length > text.size()) return i;
    unsigned long value = length == 1 ? lead : lead & (0xFFu >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return i;
      value = (value << 6) | (next & 0x3F);
    }
    if ((length > 1 && value < kLeast[length]) || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
      return i;
    i += length;
  }
  return std::string::npos;
}

// Runs the stage over text and checks what every run must give; returns the run.
RunResult Convert(CStream &head, const std::string &text, const char *what) {
  const RunResult run = RunChecked(head, text, 1 + text.size() % 32, what);
  Check(run.result == 1 || run.report.size() > kInvalid.size(), "%s: failed without a reason", what);
  return run;
}

// A run from UTF-8 fails where the text first is invalid, or (into a set that can write neither a byte
// nor a reference for a character) at a character before that.
void CheckValidity(const RunResult &run, const std::string &text, bool intoSet, const char *what) {
  const size_t invalid = FirstInvalid(text);
  if (run.result == 1) {
    Check(invalid == std::string::npos, "%s: invalid UTF-8 at %zu passed", what, invalid);
    return;
  }
  if (run.report.rfind(kInvalid, 0) == 0) {
    Check(run.report.rfind(kInvalid + std::to_string(invalid) + ": ", 0) == 0,
          "%s: \"%s\", but the first invalid byte is at %zu", what, run.report.c_str(), invalid);
    return;
  }
  Check(intoSet && run.report.rfind("Stream: Character U+", 0) == 0, "%s: failed with \"%s\"", what,
        run.report.c_str());
}

// Whether S writes references as UTF-8 text does: its begin, end and numeric characters are "&", ";"
// and "#" (the numeric one may be missing), and no other byte is one of them.
bool ReferencesLikeUtf8(const CCharSet &set, const UnicodeMap &map) {
  if (set.begin_entity < 0 || map.PointOf(static_cast<unsigned char>(set.begin_entity)) != '&' ||
      map.PointOf(static_cast<unsigned char>(set.end_entity)) != ';' ||
      (set.numeric_entity >= 0 && map.PointOf(static_cast<unsigned char>(set.numeric_entity)) != '#')) {
    return false;
  }
  for (int byte = 0; byte < 256; ++byte) {
    const int point = map.PointOf(static_cast<unsigned char>(byte));
    const bool role = byte == set.begin_entity || byte == set.end_entity || byte == set.numeric_entity;
    if (!role && (point == '&' || point == ';' || point == '#')) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::vector<std::string> parts = SplitInput(data, size, 2);
  const std::string text = parts.size() > 1 ? parts[1] : "";
  const bool valid = FirstInvalid(text) == std::string::npos;
  WriteScratch("fuzz.chs", parts[0]);
  CStream head;
  CUtf8Convert stage;
  head.Add(&stage);
  head.Open(ScratchDir().c_str());

  Check(stage.Open(kUtf8, kUtf8) == 1, "opening UTF-8 to UTF-8: %s", Report(stage).c_str());
  const RunResult same = Convert(head, text, "UTF-8 to UTF-8");
  CheckValidity(same, text, false, "UTF-8 to UTF-8");
  Check(same.result == 0 || text.find('&') != std::string::npos || same.output == text,
        "UTF-8 to UTF-8 changed a text without references");
  ClearReport(head);

  if (!CheckOpening(head, stage, stage.Open(kUtf8, "fuzz"), text, "opening on a set file")) return 0;
  CheckLoadedSet(*stage.to);
  const RunResult decoded = Convert(head, text, "UTF-8 to S");
  CheckValidity(decoded, text, true, "UTF-8 to S");
  const bool roundTrip = decoded.result == 1 && valid && text.find('&') == std::string::npos &&
                         text.rfind("\xEF\xBB\xBF", 0) != 0 && ReferencesLikeUtf8(*stage.to, *stage.map);

  CCharSet *set = stage.to;  // owned by the stage, which keeps it while it is one of the two sets
  Check(stage.Open(set, nullptr) == 1, "reopening S to UTF-8: %s", Report(stage).c_str());
  for (const std::string *input : {&text, &decoded.output}) {
    const RunResult encoded = Convert(head, *input, "S to UTF-8");
    Check(encoded.result == 1, "S to UTF-8 failed: %s", encoded.report.c_str());
    Check(FirstInvalid(encoded.output) == std::string::npos, "S to UTF-8 wrote invalid UTF-8");
    Check(encoded.output.size() <= kLongestPerByte * input->size(), "S to UTF-8: %zu bytes from %zu",
          encoded.output.size(), input->size());
    if (input == &decoded.output && roundTrip) {
      Check(encoded.output == text, "UTF-8 to S and back changed the text");
    }
  }
  return 0;
}
