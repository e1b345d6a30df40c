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
  // The length and three bytes (first, middle, last) tell the names of a set apart well enough, and take
  // the same few steps however long a name is.
  if (length == 0) return 0;
  const unsigned int first = static_cast<unsigned char>(name[0]);
  const unsigned int middle = static_cast<unsigned char>(name[length / 2]);
  const unsigned int last = static_cast<unsigned char>(name[length - 1]);
  const unsigned int hash = (first * 31u + middle) * 31u + last + static_cast<unsigned int>(length) * 131u;
  return (hash ^ (hash >> 9)) % kBuckets;
}

int NameIndex::Find(const char *name, size_t nameLength) const {
  if (set.chars == nullptr) return -2;
  for (int value = first[Bucket(name, nameLength)]; value >= 0; value = next[value]) {
    if (length[value] != nameLength) continue;
    const char *candidate = set.chars[value].name;
    size_t at = 0;
    while (at < nameLength && candidate[at] == name[at]) ++at;
    if (at == nameLength) return value;
  }
  return -2;
}
