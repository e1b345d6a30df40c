// The invariants of a loaded character set and of a loaded substitution table, checked by every target
// that loads one, the line rules of their files, and digests of both so that two loads of the same file
// can be compared.
#ifndef RUNEFLOW_FUZZ_INVARIANTS_H
#define RUNEFLOW_FUZZ_INVARIANTS_H

#include <string>

#include "engine/charset/charset.h"
#include "engine/subst/subst_tbl.h"

// A set after a successful Open: values and names consistent, chsval finds the lowest value of each name,
// reference characters defined and begin and end present together, case partners as the pairing makes
// them (mutual, except that the later of two upper-case names folding alike wins the lower-case side).
void CheckLoadedSet(const CCharSet &set);
// A table after a successful Open: at most kMaxEntries entries with bounded strings and fields, every
// pattern with at most one wildcard, neither first nor last, every replacement asking for no more than
// its pattern captures, and maxmatch covering the longest text any entry can match.
void CheckLoadedTable(const CSubstTbl &table);

// The line rules that set and table files share, read from a file's bytes: true when a line that is no
// comment (one not beginning with "!") holds more than kLineMax bytes before its line end (a line feed,
// or a carriage return and a line feed), which must make the load fail.
bool HasLongLine(const std::string &file);
// The file with every comment line cut to its "!", which must load exactly as the file does.
std::string WithShortComments(const std::string &file);

// Everything a load leaves in the set, or in the table, as text.
std::string SetDigest(const CCharSet &set);
std::string TableDigest(const CSubstTbl &table);

#endif
