// The compiled Unicode map of a set: each defined byte's name looked up among the Unicode names, then
// the code points indexed for the way back (a table below U+0800, a sorted list above).
#include "engine/charset/unicode_map.h"

#include <cstring>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/unicode_names.h"
#include "engine/charset/utf8_sequence.h"
#include "engine/stream/allocator.h"

void *UnicodeMap::operator new(size_t size, const std::nothrow_t &) noexcept { return EngineAlloc(size); }
void UnicodeMap::operator delete(void *memory) noexcept { EngineFree(memory); }

void UnicodeMap::Build(const CCharSet &set) {
  std::memset(utf8Length_, 0, sizeof utf8Length_);
  std::memset(lowBytes_, -1, sizeof lowBytes_);
  highCount_ = 0;
  for (int byte = 0; byte < 256; ++byte) {
    points_[byte] = kUndefined;
    const chs_entry *entry = set.chars != nullptr ? &set.chars[byte] : nullptr;
    if (entry == nullptr || entry->value != byte) continue;
    unsigned int named[2];
    const char *name = entry->name != nullptr ? entry->name : "";
    const int count = FindUnicodeName(name, std::strlen(name), named);
    points_[byte] = count == 1 ? static_cast<int>(named[0]) : kUnnamed;
    for (int k = 0; k < count; ++k)
      utf8Length_[byte] += EncodeUtf8(named[k], utf8_[byte] + utf8Length_[byte]);
  }
  // Bytes in ascending order, so that the lowest byte of a code point is the one kept.
  for (int byte = 0; byte < 256; ++byte) {
    if (points_[byte] < 0) continue;
    const unsigned int point = static_cast<unsigned int>(points_[byte]);
    if (point < kTwoBytePoints) {
      if (lowBytes_[point] < 0) lowBytes_[point] = static_cast<short>(byte);
      continue;
    }
    // Insertion into the sorted list; a code point already there keeps its lower byte.
    int at = highCount_;
    while (at > 0 && highPoints_[at - 1] > point) --at;
    if (at > 0 && highPoints_[at - 1] == point) continue;
    std::memmove(highPoints_ + at + 1, highPoints_ + at, (highCount_ - at) * sizeof highPoints_[0]);
    std::memmove(highBytes_ + at + 1, highBytes_ + at, (highCount_ - at) * sizeof highBytes_[0]);
    highPoints_[at] = point;
    highBytes_[at] = static_cast<unsigned char>(byte);
    ++highCount_;
  }
}

int UnicodeMap::HighByteOf(unsigned int point) const {
  int low = 0, high = highCount_;
  while (low < high) {
    const int middle = (low + high) / 2;
    if (highPoints_[middle] == point) return highBytes_[middle];
    if (highPoints_[middle] < point) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return -1;
}
