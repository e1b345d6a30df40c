// alias_struct: one alias of a substitution-table file, a backslash name that stands for a short text in
// the patterns written after its definition. Aliases exist only while the file is read.
#ifndef RUNEFLOW_ENGINE_SUBST_ALIAS_STRUCT_H
#define RUNEFLOW_ENGINE_SUBST_ALIAS_STRUCT_H

const int kAliasTextSize = 21;  // bytes of a name or value: at most 19 characters and the terminator

struct alias_struct {
  char name[kAliasTextSize];   // as written: a backslash and at least one more character
  char value[kAliasTextSize];  // replaces the name in patterns, copied without interpretation
};

#endif
