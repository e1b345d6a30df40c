// The UTF-8 stage: opening on a set (or none, for UTF-8 on both sides), the input window with its
// carry-over of a character or reference split between two windows, reference resolution, and the
// output buffer.
//
// How a window is read: the fast paths take the bytes that convert on their own (ASCII eight at a time,
// then one- and two-byte characters from UTF-8, any byte of a set) without a branch on what they are;
// everything else goes one character at a time, longer UTF-8 sequences through the strict reader
// (utf8_sequence.h), which stops the run at the first invalid byte. A begin character starts a reference
// when the end character follows within a name's length; what the reference stands for is written like
// any character of the text. A character that the destination set lacks is written as a reference in the
// set's syntax, so that it reads back as itself.
#include "engine/charset/utf8_convert.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/name_index.h"
#include "engine/charset/numeric_reference.h"
#include "engine/charset/owned_sets.h"
#include "engine/charset/unicode_map.h"
#include "engine/charset/unicode_names.h"
#include "engine/charset/utf8_sequence.h"
#include "engine/stream/allocator.h"

IMPLEMENT_RUNTIME_CLASS(CUtf8Convert, CStreamObj)

namespace {

// The reference characters of UTF-8 text.
const unsigned char kBegin = '&';
const unsigned char kEnd = ';';
const unsigned char kNumeric = '#';
// outbuf is written on once it holds kFlushAt bytes; the room above takes a stretch of the fast path
// (a whole window from UTF-8, an eighth of one into it) and a reference.
const int kFlushAt = CUtf8Convert::kWindowSize;
const int kOutCapacity = 2 * CUtf8Convert::kWindowSize + 64;
// A reference that may still end in the next window: begin character, a full name and end character.
const int kReferenceMax = kCharNameMax + 2;
const uint64_t kEveryByte = 0x0101010101010101u;  // times a byte: that byte eight times
// Bytes taken eight at a time are numbered from the lowest address up, as in a little-endian word.
const bool kBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
// Bytes of a set's text taken one by one after eight that are not all plain ASCII: in text dense with
// other characters, a table lookup per byte beats looking for the next run of ASCII.
const int kDenseStretch = 16;

// What each kind of invalid UTF-8 is called in the message.
const char *Describe(Utf8Fault fault) {
  switch (fault) {
    case Utf8Fault::kCutShort:
      return "sequence cut short";
    case Utf8Fault::kStrayContinuation:
      return "continuation byte without a lead byte";
    case Utf8Fault::kNeverUsed:
      return "byte that UTF-8 never uses";
    case Utf8Fault::kOverlong:
      return "overlong sequence";
    case Utf8Fault::kSurrogate:
      return "surrogate";
    case Utf8Fault::kBeyondLastPoint:
      return "code point beyond U+10FFFF";
  }
  return "";
}

}  // namespace

CUtf8Convert::CUtf8Convert()
    : from(nullptr),
      to(nullptr),
      map(nullptr),
      inbuf(nullptr),
      incount(0),
      outbuf(nullptr),
      outcount(0),
      offset_(0),
      failed_(false),
      ownsSets_{false, false} {
  AppendVersion("3.2");
}

CUtf8Convert::~CUtf8Convert() {
  ReplaceOwnedSets(this, &from, &to, ownsSets_, nullptr, nullptr);
  delete map;
  EngineFree(inbuf);
  EngineFree(outbuf);
}

int CUtf8Convert::Open(const char *fromName, const char *toName) {
  ReleaseWork();
  ReplaceOwnedSets(this, &from, &to, ownsSets_, nullptr, nullptr);
  const char *names[2] = {fromName, toName};
  CCharSet **sets[2] = {&from, &to};
  for (int side = 0; side < 2; ++side) {
    if (names[side] == nullptr) continue;
    *sets[side] = new (std::nothrow) CCharSet;
    if (*sets[side] == nullptr) return ReportNoMemory();
    ownsSets_[side] = true;
    if (!(*sets[side])->Open(this, names[side])) return 0;
  }
  return Open(from, to);
}

int CUtf8Convert::Open(CCharSet *newFrom, CCharSet *newTo) {
  if (!CStreamObj::Open()) return 0;
  ReplaceOwnedSets(this, &from, &to, ownsSets_, newFrom, newTo);
  if (from != nullptr && to != nullptr) {
    ReleaseWork();
    Eprintf("One side must be UTF-8\n");
    return 0;
  }
  const CCharSet *set = from != nullptr ? from : to;
  if (set != nullptr && map == nullptr) map = new (std::nothrow) UnicodeMap;
  if (inbuf == nullptr) inbuf = static_cast<unsigned char *>(EngineAlloc(kWindowSize));
  if (outbuf == nullptr) outbuf = static_cast<unsigned char *>(EngineAlloc(kOutCapacity));
  if ((set != nullptr && map == nullptr) || inbuf == nullptr || outbuf == nullptr) {
    ReleaseWork();
    return ReportNoMemory();
  }
  if (set != nullptr) map->Build(*set);
  outcount = 0;
  return 1;
}

// What the windows of a run convert without a closer look: characters that convert on their own, into
// one byte from UTF-8, into their UTF-8 form from a set.
struct CUtf8Convert::FastPath {
  short low[kTwoBytePoints];   // text in UTF-8: the byte of each character below U+0800, or -1 (into
                               // UTF-8: ASCII characters only)
  unsigned char lengths[256];  // text in a set: the length of each byte's UTF-8 form, or 0
  unsigned char begin;         // the text's begin character, which never converts on its own
  bool asciiStays;             // every ASCII character but the begin character is output as itself

  void Build(const CUtf8Convert &stage) {
    const CCharSet *from = stage.from;
    const UnicodeMap *map = stage.map;
    begin = static_cast<unsigned char>(from != nullptr ? from->begin_entity : kBegin);
    asciiStays = true;
    for (unsigned int point = 0; point < kTwoBytePoints; ++point) {
      const int converted = point == kBegin || from != nullptr ? -1
                            : point < 0x80        ? stage.OutputAscii(static_cast<unsigned char>(point))
                            : stage.to != nullptr ? map->ByteOf(point)
                                                  : -1;
      low[point] = static_cast<short>(converted);
      if (from == nullptr && point < 0x80 && point != kBegin)
        asciiStays = asciiStays && converted == int(point);
    }
    for (int c = 0; c < 256; ++c) {
      const bool direct = from != nullptr && c != begin;
      lengths[c] = static_cast<unsigned char>(direct ? map->Utf8Length(static_cast<unsigned char>(c)) : 0);
      if (direct && c < 0x80) {
        asciiStays = asciiStays && lengths[c] == 1 && *map->Utf8Of(static_cast<unsigned char>(c)) == c;
      }
    }
  }
};

int CUtf8Convert::Process() {
  if (!CStreamObj::Process()) return 0;
  outcount = 0;  // what a failed run left in outbuf is not this run's
  offset_ = 0;
  failed_ = false;
  // References may name characters of the 8-bit side by the set's own names.
  const CCharSet *named = from != nullptr ? from : to;
  std::optional<NameIndex> index;
  if (named != nullptr) index.emplace(*named);
  const NameIndex *names = index ? &*index : nullptr;
  FastPath fast;
  fast.Build(*this);
  // Invariant: the first `carried` bytes of the window are the unfinished character or reference of the
  // last window, which began at input offset `offset`; the read appends to them.
  int carried = 0;
  while (!Eof()) {
    incount =
        carried + static_cast<int>(Read(inbuf + carried, static_cast<unsigned int>(kWindowSize - carried)));
    if (Error()) {
      ReportQueueError();
      return 0;
    }
    carried = from != nullptr ? ConvertSetWindow(fast, *names) : ConvertUtf8Window(fast, names);
    if (carried < 0 || failed_) return 0;
    offset_ += static_cast<unsigned long>(incount - carried);
  }
  Flush();
  if (failed_) return 0;
  return Close();
}

namespace {

// The 8 bytes at text as a number whose lowest byte is the first.
uint64_t LoadWord(const unsigned char *text) {
  uint64_t word;
  std::memcpy(&word, text, sizeof word);
  return kBigEndian ? __builtin_bswap64(word) : word;
}

// How many bytes of word, from its first, are ASCII other than the byte of which stops holds eight
// (8 when all are).
unsigned int PlainAscii(uint64_t word, uint64_t stops) {
  const uint64_t matches = word ^ stops;  // a zero byte where a byte is the stop
  // The high bit of each byte above 0x7F, and of each zero byte of matches (exact up to the first of
  // them, which is all that counts: the borrow of the subtraction runs only upwards).
  const uint64_t found = (word | ((matches - kEveryByte) & ~matches)) & 0x8080808080808080u;
  return found == 0 ? 8 : static_cast<unsigned int>(__builtin_ctzll(found)) >> 3;
}

}  // namespace

int CUtf8Convert::ConvertUtf8Window(const FastPath &fast, const NameIndex *names) {
  const unsigned char *window = inbuf;
  const int length = incount;
  const bool toSet = to != nullptr;
  int i = 0;
  // A byte-order mark that opens the text is its encoding's signature, which an 8-bit text has no use for.
  if (toSet && offset_ == 0 && length >= 3 && window[0] == 0xEF && window[1] == 0xBB && window[2] == 0xBF)
    i = 3;
  // Invariant: every byte before i has been written (converted, or as part of a resolved reference).
  while (i < length) {
    if (outcount >= kFlushAt) {
      Flush();
      if (failed_) return -1;
    }
    // The fast path, with no branch on what the bytes are but where runs of ASCII end. Where ASCII stays
    // as it is: the ASCII characters among the next eight bytes up to the first other one (all eight are
    // copied, as many as are such characters are kept), then that character when it has one or two bytes
    // and converts on its own; its first byte is taken from the eight already read, so the next step need
    // not wait for a load. Then, or elsewhere, character by character. Each character gives at most one
    // byte per byte it takes, so a stretch as long as outbuf's room converts without checking it.
    const short *const low = fast.low;
    const bool asciiStays = fast.asciiStays;  // (copies, so that the stores through out cannot change them)
    const uint64_t begins = kEveryByte * kBegin;
    const unsigned char *at = window + i;
    const unsigned char *const lastPair = window + length - 1;  // the last byte with one after it
    const unsigned char *const stretchEnd =
        window + (length - i < kOutCapacity - outcount ? length : i + kOutCapacity - outcount);
    unsigned char *__restrict out = outbuf + outcount;
    while (asciiStays && stretchEnd - at >= 10) {
      const uint64_t word = LoadWord(at);
      const unsigned int plain = PlainAscii(word, begins);
      std::memcpy(out, at, 8);
      if (plain == 8) {  // runs of ASCII text
        out += 8;
        at += 8;
        continue;
      }
      const unsigned int lead = static_cast<unsigned int>(word >> (8 * plain)) & 0xFF, next = at[plain + 1];
      const unsigned int two = lead >> 7;  // 1: the lead byte of a two-byte character, or off the fast path
      const unsigned int pair = 0u - two;  // all ones for two bytes: the code point is chosen by masks
      const unsigned int point = (pair & (((lead & 0x1Fu) << 6) | (next & 0x3Fu))) | (~pair & lead);
      const unsigned int otherLength = ((lead - 0xC2u) > 0xDFu - 0xC2u) | ((next & 0xC0u) != 0x80u);
      const int converted = low[point];
      out += plain;
      at += plain;
      if ((two & otherLength) | (converted < 0)) break;
      *out++ = static_cast<unsigned char>(converted);
      at += 1 + two;
    }
    while (at < stretchEnd && at < lastPair) {
      const unsigned int lead = at[0], next = at[1];
      const unsigned int two = lead >> 7;
      const unsigned int pair = 0u - two;
      const unsigned int point = (pair & (((lead & 0x1Fu) << 6) | (next & 0x3Fu))) | (~pair & lead);
      const unsigned int otherLength = ((lead - 0xC2u) > 0xDFu - 0xC2u) | ((next & 0xC0u) != 0x80u);
      const int converted = low[point];
      if ((two & otherLength) | (converted < 0)) break;
      *out++ = static_cast<unsigned char>(converted);
      at += 1 + two;
    }
    outcount = static_cast<int>(out - outbuf);
    i = static_cast<int>(at - window);
    if (i == length || outcount >= kFlushAt) continue;
    // One character off the fast path.
    const unsigned char c = window[i];
    if (c == kBegin) {
      const int next = ResolveReference(i, names);
      if (next == -1) return -1;
      if (next == -2) break;
      if (next > i) {
        i = next;
        continue;
      }
    }
    unsigned int point = 0;
    Utf8Fault fault = Utf8Fault::kCutShort;
    const int n = DecodeUtf8(window + i, static_cast<size_t>(length - i), &point, &fault);
    if (n > 0) {
      if (!toSet) {
        PutBytes(window + i, n);
      } else if (!PutPoint(point, i)) {
        return -1;
      }
      i += n;
      continue;
    }
    if (n == 0 && !Eof()) break;  // the rest of the character comes with the next read
    ReportInvalid(i, fault);
    return -1;
  }
  if (i >= length) return 0;
  std::memmove(inbuf, inbuf + i, static_cast<size_t>(length - i));
  return length - i;
}

int CUtf8Convert::ConvertSetWindow(const FastPath &fast, const NameIndex &names) {
  const unsigned char *window = inbuf;
  const int length = incount;
  // Invariant: every byte before i has been written (converted, or as part of a resolved reference).
  int i = 0;
  while (i < length) {
    if (outcount >= kFlushAt) {
      Flush();
      if (failed_) return -1;
    }
    // The fast path: eight bytes at a time while they are ASCII that stays as it is; where they are not,
    // the next kDenseStretch bytes one by one, each byte's UTF-8 form of at most kLongestUtf8 bytes
    // copied whole.
    const unsigned char *const lengths = fast.lengths;
    const UnicodeMap &forms = *map;
    const bool asciiStays = fast.asciiStays;  // (copies, so that the stores through out cannot change them)
    const uint64_t begins = kEveryByte * fast.begin;
    const int room = (kOutCapacity - outcount) / kLongestUtf8;
    const unsigned char *at = window + i;
    const unsigned char *const stretchEnd = window + (length - i < room ? length : i + room);
    unsigned char *__restrict out = outbuf + outcount;
    const unsigned char *stop = at;  // where the bytes taken one by one end
    for (;;) {
      if (at == stop) {
        if (asciiStays && stretchEnd - at >= 8 && PlainAscii(LoadWord(at), begins) == 8) {
          std::memcpy(out, at, 8);
          out += 8;
          at += 8;
          stop = at;
          continue;
        }
        stop = stretchEnd - at > kDenseStretch ? at + kDenseStretch : stretchEnd;
        if (at == stop) break;
      }
      const int n = lengths[*at];
      if (n == 0) break;
      std::memcpy(out, forms.Utf8Of(*at), kLongestUtf8);
      out += n;
      ++at;
    }
    outcount = static_cast<int>(out - outbuf);
    i = static_cast<int>(at - window);
    if (i == length || outcount >= kFlushAt) continue;
    // One byte off the fast path.
    const unsigned char c = window[i];
    if (c == fast.begin) {
      const int next = ResolveReference(i, &names);
      if (next == -1) return -1;
      if (next == -2) {
        std::memmove(inbuf, inbuf + i, static_cast<size_t>(length - i));
        return length - i;
      }
      if (next > i) {
        i = next;
        continue;
      }
    }
    PutSetByte(c);
    ++i;
  }
  return 0;
}

int CUtf8Convert::ResolveReference(int at, const NameIndex *names) {
  const unsigned char *window = inbuf;
  const int length = incount;
  const int end = from != nullptr ? from->end_entity : kEnd;
  const int numeric = from != nullptr ? from->numeric_entity : kNumeric;
  const int reach = at + kReferenceMax;  // one past the farthest place for the end character
  int close = at + 1;
  while (close < length && close < reach && window[close] != end) ++close;
  if (close == reach) return at;
  if (close == length) return Eof() ? at : -2;
  const unsigned char *name = window + at + 1;
  const int nameLength = close - at - 1;
  const int after = close + 1;
  // The name as ASCII characters: a set's bytes through their characters.
  char ascii[kCharNameMax];
  bool isAscii = true;
  for (int k = 0; k < nameLength && isAscii; ++k) {
    const int point = from != nullptr ? map->PointOf(name[k]) : name[k];
    isAscii = point >= 0 && point < 0x80;
    ascii[k] = static_cast<char>(point);
  }
  if (numeric >= 0 && nameLength > 0 && name[0] == numeric) {
    int number = 0;
    if (!isAscii ||
        !ReadNumericReference(reinterpret_cast<const unsigned char *>(ascii) + 1,
                              static_cast<size_t>(nameLength - 1), &number) ||
        !IsScalarValue(static_cast<unsigned long>(number))) {
      return at;
    }
    return PutPoint(static_cast<unsigned int>(number), at) ? after : -1;
  }
  if (!isAscii) return at;  // names are ASCII, in a set's text written with its bytes for them
  // The set's own names first, as a conversion between sets resolves them.
  if (names != nullptr) {
    const int byte = names->Find(ascii, static_cast<size_t>(nameLength));
    if (byte >= 0) {
      if (from != nullptr) {
        PutSetByte(static_cast<unsigned char>(byte));
      } else {
        PutByte(static_cast<unsigned char>(byte));
      }
      return after;
    }
  }
  unsigned int points[2];
  const int count = FindUnicodeName(ascii, static_cast<size_t>(nameLength), points);
  for (int k = 0; k < count; ++k) {
    if (!PutPoint(points[k], at)) return -1;
  }
  return count > 0 ? after : at;
}

bool CUtf8Convert::PutPoint(unsigned int point, int at) {
  if (to == nullptr) {
    unsigned char bytes[4];
    PutBytes(bytes, EncodeUtf8(point, bytes));
    return true;
  }
  const int byte = map->ByteOf(point);
  if (byte >= 0) {
    PutByte(static_cast<unsigned char>(byte));
    return true;
  }
  if (PutMissingReference(point)) return true;
  if (!failed_) {  // the run's first failure is the one reported
    ReportTarget()->Eprintf("Character U+%04X at byte offset %lu has neither a byte nor a reference in %s\n",
                            point, offset_ + static_cast<unsigned long>(at),
                            to->filename != nullptr ? to->filename : "the set");
  }
  failed_ = true;
  return false;
}

void CUtf8Convert::PutSetByte(unsigned char byte) {
  const int length = map->Utf8Length(byte);
  if (length > 0) {
    PutBytes(map->Utf8Of(byte), length);
  } else if (map->PointOf(byte) == kUndefined) {
    PutNumericReference(byte, kBegin, kNumeric, kEnd);
  } else {
    // Its name, each byte written as its own character (those without one are left out).
    PutByte(kBegin);
    for (const char *at = from->chars[byte].name; at != nullptr && *at != '\0'; ++at) {
      const unsigned char b = static_cast<unsigned char>(*at);
      PutBytes(map->Utf8Of(b), map->Utf8Length(b));
    }
    PutByte(kEnd);
  }
}

bool CUtf8Convert::PutMissingReference(unsigned int point) {
  if (to->begin_entity < 0 || to->end_entity < 0) return false;
  const char *name = UnicodeNameOf(point);
  if (name != nullptr && PutNamedReference(name, std::strlen(name), to->begin_entity, to->end_entity))
    return true;
  return to->numeric_entity >= 0 &&
         PutNumericReference(point, to->begin_entity, to->numeric_entity, to->end_entity);
}

bool CUtf8Convert::PutNumericReference(unsigned long number, int begin, int numeric, int end) {
  char digits[24];
  const int count = std::snprintf(digits, sizeof digits, "%lu", number);
  unsigned char reference[sizeof digits + 3];
  reference[0] = static_cast<unsigned char>(begin);
  reference[1] = static_cast<unsigned char>(numeric);
  for (int k = 0; k < count; ++k) {
    const int byte = OutputAscii(static_cast<unsigned char>(digits[k]));
    if (byte < 0) return false;
    reference[k + 2] = static_cast<unsigned char>(byte);
  }
  reference[count + 2] = static_cast<unsigned char>(end);
  PutBytes(reference, count + 3);
  return true;
}

bool CUtf8Convert::PutNamedReference(const char *name, size_t length, int begin, int end) {
  unsigned char reference[kReferenceMax];
  if (length > static_cast<size_t>(kCharNameMax)) return false;
  reference[0] = static_cast<unsigned char>(begin);
  for (size_t k = 0; k < length; ++k) {
    const int byte = OutputAscii(static_cast<unsigned char>(name[k]));
    if (byte < 0) return false;
    reference[k + 1] = static_cast<unsigned char>(byte);
  }
  reference[length + 1] = static_cast<unsigned char>(end);
  PutBytes(reference, static_cast<int>(length) + 2);
  return true;
}

int CUtf8Convert::OutputAscii(unsigned char c) const { return to == nullptr ? c : map->ByteOf(c); }

void CUtf8Convert::PutBytes(const unsigned char *bytes, int count) {
  for (int k = 0; k < count; ++k) {
    if (outcount == kOutCapacity) Flush();
    outbuf[outcount++] = bytes[k];
  }
}

void CUtf8Convert::Flush() {
  if (!failed_ && outcount > 0) {
    Write(outbuf, static_cast<unsigned int>(outcount));
    if (Error()) ReportQueueError();
  }
  outcount = 0;
}

void CUtf8Convert::ReportInvalid(int at, Utf8Fault fault) {
  if (!failed_) {  // the run's first failure is the one reported
    ReportTarget()->Eprintf("Invalid UTF-8 at byte offset %lu: %s\n",
                            offset_ + static_cast<unsigned long>(at), Describe(fault));
  }
  failed_ = true;
}

void CUtf8Convert::ReportQueueError() {
  ReportTarget()->Eprintf("I/O error %d on stream\n", Error());
  failed_ = true;
}
