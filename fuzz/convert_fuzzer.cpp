// Fuzzes the conversion stage. The input holds two parts (see SplitInput): a set file S and a text. The
// stage converts the text from S to S, from S to the shipped latin1 set, that result back to S, and the
// text from latin1 to latin1, reopened on the sets each time. Every run must succeed, stay within the
// longest output a byte can give, match a plain whole-text model of references and bytes, never write a
// NUL that no character with a NUL counterpart asked for, and come out the same again after a run in
// which one allocation fails (which gives the same or reports the lack of memory).
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/convert.h"
#include "engine/stream/stream.h"
#include "fuzz/invariants.h"
#include "fuzz/support.h"

namespace {

// Most bytes written for one input byte: a begin character, a name of kCharNameMax and an end character.
const size_t kLongestPerByte = kCharNameMax + 2;

bool Defined(const CCharSet &set, int value) { return set.chars[value].value == value; }

// The number of a numeric reference's name after the numeric character: decimal digits, or "x"/"X" and
// hexadecimal digits, at least one; 256 stands for every number beyond a byte. Empty when the name is no
// number (and so no reference).
std::optional<int> NumberOf(const std::string &digits) {
  const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
  const std::string number = digits.substr(hex ? 1 : 0);
  if (number.empty()) return std::nullopt;
  int value = 0;
  for (char d : number) {
    const std::string allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    const size_t at = allowed.find(d);
    if (d == '\0' || at == std::string::npos) return std::nullopt;
    value = std::min(value * (hex ? 16 : 10) + static_cast<int>(at < 16 ? at : at - 6), 256);
  }
  return value;
}

// The conversion of a whole text, written from the rules without windows: every byte's counterpart by
// name, else a reference in the destination's syntax, else nothing; a begin character with an end
// character at most kCharNameMax bytes later is a reference, resolved by number or by name in the
// destination, or else converted alone. Empty when the outcome depends on where windows end: a begin
// character without a counterpart and without an end character close enough.
std::optional<std::string> Model(const CCharSet &from, const CCharSet &to, const std::string &text) {
  int counterparts[256];
  for (int c = 0; c < 256; ++c) counterparts[c] = Defined(from, c) ? to.chsval(from.chars[c].name) : -1;
  auto counterpart = [&](int c) { return counterparts[c]; };
  std::string out;
  auto undefinedReference = [&](const std::string &digits) {
    if (to.begin_entity >= 0 && to.numeric_entity >= 0)
      out += std::string(1, char(to.begin_entity)) + char(to.numeric_entity) + digits + char(to.end_entity);
  };
  auto missingNameReference = [&](int c, bool throughTable) {
    if (to.begin_entity < 0) return;
    out += char(to.begin_entity);
    for (const char *b = from.chars[c].name; *b != '\0'; ++b) {
      const int converted = counterpart(static_cast<unsigned char>(*b));
      if (!throughTable)
        out += *b;
      else if (converted >= 0)
        out += char(converted);
    }
    out += char(to.end_entity);
  };
  auto ordinary = [&](int c) {
    const int e = counterpart(c);
    if (e >= 0)
      out += char(e);
    else if (e == -1)
      undefinedReference(std::to_string(c));
    else
      missingNameReference(c, false);
  };
  for (size_t i = 0; i < text.size();) {
    const int c = static_cast<unsigned char>(text[i]);
    if (c != from.begin_entity) {
      ordinary(c);
      ++i;
      continue;
    }
    const size_t close = text.find(char(from.end_entity), i + 1);
    if (close == std::string::npos || close - i - 1 > static_cast<size_t>(kCharNameMax)) {
      if (counterpart(c) < 0) return std::nullopt;
      out += char(counterpart(c));
      ++i;
      continue;
    }
    const std::string name = text.substr(i + 1, close - i - 1);
    if (from.numeric_entity >= 0 && !name.empty() &&
        static_cast<unsigned char>(name[0]) == from.numeric_entity) {
      const std::optional<int> value = NumberOf(name.substr(1));
      if (value) {
        const int e = *value <= 255 ? counterpart(*value) : -1;
        if (e >= 0)
          out += char(e);
        else if (e == -1)
          undefinedReference(name.substr(1));
        else
          missingNameReference(*value, true);
        i = close + 1;
        continue;
      }
    } else if (name.find('\0') == std::string::npos && to.chsval(name.c_str()) >= 0) {
      out += char(to.chsval(name.c_str()));
      i = close + 1;
      continue;
    }
    if (counterpart(c) >= 0) out += char(counterpart(c));
    ++i;
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
  const std::optional<std::string> model = Model(*stage.from, *stage.to, text);
  Check(!model || run.output == *model, "%s: the output differs from the model", what);
  // Also where the model cannot tell: a NUL comes only from a source character whose counterpart is NUL
  // (as a byte, a name's byte or a number), from a reference to the destination's NUL by its name, or
  // from a reference written in the destination's syntax when NUL is one of its reference characters.
  const CCharSet &from = *stage.from, &to = *stage.to;
  bool nulAsked = to.begin_entity == 0 || to.end_entity == 0 || to.numeric_entity == 0;
  nulAsked = nulAsked || (from.begin_entity >= 0 && Defined(to, 0) &&
                          text.find(char(from.begin_entity) + std::string(to.chars[0].name) +
                                    char(from.end_entity)) != std::string::npos);
  for (int c = 0; c < 256; ++c) nulAsked = nulAsked || stage.table->map[c] == 0;
  Check(nulAsked || run.output.find('\0') == std::string::npos, "%s: a NUL that nothing asked for", what);
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

  if (!CheckOpening(head, stage, stage.Open("fuzz", "fuzz"), text, "opening on a set file")) return 0;
  CheckLoadedSet(*stage.from);
  Convert(head, stage, text, "S to S");

  CCharSet &latin1 = ShippedSet("latin1");
  CCharSet *set = stage.from;  // owned by the stage, which keeps it while it is one of the two sets
  Check(stage.Open(set, &latin1) == 1, "reopening S to latin1: %s", Report(stage).c_str());
  const std::string converted = Convert(head, stage, text, "S to latin1");
  Check(stage.Open(&latin1, set) == 1, "reopening latin1 to S: %s", Report(stage).c_str());
  Convert(head, stage, converted, "latin1 to S");
  // Every latin1 byte but the begin character stands for itself: the stage copies runs word by word.
  Check(stage.Open(&latin1, &latin1) == 1, "reopening latin1 to latin1: %s", Report(stage).c_str());
  Convert(head, stage, text, "latin1 to latin1");
  return 0;
}
