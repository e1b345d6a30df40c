// CCharSet: one 8-bit character set, loaded from a set file that names each byte value it defines and
// gives its subsets and its role in entity references. Sets meet only through names: conversion tables
// pair values of two sets by name, and references in text are resolved by name.
#ifndef RUNEFLOW_ENGINE_CHARSET_CHARSET_H
#define RUNEFLOW_ENGINE_CHARSET_CHARSET_H

#include <cstdio>

#include "engine/charset/chs_entry.h"
#include "engine/export.h"
#include "engine/stream/object.h"

class CStreamObj;

const int kCharNameMax = 32;  // characters of a name
const int kSubsetMax = 31;    // highest subset number
const int kSubsetAll = 1;     // every character the file defines
const int kSubsetPaired = 2;  // letters with a case partner
const int kSubsetLower = 3;   // lower-case letters
const int kSubsetUpper = 4;   // upper-case letters

class RUNEFLOW_API CCharSet : public CObject {
  DECLARE_RUNTIME_CLASS(CCharSet)

 public:
  // An empty set: no tables, no file name, fit for Open only.
  CCharSet();
  ~CCharSet() override;

  // Loads the set file name, resolved with the default extension "chs" against the name of errsink's
  // head stream. Every problem is reported with Eprintf on errsink (exactly one message) and returns 0;
  // the set then holds what was loaded so far and is only fit to be destroyed. A second Open starts over.
  int Open(CStreamObj *errsink, const char *name);
  // The lowest defined value whose name is exactly name, or -2 when no character bears it.
  int chsval(const char *name) const;
  // The same for the length bytes at name, which need not be NUL-terminated; a NUL among them matches
  // no character.
  int chsval(const char *name, size_t length) const;

  CStreamObj *errsink;  // receives this set's messages; not owned
  char *filename;       // resolved path of the set file, owned; null until Open
  int begin_entity;     // value of the begin-entity character, -1 when none
  int end_entity;       // value of the end-entity character, -1 when none
  int numeric_entity;   // value of the numeric-entity character, -1 when none
  chs_entry *chars;     // 256 records indexed by value, owned (except the built-in set's)
  int *othercase;       // 256 case partners indexed by value, -1 when none; owned like chars

 private:
  // Releases the file name, the tables and every name.
  void Release();
  // Reads the open set file line by line into the tables; 0 (reported) at the first bad line. The
  // exclusion marks (-3: not a lower-case partner, -4: not an upper-case letter) are set per value.
  int ReadLines(FILE *file, bool *lowerExcluded, bool *upperExcluded);
  // Defines the character of one character line (length bytes, line end included) in base; 0 (reported)
  // when the line is refused.
  int DefineCharacter(const char *line, size_t length, int base, bool *lowerExcluded, bool *upperExcluded);
  // Pairs each upper-case letter with the character of its all-small name, unless a mark excludes them.
  void PairCases(const bool *lowerExcluded, const bool *upperExcluded);
};

#endif
