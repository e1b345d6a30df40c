// chs_entry: what a character set knows about one byte value: whether it is defined, the subsets it
// belongs to and its name. A set holds 256 of them, indexed by value.
#ifndef RUNEFLOW_ENGINE_CHARSET_CHS_ENTRY_H
#define RUNEFLOW_ENGINE_CHARSET_CHS_ENTRY_H

struct chs_entry {
  int value;             // -1 when the set does not define this value, otherwise the value itself
  unsigned int subsets;  // bit n set: the character belongs to subset n (1 to 31)
  char *name;            // 0 to 32 characters, NUL-terminated; null for an undefined value
};

#endif
