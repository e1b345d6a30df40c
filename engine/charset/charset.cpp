// The set-file reader: directives, value and type fields, names, and the case pairing that follows a
// successful read. Every message names the resolved file and quotes the offending line.
#include "engine/charset/charset.h"

#include <cstring>

#include "common/mergepath.h"
#include "engine/charset/decimal.h"
#include "engine/charset/read_line.h"
#include "engine/stream/allocator.h"
#include "engine/stream/stream.h"

IMPLEMENT_RUNTIME_CLASS(CCharSet, CObject)

namespace {

const int kValueColumns = 3;  // the value field fills the first three columns
const char kBaseDirective[] = "#BASE ";
const char kNoMemory[] = "CCharSet: Memory allocation error\n";

// The value of a digit in base 8 or 16, or -1 when c is not one.
int DigitValue(char c, int base) {
  int digit = -1;
  if (c >= '0' && c <= '9') digit = c - '0';
  if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
  if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
  return digit < base ? digit : -1;
}

// The value field (the first length bytes, at most three) read in base 8, 10 or 16.
int ReadValue(const char *field, size_t length, int base) {
  if (base == 10) return ReadDecimal(field, length);
  size_t at = 0;
  while (at < length && field[at] == ' ') ++at;
  int value = 0;
  for (int digit; at < length && (digit = DigitValue(field[at], base)) >= 0; ++at)
    value = value * base + digit;
  return value;
}

}  // namespace

CCharSet::CCharSet()
    : errsink(nullptr),
      filename(nullptr),
      begin_entity(-1),
      end_entity(-1),
      numeric_entity(-1),
      chars(nullptr),
      othercase(nullptr) {}

CCharSet::~CCharSet() { Release(); }

void CCharSet::Release() {
  if (chars != nullptr) {
    for (int value = 0; value < 256; ++value) EngineFree(chars[value].name);
  }
  EngineFree(chars);
  EngineFree(othercase);
  EngineFree(filename);
  chars = nullptr;
  othercase = nullptr;
  filename = nullptr;
}

int CCharSet::Open(CStreamObj *sink, const char *name) {
  Release();
  begin_entity = end_entity = numeric_entity = -1;
  errsink = sink;
  if (errsink == nullptr) return 0;
  if (name == nullptr || name[0] == '\0') {
    errsink->Eprintf("CCharSet: Empty FileName\n");
    return 0;
  }
  filename = static_cast<char *>(EngineAlloc(kMaxPath));
  if (filename != nullptr) othercase = static_cast<int *>(EngineAlloc(256 * sizeof(int)));
  if (othercase != nullptr) chars = static_cast<chs_entry *>(EngineAlloc(256 * sizeof(chs_entry)));
  if (chars == nullptr) {
    errsink->Eprintf("%s", kNoMemory);
    return 0;
  }
  for (int value = 0; value < 256; ++value) {
    chars[value] = chs_entry{-1, 0, nullptr};
    othercase[value] = -1;
  }
  filename[0] = '\0';

  if (!mergepath(filename, CStream::DirectoryOf(errsink), name, "chs")) {
    errsink->Eprintf("Illegal file name: %s\n", name);
    return 0;
  }
  FILE *file = std::fopen(filename, "rb");
  if (file == nullptr) {
    errsink->Eprintf("Can't open %s\n", filename);
    return 0;
  }
  bool lowerExcluded[256] = {};
  bool upperExcluded[256] = {};
  int loaded = ReadLines(file, lowerExcluded, upperExcluded);
  std::fclose(file);
  if (!loaded) return 0;

  if (begin_entity >= 0 && end_entity < 0) {
    errsink->Eprintf("%s: Missing end entity character\n", filename);
    return 0;
  }
  if (end_entity >= 0 && begin_entity < 0) {
    errsink->Eprintf("%s: Missing begin entity character\n", filename);
    return 0;
  }
  PairCases(lowerExcluded, upperExcluded);
  return 1;
}

int CCharSet::ReadLines(FILE *file, bool *lowerExcluded, bool *upperExcluded) {
  const size_t directiveLength = sizeof kBaseDirective - 1;
  int base = 10;
  char line[kLineSize];
  for (int number = 1;; ++number) {
    LineRead read = ReadLine(file, line);
    if (std::ferror(file)) {
      errsink->Eprintf("I/O error %d on %s\n", std::ferror(file), filename);
      return 0;
    }
    if (read == kEndOfFile) return 1;
    if (read == kLongLine) {
      ReportLongLine(errsink, filename, number, line);
      return 0;
    }
    // A NUL byte ends the line's text.
    size_t length = std::strlen(line);
    if (line[0] == kCommentMark || line[0] == '\n') continue;
    if (std::strncmp(line, kBaseDirective, directiveLength) == 0) {
      base = ReadDecimal(line + directiveLength, length - directiveLength);
      continue;
    }
    if (!DefineCharacter(line, length, base, lowerExcluded, upperExcluded)) return 0;
  }
}

int CCharSet::DefineCharacter(const char *line, size_t length, int base, bool *lowerExcluded,
                              bool *upperExcluded) {
  if (base != 8 && base != 10 && base != 16) {
    ReportLine(errsink, line, "%s: Illegal base\n", filename);
    return 0;
  }
  int value = ReadValue(line, length < kValueColumns ? length : kValueColumns, base);
  if (value < 0 || value > 255) {
    ReportLine(errsink, line, "%s: Illegal character value (%d)\n", filename, value);
    return 0;
  }
  if (chars[value].value == value) {
    ReportLine(errsink, line, "%s: Duplicate character value (%d)\n", filename, value);
    return 0;
  }
  if (length <= kValueColumns || line[kValueColumns] != '\t') {
    int found = length > kValueColumns ? static_cast<unsigned char>(line[kValueColumns]) : 0;
    ReportLine(errsink, line, "%s: Missing tab (%d) after character value\n", filename, found);
    return 0;
  }

  // The type field runs from the fifth column to the next TAB; numbers are read inside it only.
  unsigned int subsets = 1u << kSubsetAll;
  size_t fieldEnd = kValueColumns + 1;
  while (fieldEnd < length && line[fieldEnd] != '\t') ++fieldEnd;
  size_t at = kValueColumns + 1;
  while (at < fieldEnd) {
    int *role = line[at] == 'B'   ? &begin_entity
                : line[at] == 'E' ? &end_entity
                : line[at] == 'N' ? &numeric_entity
                                  : nullptr;
    if (role != nullptr) {
      if (*role >= 0) {
        const char *which = role == &begin_entity ? "begin" : role == &end_entity ? "end" : "numeric";
        ReportLine(errsink, line, "%s: Duplicate %s entity character\n", filename, which);
        return 0;
      }
      *role = value;
      ++at;
    } else {
      int number = ReadDecimal(line + at, fieldEnd - at);
      if (number == 0) {
        ReportLine(errsink, line, "%s: Illegal subset\n", filename);
        return 0;
      }
      if (number > kSubsetMax || number < -kSubsetMax) {
        ReportLine(errsink, line, "%s: Illegal subset: %d (Max %d)\n", filename, number, kSubsetMax);
        return 0;
      }
      if (number > 0) subsets |= 1u << number;
      if (number == -kSubsetAll) subsets &= ~(1u << kSubsetAll);
      if (number == -kSubsetLower) lowerExcluded[value] = true;
      if (number == -kSubsetUpper) upperExcluded[value] = true;
      // Numbers are written without leading zeros, sign or blanks: step over their digits and minus.
      size_t width = (number >= 10 || number <= -10 ? 2 : 1) + (number < 0 ? 1 : 0);
      at = at + width < fieldEnd ? at + width : fieldEnd;
    }
    if (at < fieldEnd && line[at] == ',') ++at;
  }
  if (fieldEnd == length) {
    ReportLine(errsink, line, "%s: Missing tab after character type\n", filename);
    return 0;
  }

  const char *name = line + fieldEnd + 1;
  size_t nameLength = length - fieldEnd - 1;
  if (nameLength > 0 && name[nameLength - 1] == '\n') --nameLength;
  if (nameLength > static_cast<size_t>(kCharNameMax)) {
    ReportLine(errsink, line, "%s: Character name too long (Max %d)\n", filename, kCharNameMax);
    return 0;
  }
  char *copy = static_cast<char *>(EngineAlloc(nameLength + 1));
  if (copy == nullptr) {
    errsink->Eprintf("%s", kNoMemory);
    return 0;
  }
  std::memcpy(copy, name, nameLength);
  copy[nameLength] = '\0';
  // Defined only now, so that a refused line leaves no character without a name.
  chars[value] = chs_entry{value, subsets, copy};
  return 1;
}

void CCharSet::PairCases(const bool *lowerExcluded, const bool *upperExcluded) {
  const unsigned int lowerSide = (1u << kSubsetPaired) | (1u << kSubsetLower);
  const unsigned int upperSide = (1u << kSubsetPaired) | (1u << kSubsetUpper);
  for (int value = 0; value < 256; ++value) othercase[value] = -1;
  for (int upper = 0; upper < 256; ++upper) {
    const char *name = chars[upper].name;
    if (chars[upper].value != upper || name[0] < 'A' || name[0] > 'Z' || upperExcluded[upper]) continue;
    char folded[kCharNameMax + 1];
    size_t at = 0;
    for (; name[at] != '\0'; ++at) {
      folded[at] = name[at] >= 'A' && name[at] <= 'Z' ? static_cast<char>(name[at] - 'A' + 'a') : name[at];
    }
    folded[at] = '\0';
    int lower = chsval(folded);
    if (lower < 0 || lowerExcluded[lower]) continue;
    chars[upper].subsets |= upperSide;
    othercase[upper] = lower;
    chars[lower].subsets |= lowerSide;
    othercase[lower] = upper;
  }
}

int CCharSet::chsval(const char *name) const {
  return name != nullptr ? chsval(name, std::strlen(name)) : -2;
}

int CCharSet::chsval(const char *name, size_t length) const {
  if (chars == nullptr) return -2;
  for (int value = 0; value < 256; ++value) {
    const char *stored = chars[value].name;
    if (chars[value].value == value && std::strncmp(stored, name, length) == 0 &&
        std::strlen(stored) == length)
      return value;
  }
  return -2;
}
