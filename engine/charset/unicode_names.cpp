// Lookups in the generated tables of Unicode names: binary searches over names in byte order and over
// code points, and the "uniXXXX" names read from their digits.
#include "engine/charset/unicode_names.h"

#include <cstring>

namespace {

// The code point of a canonical "uniXXXX" name, or kNoPoint.
unsigned int ReadUniName(const char *name, size_t length) {
  if (length < 7 || length > 9 || std::memcmp(name, "uni", 3) != 0) return kNoPoint;
  if (length > 7 && name[3] == '0') return kNoPoint;  // one spelling per code point
  unsigned int point = 0;
  for (size_t at = 3; at < length; ++at) {
    const char c = name[at];
    if (c >= '0' && c <= '9') {
      point = point * 16 + static_cast<unsigned int>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      point = point * 16 + static_cast<unsigned int>(c - 'A' + 10);
    } else {
      return kNoPoint;
    }
  }
  return IsScalarValue(point) ? point : kNoPoint;
}

// Orders a table name against the length bytes at name (which hold no NUL), as bytes.
int Compare(const char *entry, const char *name, size_t length) {
  const int order = std::strncmp(entry, name, length);
  if (order != 0) return order;
  return entry[length] == '\0' ? 0 : 1;
}

}  // namespace

int FindUnicodeName(const char *name, size_t length, unsigned int points[2]) {
  if (std::memchr(name, '\0', length) != nullptr) return 0;
  unsigned int low = 0, high = kUnicodeNameCount;
  // Invariant: the name, if the table holds it, is at an index in [low, high).
  while (low < high) {
    const unsigned int middle = low + (high - low) / 2;
    const int order = Compare(kUnicodeNames[middle].name, name, length);
    if (order == 0) {
      points[0] = kUnicodeNames[middle].first;
      points[1] = kUnicodeNames[middle].second;
      return points[1] == kNoPoint ? 1 : 2;
    }
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  points[0] = ReadUniName(name, length);
  return points[0] == kNoPoint ? 0 : 1;
}

const char *UnicodeNameOf(unsigned int point) {
  unsigned int low = 0, high = kWrittenNameCount;
  while (low < high) {
    const unsigned int middle = low + (high - low) / 2;
    if (kWrittenNames[middle].point == point) return kUnicodeNames[kWrittenNames[middle].name].name;
    if (kWrittenNames[middle].point < point) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return nullptr;
}
