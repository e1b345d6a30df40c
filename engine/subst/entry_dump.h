// DumpEntry: a compiled entry of a loaded table written out readably, so that tests (and people
// checking a table) can state what a pattern and its replacement compiled to.
#ifndef RUNEFLOW_ENGINE_SUBST_ENTRY_DUMP_H
#define RUNEFLOW_ENGINE_SUBST_ENTRY_DUMP_H

#include <string>

#include "engine/subst/subst_tbl.h"

// The compiled pattern and replacement in double quotes, then the fields that differ from a plain
// entry's, as name=value. In the strings an escape code shows as a backslash, its number (from subs)
// when not 0 and its letter ("\3*"), a variable reference as "%" and its letter, a byte outside
// printable ASCII (or "{") as its value in hex within braces ("{E9}"). For example:
//   "a\3*b" "[\*]" wsubset=3 wmax=20 term=-3
std::string DumpEntry(const CSubstTbl &table, const sub_struct &e);

#endif
