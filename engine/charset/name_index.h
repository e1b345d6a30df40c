// NameIndex: the characters of a loaded set by name, for a conversion run that looks up many entity
// references. It answers exactly as CCharSet::chsval (the lowest defined value with that name), but
// with a hash lookup instead of a scan of the whole set. It lives for one run and allocates nothing.
#ifndef RUNEFLOW_ENGINE_CHARSET_NAME_INDEX_H
#define RUNEFLOW_ENGINE_CHARSET_NAME_INDEX_H

#include <cstddef>

class CCharSet;

class NameIndex {
 public:
  // Indexes the names of set as they stand; the set must not change while the index is used.
  explicit NameIndex(const CCharSet &set);
  // The value whose name is the nameLength bytes at name, or -2 when there is none.
  int Find(const char *name, size_t nameLength) const;

 private:
  static const int kBuckets = 512;
  static unsigned int Bucket(const char *name, size_t length);

  const CCharSet &set;
  short first[kBuckets];  // the lowest value in each bucket, -1 when empty
  short next[256];        // the next higher value in the same bucket, -1 at the end
  unsigned char length[256];  // the length of each indexed name (names hold at most 32 characters)
};

#endif
