// The conversion stage: opening on two sets, the 500-byte input window with its carry-over of a
// reference split between two windows, reference resolution, and the output buffer.
#include "engine/charset/convert.h"

#include <cstdio>
#include <cstring>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/name_index.h"
#include "engine/charset/numeric_reference.h"
#include "engine/charset/owned_sets.h"
#include "engine/stream/allocator.h"

IMPLEMENT_RUNTIME_CLASS(CConvert, CStreamObj)

namespace {

const char kPutDst[] = "PutDst";  // what PutDst throws when the next queue refuses its bytes
// A reference that may still end in the next window: begin character, a full name and end character.
const int kReferenceMax = kCharNameMax + 2;

}  // namespace

CConvert::CConvert() : from(nullptr), to(nullptr), table(nullptr), outbuf(nullptr), outcount(0) {
  AppendVersion("3.0");
}

CConvert::~CConvert() {
  ReplaceOwnedSets(this, &from, &to, nullptr, nullptr);
  delete table;
  EngineFree(outbuf);
}

int CConvert::Open(const char *fromName, const char *toName) {
  ReleaseWork();
  ReplaceOwnedSets(this, &from, &to, nullptr, nullptr);
  const char *names[2] = {fromName, toName};
  CCharSet **sets[2] = {&from, &to};
  for (int side = 0; side < 2; ++side) {
    *sets[side] = new (std::nothrow) CCharSet;
    if (*sets[side] == nullptr) return ReportNoMemory();
    if (!(*sets[side])->Open(this, names[side])) return 0;
  }
  return Open(from, to);
}

int CConvert::Open(CCharSet *newFrom, CCharSet *newTo) {
  if (!CStreamObj::Open()) return 0;
  ReplaceOwnedSets(this, &from, &to, newFrom, newTo);
  if (!OpenTable()) {
    ReleaseWork();
    return 0;
  }
  if (outbuf == nullptr) outbuf = static_cast<unsigned char *>(EngineAlloc(kWorkSize));
  if (outbuf == nullptr) {
    ReleaseWork();
    return ReportNoMemory();
  }
  outcount = 0;
  return 1;
}

int CConvert::OpenTable() {
  if (from == nullptr || to == nullptr) {
    Eprintf("Missing character set\n");
    return 0;
  }
  delete table;
  table = new (std::nothrow) CConvTbl;
  if (table == nullptr) return ReportNoMemory();
  return table->Open(this, from, to);
}

void CConvert::ReportQueueError() { ReportTarget()->Eprintf("I/O error %d on stream", Error()); }

void CConvert::PutDst(int c) {
  if (c != -1) {
    outbuf[outcount++] = static_cast<unsigned char>(c);
    if (outcount < static_cast<int>(kWorkSize)) return;
  }
  Write(outbuf, outcount);
  if (Error()) {
    ReportQueueError();
    throw kPutDst;
  }
  outcount = 0;
}

int CConvert::Process() {
  if (!CStreamObj::Process()) return 0;
  outcount = 0;  // what a failed run left in outbuf is not this run's
  // The counterpart of every byte that converts on its own (no begin character, a counterpart in the
  // destination), else -1: the bulk of a text goes through this table alone.
  short direct[256];
  for (int c = 0; c < 256; ++c) {
    direct[c] = static_cast<short>(c != from->begin_entity && table->map[c] >= 0 ? table->map[c] : -1);
  }
  const NameIndex names(*to);  // references name characters of the destination
  try {
    // Invariant: the first `carried` bytes of the window are the unfinished reference of the last window;
    // the read appends to them, so a window is kWorkSize bytes long except at the end of the input.
    unsigned int carried = 0;
    while (!Eof()) {
      m_workLen = static_cast<int>(carried + Read(m_work + carried, kWorkSize - carried));
      if (Error()) {
        ReportQueueError();
        return 0;
      }
      carried = ConvertWindow(direct, names);
    }
    PutDst(-1);
  } catch (const char *) {
    return 0;  // PutDst reported the failure on the head stream
  }
  return Close();
}

unsigned int CConvert::ConvertWindow(const short *direct, const NameIndex &names) {
  const unsigned char *window = m_work;
  const int length = m_workLen;
  const int begin = from->begin_entity;
  const int end = from->end_entity;
  // Where the window's last end character is (-1: none), found at the window's first begin character, so
  // that each begin character needs to look only as far as the longest name to tell a reference from a
  // begin character with no end after it.
  const int kNotSought = -2;
  int lastEnd = kNotSought;
  // Invariant: every byte before i has been written (converted, or as part of a resolved reference).
  int i = 0;
  while (i < length) {
    const int c = window[i];
    if (direct[c] >= 0) {
      // A run of bytes that convert on their own goes straight into outbuf, as far as it has room.
      const int runEnd = length - i < static_cast<int>(kWorkSize) - outcount
                             ? length
                             : i + static_cast<int>(kWorkSize) - outcount;
      unsigned char *out = outbuf + outcount;
      // Four bytes a step while all four convert on their own (a -1 among them makes the OR negative).
      while (i + 4 <= runEnd) {
        const int first = direct[window[i]], second = direct[window[i + 1]];
        const int third = direct[window[i + 2]], fourth = direct[window[i + 3]];
        if ((first | second | third | fourth) < 0) break;
        out[0] = static_cast<unsigned char>(first);
        out[1] = static_cast<unsigned char>(second);
        out[2] = static_cast<unsigned char>(third);
        out[3] = static_cast<unsigned char>(fourth);
        out += 4;
        i += 4;
      }
      for (int v; i < runEnd && (v = direct[window[i]]) >= 0; ++i) *out++ = static_cast<unsigned char>(v);
      outcount = static_cast<int>(out - outbuf);
      if (outcount == static_cast<int>(kWorkSize)) PutDst(-1);
      continue;
    }
    if (c != begin) {
      PutChar(c, false);
      ++i;
      continue;
    }
    // The common case first: the end character within a name's length of the begin character.
    const int reach = length - i < kCharNameMax + 2 ? length : i + kCharNameMax + 2;
    int close = i + 1;
    while (close < reach && window[close] != end) ++close;
    if (close < reach) {
      i = ResolveReference(names, i, close - i - 1);
      continue;
    }
    if (lastEnd == kNotSought) {
      lastEnd = length - 1;
      while (lastEnd >= 0 && window[lastEnd] != end) --lastEnd;
    }
    if (lastEnd <= i) {  // no end character follows in this window
      const int remaining = length - i;
      if (remaining < kReferenceMax && !Eof()) {
        std::memmove(m_work, m_work + i, remaining);
        return static_cast<unsigned int>(remaining);
      }
      PutChar(c, true);
      ++i;
      continue;
    }
    // An end character follows, but more than a name's length after the begin character.
    PutCounterpart(c);
    ++i;
  }
  return 0;
}

int CConvert::ResolveReference(const NameIndex &names, int at, int nameLength) {
  const unsigned char *name = m_work + at + 1;
  const int after = at + nameLength + 2;
  const int *map = table->map;
  if (from->numeric_entity >= 0 && nameLength > 0 && name[0] == from->numeric_entity) {
    const unsigned char *digits = name + 1;
    const size_t count = static_cast<size_t>(nameLength - 1);
    int value;
    if (!ReadNumericReference(digits, count, &value)) {  // no reference: its text is kept as written
      PutCounterpart(m_work[at]);
      return at + 1;
    }
    // A number beyond 255 indexes nothing: it is written back like one the source does not define.
    const int entry = value <= 255 ? map[value] : kUndefined;
    if (entry >= 0) {
      PutDst(entry);
    } else if (entry == kUndefined) {
      PutUndefinedReference(digits, count);
    } else {
      PutMissingNameReference(value, true);
    }
    return after;
  }
  int value = names.Find(reinterpret_cast<const char *>(name), static_cast<size_t>(nameLength));
  if (value >= 0) {
    PutDst(value);
    return after;
  }
  PutCounterpart(m_work[at]);
  return at + 1;
}

void CConvert::PutCounterpart(int c) {
  if (table->map[c] >= 0) PutDst(table->map[c]);
}

void CConvert::PutChar(int c, bool nameThroughTable) {
  const int entry = table->map[c];
  if (entry >= 0) {
    PutDst(entry);
  } else if (entry == kUndefined) {
    char digits[4];
    const int count = std::snprintf(digits, sizeof digits, "%d", c);
    PutUndefinedReference(reinterpret_cast<const unsigned char *>(digits), static_cast<size_t>(count));
  } else {
    PutMissingNameReference(c, nameThroughTable);
  }
}

void CConvert::PutUndefinedReference(const unsigned char *digits, size_t count) {
  if (to->begin_entity < 0 || to->numeric_entity < 0 || to->end_entity < 0) return;
  PutDst(to->begin_entity);
  PutDst(to->numeric_entity);
  for (size_t k = 0; k < count; ++k) PutDst(digits[k]);
  PutDst(to->end_entity);
}

void CConvert::PutMissingNameReference(int value, bool nameThroughTable) {
  if (to->begin_entity < 0 || to->end_entity < 0) return;
  PutDst(to->begin_entity);
  for (const char *byte = from->chars[value].name; byte != nullptr && *byte != '\0'; ++byte) {
    const int b = static_cast<unsigned char>(*byte);
    if (nameThroughTable) {
      PutCounterpart(b);
    } else {
      PutDst(b);
    }
  }
  PutDst(to->end_entity);
}
