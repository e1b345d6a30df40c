// Replacements and variables of the substitution stage. A replacement is read unit by unit: plain bytes
// are written, escape codes insert captures or the wildcard's text (finding them by scanning the pattern
// from its start, since patterns are short), "%x" inserts or removes a variable. Variables live in the
// process environment as "x=value" texts composed in the stage's envbuf.
#include "engine/subst/replacement_writer.h"

#include <cstring>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/subst/pattern_units.h"
#include "engine/subst/reference.h"
#include "engine/subst/stage_output.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitute.h"
#include "engine/subst/variables.h"

namespace {

const char kTooLong[] = "Environment string too long\n";

}  // namespace

int ReplacementWriter::ToUpper(int t) const {
  return InSubset(*stage_.textset, t, kSubsetLower) && stage_.textset->othercase[t] != -1
             ? stage_.textset->othercase[t]
             : t;
}

int ReplacementWriter::ToLower(int t) const {
  return InSubset(*stage_.textset, t, kSubsetUpper) && stage_.textset->othercase[t] != -1
             ? stage_.textset->othercase[t]
             : t;
}

int ReplacementWriter::PartPosition(const sub_struct &e, const Attempt &a, int capture) const {
  const CSubstTbl &table = *stage_.table;
  const unsigned char *from = PatternBytes(e);
  int shift = 0;  // text bytes beyond one per unit, once the wildcard has been passed
  int captures = 0;
  for (int k = 0, unit = 0; from[k] != '\0'; ++unit) {
    if (!IsEscape(table, from, k)) {
      ++k;
      continue;
    }
    const unsigned char letter = from[k + 1];
    if (IsWildcard(table, letter)) {
      if (capture == 0) return a.start + unit;
      shift = a.taken - 1;
    } else if (IsParameter(table, letter) && ++captures == capture) {
      return a.start + unit + shift;
    }
    k += 2;
  }
  return -1;
}

void ReplacementWriter::PutCapture(const sub_struct &e, const Attempt &a, int capture, unsigned char letter) {
  const int at = PartPosition(e, a, capture);
  if (at < 0) return;
  const int t = window_[at];
  output_.PutDst(letter == stage_.table->c_bang  ? ToUpper(t)
                 : letter == stage_.table->c_dot ? ToLower(t)
                                                 : t);
}

void ReplacementWriter::PutWildcardText(const sub_struct &e, const Attempt &a, unsigned char letter) {
  const int at = PartPosition(e, a, 0);
  if (at < 0) return;
  for (int p = at; p < at + a.taken; ++p) {
    const int t = window_[p];
    if (e.to_subset != 0 && !InSubset(*stage_.textset, t, e.to_subset)) continue;
    output_.PutDst(letter == stage_.table->c_plus    ? ToUpper(t)
                   : letter == stage_.table->c_minus ? ToLower(t)
                                                     : t);
  }
}

void ReplacementWriter::PutValueByte(unsigned char b) {
  const int mapped = stage_.table->conv->map[b];
  if (mapped == kUndefined) {
    output_.PutDst(b);  // a byte the table set does not define stays as it is
  } else {
    output_.PutDst(mapped == kNoSuchName ? 254 : mapped);
  }
}

void ReplacementWriter::SetOrFail() {
  if (!SetVariable(stage_.envbuf)) output_.Fail("Out of environment space\n");
}

void ReplacementWriter::PutVariable(char name) {
  if (name >= 'A' && name <= 'Z') {
    stage_.envbuf[0] = name;
    stage_.envbuf[1] = '=';
    stage_.envbuf[2] = '\0';
    SetOrFail();
    return;
  }
  const unsigned char *value = reinterpret_cast<const unsigned char *>(GetVariable(name));
  if (value == nullptr) return;
  const CCharSet &tblset = *stage_.tblset;
  const CCharSet &textset = *stage_.textset;
  // Invariant: the value's bytes before i are written.
  for (size_t i = 0; value[i] != '\0';) {
    const unsigned char b = value[i];
    if (b == tblset.begin_entity) {
      int length = 0;
      const int v = ReferenceValue(value + i + 1, tblset, textset, &length);
      if (v >= 0 && v <= 255) {
        output_.PutDst(v);
        i += static_cast<size_t>(length) + 2;
        continue;
      }
      // No reference: the begin character, then the name's bytes one by one.
      if (textset.begin_entity >= 0) {
        output_.PutDst(textset.begin_entity);
      } else {
        PutValueByte(b);
      }
    } else if (b == tblset.end_entity) {
      if (textset.end_entity >= 0) {
        output_.PutDst(textset.end_entity);
      } else {
        PutValueByte(b);
      }
    } else {
      PutValueByte(b);
    }
    ++i;
  }
}

void ReplacementWriter::SwitchGroups(sub_struct &e) {
  CSubstTbl &table = *stage_.table;
  if (e.after == kDisablesItself) e.state = kDisabled;
  if (e.after == kEnablesItself) e.state = kEnabled;
  if (e.off_mask != 0) {
    for (int index = 0; index < table.count; ++index) {
      if (table.entries[index].group & e.off_mask) table.entries[index].state = kDisabled;
    }
  }
  if (e.on_mask != 0) {
    for (int index = 0; index < table.count; ++index) {
      if (table.entries[index].group & e.on_mask) table.entries[index].state = kEnabled;
    }
  }
}

void ReplacementWriter::putto(sub_struct &e, const Attempt &a) {
  const CSubstTbl &table = *stage_.table;
  const unsigned char *to = reinterpret_cast<const unsigned char *>(e.to);
  int capture = 0;
  // Invariant: the replacement's bytes before i are written (or acted upon).
  for (size_t i = 0; to[i] != '\0';) {
    const unsigned char b = to[i];
    if (IsEscape(table, to, static_cast<int>(i))) {
      const unsigned char letter = to[i + 1];
      i += 2;
      if (IsParameter(table, letter)) {
        PutCapture(e, a, ++capture, letter);
      } else if (IsWildcard(table, letter)) {
        PutWildcardText(e, a, letter);
      } else if (letter == table.c_lt) {
        capture = 0;
      } else if (letter == table.c_gt) {
        ++capture;
      } else if (letter != table.c_caret) {
        output_.PutDst(letter);
      }
    } else if (b == table.c_pct && to[i + 1] != '\0') {
      const char name = static_cast<char>(to[i + 1]);
      i += 2;
      PutVariable(name);
    } else {
      // Any other byte, and a variable code that ends the string (a plain percent sign).
      output_.PutDst(b);
      ++i;
    }
  }
  SwitchGroups(e);
}

void ReplacementWriter::savevar(const sub_struct &e, const Attempt &a) {
  const int at = PartPosition(e, a, 0);
  if (at < 0) return;
  // A set that lacks the table's special characters can make the wildcard's code read as a parameter,
  // so the wildcard may never have been entered: its text is then empty.
  const size_t textLength = a.InWildcard() ? static_cast<size_t>(a.taken) : 0;
  char *envbuf = stage_.envbuf;
  envbuf[0] = e.var;
  envbuf[1] = '=';
  size_t used = 2;
  if (e.var >= 'A' && e.var <= 'Z') {  // append mode
    const char *old = GetVariable(e.var);
    if (old != nullptr) {
      const size_t oldLength = std::strlen(old);
      if (used + oldLength >= static_cast<size_t>(kEnvSize)) output_.Fail(kTooLong);
      std::memcpy(envbuf + used, old, oldLength);
      used += oldLength;
      const size_t separatorLength = std::strlen(stage_.table->concat);
      if (separatorLength != 0) {
        if (used + separatorLength >= static_cast<size_t>(kEnvSize)) output_.Fail(kTooLong);
        std::memcpy(envbuf + used, stage_.table->concat, separatorLength);
        used += separatorLength;
      }
    }
  }
  if (used + textLength >= static_cast<size_t>(kEnvSize)) output_.Fail(kTooLong);
  std::memcpy(envbuf + used, window_ + at, textLength);
  envbuf[used + textLength] = '\0';
  SetOrFail();
}
