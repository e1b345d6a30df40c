// The table-file reader. Open classifies each line (alias, separator, comment, entry), reads its quoted
// strings raw, reads the fields between an entry's two strings, has the pattern compiler compile both
// strings and checks what they compiled to; each problem is reported once on the error sink, with the
// offending line when there is one.
#include "engine/subst/subst_tbl.h"

#include <climits>
#include <cstdarg>
#include <cstring>
#include <new>

#include "common/mergepath.h"
#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/decimal.h"
#include "engine/charset/read_line.h"
#include "engine/stream/allocator.h"
#include "engine/stream/stream.h"
#include "engine/subst/pattern_compiler.h"
#include "engine/subst/pattern_units.h"
#include "engine/subst/reference.h"

IMPLEMENT_RUNTIME_CLASS(CSubstTbl, CObject)

namespace {

const char kAliasDirective[] = "#ALIAS ";
const char kSeparatorDirective[] = "#CONCAT ";
const char kMissingQuote[] = "Missing quote (\")";
const int kTerminatorNameMax = 31;  // characters of a structure terminator's name

// Reads one quoted string from at: skips to the first double quote or backslash, which must be a quote,
// and copies what stands between it and the closing quote (a backslash protects the character after
// it; both stay) into dest, which must be shorter than limit. Returns the position after the closing
// quote; on failure returns null with the reason copied into dest (limit bytes).
const char *getquoted(const char *at, char *dest, int limit) {
  dest[0] = '\0';
  const char *reason = kMissingQuote;
  const char *open = at + std::strcspn(at, "\"\\");
  if (*open == '"') {
    const char *close = open + 1;
    for (close += std::strcspn(close, "\"\\"); *close == '\\'; close += std::strcspn(close, "\"\\"))
      close += close[1] != '\0' ? 2 : 1;
    if (*close == '"') {
      size_t length = static_cast<size_t>(close - open - 1);
      if (length < static_cast<size_t>(limit)) {
        std::memcpy(dest, open + 1, length);
        dest[length] = '\0';
        return close + 1;
      }
      reason = "String too long.";
    }
  }
  std::snprintf(dest, static_cast<size_t>(limit), "%s", reason);
  return nullptr;
}

// True when c is a line's end: its line feed, or the end of its text.
bool EndsLine(char c) { return c == '\n' || c == '\0'; }

}  // namespace

CSubstTbl::CSubstTbl()
    : errsink(nullptr),
      filename(nullptr),
      entries(nullptr),
      count(0),
      dropunmatched(0),
      concat(nullptr),
      maxmatch(0),
      tblset(nullptr),
      textset(nullptr),
      conv(nullptr),
      c_star(0),
      c_esc(0),
      c_caret(0),
      c_bang(0),
      c_minus(0),
      c_lt(0),
      c_gt(0),
      c_pct(0),
      c_dot(0),
      c_plus(0),
      c_query(0),
      aliases(nullptr),
      naliases(0),
      strbuf(nullptr) {}

CSubstTbl::~CSubstTbl() { Release(); }

void CSubstTbl::Release() {
  EngineFree(aliases);
  EngineFree(strbuf);
  EngineFree(filename);
  if (entries != nullptr) {
    // Records past count hold null, except one whose line failed part way.
    for (int index = 0; index < kMaxEntries; ++index) {
      EngineFree(entries[index].from);
      EngineFree(entries[index].subs);
      EngineFree(entries[index].to);
    }
  }
  EngineFree(entries);
  EngineFree(concat);
  delete conv;
  aliases = nullptr;
  strbuf = nullptr;
  filename = nullptr;
  entries = nullptr;
  concat = nullptr;
  conv = nullptr;
  count = 0;
  dropunmatched = 0;
  maxmatch = 0;
  naliases = 0;
}

int CSubstTbl::Open(CStreamObj *sink, const char *name, CCharSet *textSet, CCharSet *tableSet) {
  Release();
  errsink = sink;
  if (errsink == nullptr) return 0;
  if (textSet == nullptr || tableSet == nullptr) return Refuse(nullptr, "CSubstTbl: Missing character set\n");
  aliases = static_cast<alias_struct *>(EngineAlloc(kMaxAliases * sizeof(alias_struct)));
  strbuf = static_cast<char *>(EngineAlloc(kMaxPattern + 1));
  if (aliases == nullptr || strbuf == nullptr) return Refuse(nullptr, "%s", kTableNoMemory);

  textset = textSet;
  tblset = tableSet;
  conv = new (std::nothrow) CConvTbl;
  if (conv == nullptr) return Refuse(nullptr, "%s", kTableNoMemory);
  if (!conv->Open(errsink, tblset, textset)) return 0;

  filename = EngineZeroed(kMaxPath);
  entries = reinterpret_cast<sub_struct *>(EngineZeroed(kMaxEntries * sizeof(sub_struct)));
  concat = EngineZeroed(kConcatSize);
  if (filename == nullptr || entries == nullptr || concat == nullptr)
    return Refuse(nullptr, "%s", kTableNoMemory);

  c_star = TextCode(*conv, '*');
  c_esc = TextCode(*conv, '\\');
  c_caret = TextCode(*conv, '^');
  c_bang = TextCode(*conv, '!');
  c_minus = TextCode(*conv, '-');
  c_lt = TextCode(*conv, '<');
  c_gt = TextCode(*conv, '>');
  c_pct = TextCode(*conv, '%');
  c_dot = TextCode(*conv, '.');
  c_plus = TextCode(*conv, '+');
  c_query = TextCode(*conv, '?');

  if (name == nullptr || !mergepath(filename, CStream::DirectoryOf(errsink), name, "sub"))
    return Refuse(nullptr, "Illegal file name: %s\n", name != nullptr ? name : "");
  FILE *file = std::fopen(filename, "rb");
  if (file == nullptr) return Refuse(nullptr, "Can't open %s\n", filename);
  int loaded = ReadLines(file);
  std::fclose(file);
  if (!loaded) return 0;

  EngineFree(aliases);
  aliases = nullptr;
  EngineFree(strbuf);
  strbuf = nullptr;
  return 1;
}

int CSubstTbl::ReadLines(FILE *file) {
  char line[kLineSize];
  for (int number = 1;; ++number) {
    LineRead read = ReadLine(file, line);
    if (std::ferror(file)) return Refuse(nullptr, "I/O error %d on %s\n", std::ferror(file), filename);
    if (read == kEndOfFile) return 1;
    if (read == kLongLine) {
      ReportLongLine(errsink, filename, number, line);
      return 0;
    }
    int accepted = 1;
    if (std::strncmp(line, kAliasDirective, sizeof kAliasDirective - 1) == 0) {
      accepted = DefineAlias(line);
    } else if (std::strncmp(line, kSeparatorDirective, sizeof kSeparatorDirective - 1) == 0) {
      accepted = DefineSeparator(line);
    } else if (line[0] != kCommentMark && line[0] != '\n') {
      accepted = AddEntry(line);
    }
    if (!accepted) return 0;
  }
}

int CSubstTbl::DefineAlias(const char *line) {
  if (naliases == kMaxAliases)
    return Refuse(line, "%s: Alias table is longer than %d\n", filename, kMaxAliases);
  alias_struct *alias = &aliases[naliases];
  const char *at = getquoted(line + sizeof kAliasDirective - 1, alias->name, kAliasTextSize - 1);
  if (at == nullptr) return Refuse(line, "%s: %s\n", filename, alias->name);
  if (alias->name[0] != '\\' || alias->name[1] == '\0' ||
      std::strchr("*\\<>?\"[]", alias->name[1]) != nullptr)
    return Refuse(line, "%s: Illegal alias \"%s\"\n", filename, alias->name);
  if (getquoted(at, alias->value, kAliasTextSize - 1) == nullptr)
    return Refuse(line, "%s: %s\n", filename, alias->value);
  ++naliases;
  return 1;
}

int CSubstTbl::DefineSeparator(const char *line) {
  if (getquoted(line + sizeof kSeparatorDirective - 1, concat, kConcatSize) == nullptr)
    return Refuse(line, "%s: %s\n", filename, concat);
  return 1;
}

int CSubstTbl::AddEntry(const char *line) {
  if (count == kMaxEntries)
    return Refuse(line, "%s: Substitution table is longer than %d\n", filename, kMaxEntries);
  sub_struct *e = &entries[count];  // unused so far: every field zero, no strings
  const char *at = getquoted(line, strbuf, kMaxPattern);
  if (at == nullptr) return Refuse(line, "%s: %s\n", filename, strbuf);
  e->from = EngineCopy(strbuf);
  e->subs = EngineZeroed(std::strlen(strbuf) + 1);
  if (e->from == nullptr || e->subs == nullptr) return Refuse(nullptr, "%s", kTableNoMemory);
  at = ReadFields(at, line, e);
  if (at == nullptr) return 0;
  if (getquoted(at, strbuf, kMaxPattern) == nullptr) return Refuse(line, "%s: %s\n", filename, strbuf);
  e->to = EngineCopy(strbuf);
  if (e->to == nullptr) return Refuse(nullptr, "%s", kTableNoMemory);

  if (std::strcmp(e->from, "\\*") == 0 && e->to[0] == '\0') {
    // The switch that drops unmatched text; it is no entry.
    dropunmatched = 1;
    EngineFree(e->from);
    EngineFree(e->subs);
    EngineFree(e->to);
    *e = sub_struct{};
    return 1;
  }

  if (!PatternCompiler(*this, line).Compile(e, e->from) || !CheckPattern(e, line)) return 0;
  int patternEscapes = e->start;
  bool patternHasWildcard = e->wc != -1;
  long long need = static_cast<long long>(e->wmax) + static_cast<long long>(std::strlen(e->from)) - e->pi;
  if (need > maxmatch) maxmatch = need > INT_MAX ? INT_MAX : static_cast<int>(need);

  if (!PatternCompiler(*this, line).Compile(e, e->to) ||
      !CheckReplacement(e, patternEscapes, patternHasWildcard, line))
    return 0;
  e->start = 0;
  e->pi = 0;
  e->wc = 0;
  ++count;
  return 1;
}

const char *CSubstTbl::ReadFields(const char *at, const char *line, sub_struct *e) {
  e->wmax = ReadDecimal(at, std::strlen(at));
  if (e->wmax == 0) e->wmax = kDefaultWmax;
  // Fields are separated by blanks only; the first one that begins with a double quote is the
  // replacement. Of the others only a terminator's beginning matters: the rest of a field is skipped.
  for (;;) {
    while (*at == ' ') ++at;
    if (*at == '"') return at;
    if (EndsLine(*at)) {
      Refuse(line, "%s: %s\n", filename, kMissingQuote);
      return nullptr;
    }
    if (static_cast<unsigned char>(*at) == tblset->begin_entity && !ReadTerminator(at + 1, line, e))
      return nullptr;
    while (*at != ' ' && !EndsLine(*at)) ++at;
  }
}

int CSubstTbl::ReadTerminator(const char *name, const char *line, sub_struct *e) {
  int length = 0;
  while (length <= kTerminatorNameMax && !EndsLine(name[length]) &&
         static_cast<unsigned char>(name[length]) != tblset->end_entity)
    ++length;
  if (length > kTerminatorNameMax || EndsLine(name[length]))
    return Refuse(line, "%s: Illegal structure terminator char\n", filename);
  if (name[0] == '*') {
    int subset = ReadDecimal(name + 1, static_cast<size_t>(length - 1));
    if (subset < 0 || subset > kSubsetMax)
      return Refuse(line, "%s: Invalid Subset in structure terminator\n", filename);
    e->term = -subset;
    return 1;
  }
  int value = textset->chsval(name, static_cast<size_t>(length));
  if (value == kNoSuchName)
    return Refuse(line, "%s: Structure terminator char not in character set\n", filename);
  e->term = value;
  return 1;
}

int CSubstTbl::CheckPattern(const sub_struct *e, const char *line) {
  int length = static_cast<int>(std::strlen(e->from));
  if (e->wc == 0) return Refuse(line, "%s: From string can't start with \"\\*\" or \"%%A\"\n", filename);
  if (length > 2 && e->wc == length - 2) {
    if (e->var != 0) return Refuse(line, "%s: From string can't end with \"%%A\"\n", filename);
    return Refuse(line, "%s: From string can't end with \"\\*\"\n", filename);
  }
  return 1;
}

int CSubstTbl::CheckReplacement(const sub_struct *e, int patternEscapes, bool patternHasWildcard,
                                const char *line) {
  if (e->start > patternEscapes) return Refuse(line, "%s: To string has too many \"\\?\"\n", filename);
  if (e->wc != -1 && !patternHasWildcard)
    return Refuse(line, "%s: From string doesn't have \"\\*\"\n", filename);
  return 1;
}

int CSubstTbl::cnvsub(sub_struct *e, char *s) { return PatternCompiler(*this, nullptr).Compile(e, s); }

void CSubstTbl::InitState() {
  for (int index = 0; index < count; ++index) {
    sub_struct &e = entries[index];
    e.state = e.group != 0 ? kDisabled : kAlwaysEnabled;
    e.start = 0;
    e.pi = 0;
    e.wc = 0;
  }
}

int CSubstTbl::Refuse(const char *line, const char *format, ...) {
  va_list args;
  va_start(args, format);
  if (line == nullptr) {
    char message[kErrTextMax + 1];
    std::vsnprintf(message, sizeof message, format, args);
    errsink->Eprintf("%s", message);
  } else {
    ReportLineV(errsink, line, format, args);
  }
  va_end(args);
  return 0;
}
