// A character-set file for tests: the built-in set's characters under their names, "&", ";" and "#" as
// the reference characters and the letters' case subsets, followed by lines of the test's own.
#ifndef RUNEFLOW_TESTS_SUPPORT_ASCII_SET_H
#define RUNEFLOW_TESTS_SUPPORT_ASCII_SET_H

#include <cstdio>
#include <string>

#include "engine/charset/builtin_charset.h"
#include "engine/charset/charset.h"

// The set file; extraLines are in base 16 (value right-aligned in three characters, TAB, type, TAB, name).
inline std::string AsciiSetFile(const std::string &extraLines) {
  const CCharSet &builtin = *BuiltinCharSet();
  std::string file = "#BASE 16\n";
  for (int value = 0; value < 256; ++value) {
    if (builtin.chars[value].value < 0) continue;
    char line[64];
    const unsigned subsets = builtin.chars[value].subsets;
    std::snprintf(line, sizeof line, "%3X\t%s%s%s%s\t%s\n", value, value == '&' ? "B," : "",
                  value == ';' ? "E," : "", value == '#' ? "N," : "",
                  subsets & (1u << kSubsetLower)   ? "3"
                  : subsets & (1u << kSubsetUpper) ? "4"
                                                   : "",
                  builtin.chars[value].name);
    file += line;
  }
  return file + extraLines;
}

#endif
