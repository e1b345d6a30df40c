// The conversion stage: opening on two sets, the 500-byte input window with its carry-over of a
// reference split between two windows, reference resolution, and the output buffer.
//
// How a window is scanned: bytes that convert on their own go in runs, a word at a time when every byte
// but the begin character stands for itself (each word is copied whole and only its bytes before a begin
// character count), by table otherwise. At a begin character, a name that lies in the word after it is
// looked up first among the references this run met, by its bytes; any other reference takes the path
// the rules describe. Both shortcuts give exactly what byte-by-byte conversion gives: a run stops at the
// first byte that does not convert on its own, and a remembered reference had the same name, hence the
// same result, since the sets of a run do not change.
#include "engine/charset/convert.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/name_index.h"
#include "engine/charset/numeric_reference.h"
#include "engine/charset/owned_sets.h"
#include "engine/charset/reference_cache.h"
#include "engine/stream/allocator.h"
#include "engine/stream/run_failure.h"

IMPLEMENT_RUNTIME_CLASS(CConvert, CStreamObj)

namespace {

// A reference that may still end in the next window: begin character, a full name and end character.
const int kReferenceMax = kCharNameMax + 2;
// BeginAt's answer when it moved the rest of the window to its front, to wait for the next read.
const int kCarried = -1;
// The window's last end character not looked for yet (-1: there is none).
const int kLastEndNotSought = -2;

// Word steps take eight bytes of the window at once, on machines that keep a word's lowest address in
// its low byte; elsewhere the byte-by-byte paths do all the work.
#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
const bool kWordSteps = true;
#else
const bool kWordSteps = false;
#endif
const int kWordBytes = 8;
const uint64_t kEveryByte = 0x0101010101010101ull;
const uint64_t kHighBits = 0x8080808080808080ull;

uint64_t LoadWord(const unsigned char *at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

void StoreWord(unsigned char *at, uint64_t word) { std::memcpy(at, &word, sizeof word); }

// How many bytes of word (as loaded on a little-endian machine) come before the first one equal to c;
// kWordBytes when none is. The subtraction flags every zero byte of word ^ c; flags above the first may
// be false (a borrow), the lowest one never is.
int BytesBefore(uint64_t word, unsigned char c) {
  const uint64_t differences = word ^ (kEveryByte * c);
  const uint64_t zeros = (differences - kEveryByte) & ~differences & kHighBits;
  return zeros == 0 ? kWordBytes : __builtin_ctzll(zeros) / 8;
}

// The commonest reference: a name of a few bytes, all in the word at name with the end character among
// them. Returns the byte the run's earlier references of that name gave, or -1 when there were none or
// the name does not fit (*nameLength is then more than ReferenceCache::kLongestName).
inline int CachedByte(const unsigned char *name, unsigned char end, const ReferenceCache &seen,
                      int *nameLength, uint64_t *key) {
  const uint64_t word = LoadWord(name);
  *nameLength = BytesBefore(word, end);
  if (*nameLength > ReferenceCache::kLongestName) return -1;
  *key = ReferenceCache::Key(word, *nameLength);
  return seen.Find(*key);
}

}  // namespace

CConvert::CConvert()
    : from(nullptr), to(nullptr), table(nullptr), outbuf(nullptr), outcount(0), ownsSets_{false, false} {
  AppendVersion("3.0");
}

CConvert::~CConvert() {
  ReplaceOwnedSets(this, &from, &to, ownsSets_, nullptr, nullptr);
  delete table;
  EngineFree(outbuf);
}

int CConvert::Open(const char *fromName, const char *toName) {
  ReleaseWork();
  ReplaceOwnedSets(this, &from, &to, ownsSets_, nullptr, nullptr);
  const char *names[2] = {fromName, toName};
  CCharSet **sets[2] = {&from, &to};
  for (int side = 0; side < 2; ++side) {
    *sets[side] = new (std::nothrow) CCharSet;
    if (*sets[side] == nullptr) return ReportNoMemory();
    ownsSets_[side] = true;
    if (!(*sets[side])->Open(this, names[side])) return 0;
  }
  return Open(from, to);
}

int CConvert::Open(CCharSet *newFrom, CCharSet *newTo) {
  if (!CStreamObj::Open()) return 0;
  ReplaceOwnedSets(this, &from, &to, ownsSets_, newFrom, newTo);
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
    throw RunFailure();
  }
  outcount = 0;
}

// The bulk of a text goes through these tables alone. When the begin character is the only byte that
// does not convert on its own (as between two sets that name the same characters), runs are found by
// searching for it and are copied, or mapped, as a whole.
struct CConvert::DirectBytes {
  short counterpart[256];  // of each byte that converts on its own (no begin character, a counterpart
                           // in the destination), else -1
  unsigned char map[256];  // the same as bytes, for the bytes that convert on their own
  bool onlyBeginStops;     // every byte but the begin character converts on its own
  bool identity;           // and to itself
};

int CConvert::Process() {
  if (!CStreamObj::Process()) return 0;
  outcount = 0;  // what a failed run left in outbuf is not this run's
  DirectBytes direct;
  direct.onlyBeginStops = true;
  direct.identity = true;
  for (int c = 0; c < 256; ++c) {
    const bool own = c != from->begin_entity && table->map[c] >= 0;
    direct.counterpart[c] = static_cast<short>(own ? table->map[c] : -1);
    direct.map[c] = static_cast<unsigned char>(own ? table->map[c] : c);
    direct.onlyBeginStops = direct.onlyBeginStops && (own || c == from->begin_entity);
    direct.identity = direct.identity && direct.map[c] == c;
  }
  const NameIndex names(*to);  // references name characters of the destination
  ReferenceCache seen;         // references met in this run
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
      carried = ConvertWindow(direct, names, seen);
    }
    PutDst(-1);
  } catch (const RunFailure &) {
    return 0;  // PutDst reported the failure on the head stream
  }
  return Close();
}

void CConvert::PutRun(const unsigned char *run, int n, const DirectBytes &direct) {
  while (n > 0) {
    const int room = static_cast<int>(kWorkSize) - outcount;
    const int step = n < room ? n : room;
    unsigned char *out = outbuf + outcount;
    if (direct.identity) {
      std::memcpy(out, run, static_cast<size_t>(step));
    } else {
      for (int k = 0; k < step; ++k) out[k] = direct.map[run[k]];
    }
    outcount += step;
    run += step;
    n -= step;
    if (outcount == static_cast<int>(kWorkSize)) PutDst(-1);
  }
}

unsigned int CConvert::ConvertWindow(const DirectBytes &direct, const NameIndex &names,
                                     ReferenceCache &seen) {
  const unsigned char *window = m_work;
  const int length = m_workLen;
  const int begin = from->begin_entity;
  if (kWordSteps && begin >= 0 && direct.onlyBeginStops && direct.identity) return CopyWindow(names, seen);
  const short *counterpart = direct.counterpart;
  int lastEnd = kLastEndNotSought;
  // Invariant: every byte before i has been written (converted, or as part of a resolved reference).
  int i = 0;
  while (i < length) {
    const int c = window[i];
    if (c == begin) {
      i = BeginAt(i, names, seen, &lastEnd);
      if (i == kCarried) return static_cast<unsigned int>(m_workLen);
      continue;
    }
    if (counterpart[c] < 0) {
      PutChar(c, false);
      ++i;
      continue;
    }
    if (direct.onlyBeginStops) {
      // The run goes on up to the next begin character.
      const void *stop =
          begin >= 0 ? std::memchr(window + i, begin, static_cast<size_t>(length - i)) : nullptr;
      const int runEnd =
          stop != nullptr ? static_cast<int>(static_cast<const unsigned char *>(stop) - window) : length;
      PutRun(window + i, runEnd - i, direct);
      i = runEnd;
      continue;
    }
    // A run of bytes that convert on their own goes straight into outbuf, as far as it has room.
    const int runEnd = length - i < static_cast<int>(kWorkSize) - outcount
                           ? length
                           : i + static_cast<int>(kWorkSize) - outcount;
    unsigned char *out = outbuf + outcount;
    // Four bytes a step while all four convert on their own (a -1 among them makes the OR negative).
    while (i + 4 <= runEnd) {
      const int first = counterpart[window[i]], second = counterpart[window[i + 1]];
      const int third = counterpart[window[i + 2]], fourth = counterpart[window[i + 3]];
      if ((first | second | third | fourth) < 0) break;
      out[0] = static_cast<unsigned char>(first);
      out[1] = static_cast<unsigned char>(second);
      out[2] = static_cast<unsigned char>(third);
      out[3] = static_cast<unsigned char>(fourth);
      out += 4;
      i += 4;
    }
    for (int v; i < runEnd && (v = counterpart[window[i]]) >= 0; ++i) *out++ = static_cast<unsigned char>(v);
    outcount = static_cast<int>(out - outbuf);
    if (outcount == static_cast<int>(kWorkSize)) PutDst(-1);
  }
  return 0;
}

unsigned int CConvert::CopyWindow(const NameIndex &names, ReferenceCache &seen) {
  const unsigned char *window = m_work;
  const int length = m_workLen;
  const unsigned char begin = static_cast<unsigned char>(from->begin_entity);
  const unsigned char end = static_cast<unsigned char>(from->end_entity);
  int lastEnd = kLastEndNotSought;
  // Invariant: every byte before i has been written. The output position is kept in `out` (outbuf
  // itself may be where the compiler thinks outcount lives) and handed back before every call.
  int i = 0;
  int out = outcount;
  while (i < length) {
    // The run up to the next begin character, eight bytes a step while the window holds them and the
    // output has room for them: each word is copied whole, and only its bytes before a begin character
    // count.
    const int room = static_cast<int>(kWorkSize) - out;
    int run = kWordBytes;
    for (int steps = (length - i < room ? length - i : room) / kWordBytes; steps > 0 && run == kWordBytes;
         --steps) {
      const uint64_t word = LoadWord(window + i);
      run = BytesBefore(word, begin);
      StoreWord(outbuf + out, word);
      i += run;
      out += run;
    }
    if (out == static_cast<int>(kWorkSize)) {
      outcount = out;
      PutDst(-1);
      out = 0;
    }
    if (i == length) break;
    if (window[i] != begin) {  // less than a word of the window, or of the output's room, was left
      outbuf[out++] = window[i++];
      if (out == static_cast<int>(kWorkSize)) {
        outcount = out;
        PutDst(-1);
        out = 0;
      }
      continue;
    }
    if (i + 1 + kWordBytes <= length) {
      int nameLength;
      uint64_t key;
      const int byte = CachedByte(window + i + 1, end, seen, &nameLength, &key);
      if (byte >= 0) {
        outbuf[out++] = static_cast<unsigned char>(byte);
        i += nameLength + 2;
        if (out == static_cast<int>(kWorkSize)) {
          outcount = out;
          PutDst(-1);
          out = 0;
        }
        continue;
      }
    }
    outcount = out;
    i = BeginAt(i, names, seen, &lastEnd);
    if (i == kCarried) return static_cast<unsigned int>(m_workLen);
    out = outcount;
  }
  outcount = out;
  return 0;
}

int CConvert::BeginAt(int i, const NameIndex &names, ReferenceCache &seen, int *lastEnd) {
  const unsigned char *window = m_work;
  const int length = m_workLen;
  const int end = from->end_entity;
  // The commonest case first: a name within the word after the begin character.
  if (kWordSteps && i + 1 + kWordBytes <= length) {
    int nameLength;
    uint64_t key;
    int value = CachedByte(window + i + 1, static_cast<unsigned char>(end), seen, &nameLength, &key);
    if (value >= 0) {
      PutDst(value);
      return i + nameLength + 2;
    }
    if (nameLength <= ReferenceCache::kLongestName) {
      i = ResolveReference(names, i, nameLength, &value);
      if (value >= 0) seen.Add(key, value);
      return i;
    }
  }
  // The common case: the end character within a name's length of the begin character.
  const int reach = length - i < kCharNameMax + 2 ? length : i + kCharNameMax + 2;
  int close = i + 1;
  while (close < reach && window[close] != end) ++close;
  if (close < reach) {
    int value;
    return ResolveReference(names, i, close - i - 1, &value);
  }
  if (*lastEnd == kLastEndNotSought) {
    *lastEnd = length - 1;
    while (*lastEnd >= 0 && window[*lastEnd] != end) --*lastEnd;
  }
  if (*lastEnd <= i) {  // no end character follows in this window
    const int remaining = length - i;
    if (remaining < kReferenceMax && !Eof()) {
      std::memmove(m_work, m_work + i, remaining);
      m_workLen = remaining;
      return kCarried;
    }
    PutChar(window[i], true);
    return i + 1;
  }
  // An end character follows, but more than a name's length after the begin character.
  PutCounterpart(window[i]);
  return i + 1;
}

int CConvert::ResolveReference(const NameIndex &names, int at, int nameLength, int *byte) {
  const unsigned char *name = m_work + at + 1;
  const int after = at + nameLength + 2;
  const int *map = table->map;
  *byte = -1;
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
      *byte = entry;
    } else if (entry == kUndefined) {
      PutUndefinedReference(digits, count);
    } else {
      PutMissingNameReference(value, true);
    }
    return after;
  }
  const int value = names.Find(reinterpret_cast<const char *>(name), static_cast<size_t>(nameLength));
  if (value >= 0) {
    PutDst(value);
    *byte = value;
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
