// The by-name index of a character set: values chained per bucket in ascending order, so that the first
// match is the lowest value, as the set's own scan finds it.
#include "engine/charset/name_index.h"

#include <cstring>

#include "engine/charset/charset.h"

NameIndex::NameIndex(const CCharSet &indexed) : set(indexed) {
  std::memset(first, -1, sizeof first);
  std::memset(next, -1, sizeof next);
  if (set.chars == nullptr) return;
  for (int value = 255; value >= 0; --value) {  // pushed in descending order: chains ascend
    const chs_entry &c = set.chars[value];
    if (c.value != value || c.name == nullptr) continue;
    const size_t nameLength = std::strlen(c.name);
    if (nameLength > 255) continue;  // no reference can name it: references are shorter
    length[value] = static_cast<unsigned char>(nameLength);
    const unsigned int bucket = Bucket(c.name, nameLength);
    next[value] = first[bucket];
    first[bucket] = static_cast<short>(value);
  }
}

unsigned int NameIndex::Bucket(const char *name, size_t length) {
  unsigned int hash = 2166136261u;
  for (size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(name[i])) * 16777619u;
  return (hash ^ (hash >> 15)) % kBuckets;
}

int NameIndex::Find(const char *name, size_t nameLength) const {
  if (set.chars == nullptr) return -2;
  for (int value = first[Bucket(name, nameLength)]; value >= 0; value = next[value]) {
    if (length[value] == nameLength && std::memcmp(set.chars[value].name, name, nameLength) == 0) return value;
  }
  return -2;
}
