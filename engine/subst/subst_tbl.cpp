// The table-file reader and the pattern compiler. Open classifies each line (alias, separator, comment,
// entry), reads its quoted strings raw, and compiles every entry in place into text-set bytes; each
// problem is reported once on the error sink, with the offending line when there is one.
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
#include "engine/subst/reference.h"

IMPLEMENT_RUNTIME_CLASS(CSubstTbl, CObject)

namespace {

const char kAliasDirective[] = "#ALIAS ";
const char kSeparatorDirective[] = "#CONCAT ";
const char kMissingQuote[] = "Missing quote (\")";
const char kNoMemory[] = "CSubstTbl: Memory allocation error\n";
const char kNotAllowed[] = "%s: \"\\%c\" not allowed\n";  // an escape letter a pattern may not hold here
const int kTerminatorNameMax = 31;                        // characters of a structure terminator's name

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

// True when c is one of the characters of set (never for the terminating NUL).
bool IsOneOf(unsigned char c, const char *set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// A zero-filled buffer of size bytes from the engine allocator, or null.
char *ZeroFilled(size_t size) {
  char *buffer = static_cast<char *>(EngineAlloc(size));
  if (buffer != nullptr) std::memset(buffer, 0, size);
  return buffer;
}

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
  if (textSet == nullptr || tableSet == nullptr) return refuse(nullptr, "CSubstTbl: Missing character set\n");
  aliases = static_cast<alias_struct *>(EngineAlloc(kMaxAliases * sizeof(alias_struct)));
  strbuf = static_cast<char *>(EngineAlloc(kMaxPattern + 1));
  if (aliases == nullptr || strbuf == nullptr) return refuse(nullptr, "%s", kNoMemory);

  textset = textSet;
  tblset = tableSet;
  conv = new (std::nothrow) CConvTbl;
  if (conv == nullptr) return refuse(nullptr, "%s", kNoMemory);
  if (!conv->Open(errsink, tblset, textset)) return 0;

  filename = ZeroFilled(kMaxPath);
  entries = reinterpret_cast<sub_struct *>(ZeroFilled(kMaxEntries * sizeof(sub_struct)));
  concat = ZeroFilled(kConcatSize);
  if (filename == nullptr || entries == nullptr || concat == nullptr) return refuse(nullptr, "%s", kNoMemory);

  c_star = code('*');
  c_esc = code('\\');
  c_caret = code('^');
  c_bang = code('!');
  c_minus = code('-');
  c_lt = code('<');
  c_gt = code('>');
  c_pct = code('%');
  c_dot = code('.');
  c_plus = code('+');
  c_query = code('?');

  if (name == nullptr || !mergepath(filename, CStream::DirectoryOf(errsink), name, "sub"))
    return refuse(nullptr, "Illegal file name: %s\n", name != nullptr ? name : "");
  FILE *file = std::fopen(filename, "rb");
  if (file == nullptr) return refuse(nullptr, "Can't open %s\n", filename);
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
    if (std::ferror(file)) return refuse(nullptr, "I/O error %d on %s\n", std::ferror(file), filename);
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
    return refuse(line, "%s: Alias table is longer than %d\n", filename, kMaxAliases);
  alias_struct *alias = &aliases[naliases];
  const char *at = getquoted(line + sizeof kAliasDirective - 1, alias->name, kAliasTextSize - 1);
  if (at == nullptr) return refuse(line, "%s: %s\n", filename, alias->name);
  if (alias->name[0] != '\\' || alias->name[1] == '\0' || IsOneOf(alias->name[1], "*\\<>?\"[]"))
    return refuse(line, "%s: Illegal alias \"%s\"\n", filename, alias->name);
  if (getquoted(at, alias->value, kAliasTextSize - 1) == nullptr)
    return refuse(line, "%s: %s\n", filename, alias->value);
  ++naliases;
  return 1;
}

int CSubstTbl::DefineSeparator(const char *line) {
  if (getquoted(line + sizeof kSeparatorDirective - 1, concat, kConcatSize) == nullptr)
    return refuse(line, "%s: %s\n", filename, concat);
  return 1;
}

int CSubstTbl::AddEntry(const char *line) {
  if (count == kMaxEntries)
    return refuse(line, "%s: Substitution table is longer than %d\n", filename, kMaxEntries);
  sub_struct *e = &entries[count];  // unused so far: every field zero, no strings
  const char *at = getquoted(line, strbuf, kMaxPattern);
  if (at == nullptr) return refuse(line, "%s: %s\n", filename, strbuf);
  e->from = EngineCopy(strbuf);
  e->subs = ZeroFilled(std::strlen(strbuf) + 1);
  if (e->from == nullptr || e->subs == nullptr) return refuse(nullptr, "%s", kNoMemory);
  at = ReadFields(at, line, e);
  if (at == nullptr) return 0;
  if (getquoted(at, strbuf, kMaxPattern) == nullptr) return refuse(line, "%s: %s\n", filename, strbuf);
  e->to = EngineCopy(strbuf);
  if (e->to == nullptr) return refuse(nullptr, "%s", kNoMemory);

  if (std::strcmp(e->from, "\\*") == 0 && e->to[0] == '\0') {
    // The switch that drops unmatched text; it is no entry.
    dropunmatched = 1;
    EngineFree(e->from);
    EngineFree(e->subs);
    EngineFree(e->to);
    *e = sub_struct{};
    return 1;
  }

  if (!compile(e, e->from, line) || !CheckPattern(e, line)) return 0;
  int patternEscapes = e->start;
  bool patternHasWildcard = e->wc != -1;
  long long need = static_cast<long long>(e->wmax) + static_cast<long long>(std::strlen(e->from)) - e->pi;
  if (need > maxmatch) maxmatch = need > INT_MAX ? INT_MAX : static_cast<int>(need);

  if (!compile(e, e->to, line) || !CheckReplacement(e, patternEscapes, patternHasWildcard, line)) return 0;
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
      refuse(line, "%s: %s\n", filename, kMissingQuote);
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
    return refuse(line, "%s: Illegal structure terminator char\n", filename);
  if (name[0] == '*') {
    int subset = ReadDecimal(name + 1, static_cast<size_t>(length - 1));
    if (subset < 0 || subset > kSubsetMax)
      return refuse(line, "%s: Invalid Subset in structure terminator\n", filename);
    e->term = -subset;
    return 1;
  }
  int value = textset->chsval(name, static_cast<size_t>(length));
  if (value == kNoSuchName)
    return refuse(line, "%s: Structure terminator char not in character set\n", filename);
  e->term = value;
  return 1;
}

int CSubstTbl::CheckPattern(const sub_struct *e, const char *line) {
  int length = static_cast<int>(std::strlen(e->from));
  if (e->wc == 0) return refuse(line, "%s: From string can't start with \"\\*\" or \"%%A\"\n", filename);
  if (length > 2 && e->wc == length - 2) {
    if (e->var != 0) return refuse(line, "%s: From string can't end with \"%%A\"\n", filename);
    return refuse(line, "%s: From string can't end with \"\\*\"\n", filename);
  }
  return 1;
}

int CSubstTbl::CheckReplacement(const sub_struct *e, int patternEscapes, bool patternHasWildcard,
                                const char *line) {
  if (e->start > patternEscapes) return refuse(line, "%s: To string has too many \"\\?\"\n", filename);
  if (e->wc != -1 && !patternHasWildcard)
    return refuse(line, "%s: From string doesn't have \"\\*\"\n", filename);
  return 1;
}

int CSubstTbl::cnvsub(sub_struct *e, char *s) { return compile(e, s, nullptr); }

int CSubstTbl::expand(sub_struct *e, const char *line) {
  char work[kMaxPattern + kAliasTextSize];
  size_t length = 0;
  // Invariant: work holds the expansion of the pattern before in, and fewer than kMaxPattern bytes.
  for (const char *in = e->from; *in != '\0';) {
    const alias_struct *alias = nullptr;
    for (int index = 0; *in == '\\' && aliases != nullptr && index < naliases && alias == nullptr; ++index) {
      if (std::strncmp(in, aliases[index].name, std::strlen(aliases[index].name)) == 0)
        alias = &aliases[index];
    }
    if (alias != nullptr) {
      size_t valueLength = std::strlen(alias->value);
      std::memcpy(work + length, alias->value, valueLength);
      length += valueLength;
      in += std::strlen(alias->name);
    } else {
      work[length++] = *in++;
    }
    if (length >= static_cast<size_t>(kMaxPattern))
      return refuse(line, "%s: String too long (Max %d)\n", filename, kMaxPattern);
  }
  work[length] = '\0';
  if (length > std::strlen(e->from)) {
    char *grown = static_cast<char *>(EngineAlloc(length + 1));
    char *subs = ZeroFilled(length + 1);
    if (grown == nullptr || subs == nullptr) {
      EngineFree(grown);
      EngineFree(subs);
      return refuse(line, "%s", kNoMemory);
    }
    EngineFree(e->from);
    EngineFree(e->subs);
    e->from = grown;
    e->subs = subs;
  }
  std::memcpy(e->from, work, length + 1);
  return 1;
}

struct CSubstTbl::Compilation {
  sub_struct *e;        // the entry whose string is compiled
  unsigned char *text;  // the string, overwritten from its start; the output never outgrows the input
  size_t in;            // read position
  size_t out;           // write position, never beyond in
  bool pattern;         // compiling e->from
  const char *line;     // shown after messages, or null
};

int CSubstTbl::compile(sub_struct *e, char *s, const char *line) {
  e->start = 0;
  e->pi = 0;
  e->wc = -1;
  bool pattern = s == e->from;
  if (pattern) {
    if (!expand(e, line)) return 0;
    s = e->from;
  }
  Compilation c{e, reinterpret_cast<unsigned char *>(s), 0, 0, pattern, line};
  // Invariant: text[0, out) is the compiled form of the input before in, and out <= in.
  while (c.text[c.in] != '\0') {
    unsigned char ch = c.text[c.in];
    if (ch == '\\') {
      if (!escape(c)) return 0;
    } else if (ch == tblset->begin_entity) {
      reference(c);
    } else if (ch == tblset->end_entity) {
      c.text[c.out++] = textset->end_entity >= 0 ? static_cast<unsigned char>(textset->end_entity) : code(ch);
      ++c.in;
    } else if (ch == '%' && c.text[c.in + 1] != '\0') {
      if (!percent(c)) return 0;
    } else {
      c.text[c.out++] = code(ch);
      ++c.in;
    }
  }
  c.text[c.out] = '\0';
  return 1;
}

int CSubstTbl::escape(Compilation &c) {
  sub_struct *e = c.e;
  size_t letterAt = c.in + 1;
  int number = ReadDecimal(reinterpret_cast<const char *>(c.text + letterAt),
                           std::strlen(reinterpret_cast<const char *>(c.text + letterAt)));
  while (c.text[letterAt] >= '0' && c.text[letterAt] <= '9') ++letterAt;
  unsigned char letter = c.text[letterAt];
  if (number != 0 && !IsOneOf(letter, "*+-<?[]"))
    return refuse(c.line, "%s: Parameter not allowed: %d\n", filename, number);
  if (IsOneOf(letter, "*+-?!.\\[]") && (number < 0 || number > kSubsetMax))
    return refuse(c.line, "%s: Illegal parameter: %d (Max %d)\n", filename, number, kSubsetMax);
  if (c.pattern && IsOneOf(letter, ">^")) return refuse(c.line, kNotAllowed, filename, letter);
  size_t next = letterAt + 1;  // where reading goes on when the escape is formed
  switch (letter) {
    case '*':
    case '+':
    case '-':
      if (e->wc != -1) return refuse(c.line, "%s: Multiple \"\\*\" not allowed\n", filename);
      e->wc = static_cast<int>(c.out);
      ++e->pi;
      (c.pattern ? e->wsubset : e->to_subset) = number;
      [[fallthrough]];
    case '?':
    case '!':
    case '.':
    case '\\':
      if (IsOneOf(letter, "?!.")) ++e->start;
      ++e->pi;
      if (c.pattern) e->subs[c.out] = static_cast<char>(number);
      c.text[c.out++] = c_esc;
      c.text[c.out++] = code(letter);
      break;
    case '<':
      if (c.pattern) {
        int given = number != 0 ? number : 1;
        e->back = e->back > INT_MAX - given ? INT_MAX : e->back + given;
      } else {
        e->start = 0;
        ++e->pi;
        c.text[c.out++] = c_esc;
        c.text[c.out++] = c_lt;
      }
      break;
    case '>':
      ++e->start;
      ++e->pi;
      c.text[c.out++] = c_esc;
      c.text[c.out++] = c_gt;
      break;
    case '[':
    case ']': {
      unsigned int bit = 1u << number;
      if (!c.pattern) {
        (letter == '[' ? e->on_mask : e->off_mask) |= bit;
        break;
      }
      int self = letter == '[' ? 2 : 1;  // firing enables (2) or disables (1) the entry itself
      if (e->after == self) return refuse(c.line, "%s: multiple \"\\%c\" not allowed\n", filename, letter);
      if (e->after != 0) return refuse(c.line, kNotAllowed, filename, letter);
      e->group = bit;
      e->after = self;
      e->state = 2;
      break;
    }
    case '^':
      e->stop = 1;
      break;
    case '"':
      next = letterAt;  // the backslash is dropped; the quote is read as an ordinary character
      break;
    default:
      // No escape: the backslash and the character after it are both ordinary characters, so that a
      // "%" or a reference's begin or end character after a backslash stands for itself.
      c.text[c.out++] = code('\\');
      next = c.in + 1;
      if (c.text[next] != '\0') c.text[c.out++] = code(c.text[next++]);
      break;
  }
  c.in = next;
  return 1;
}

void CSubstTbl::reference(Compilation &c) {
  int length = 0;
  const int value = ReferenceValue(c.text + c.in + 1, *tblset, *textset, &length);
  if (value < 1 || value > 255) {
    // Not representable (no such name, beyond a byte, or the NUL that would end the string): the begin
    // character stands for itself and the rest is read on as ordinary characters.
    c.text[c.out++] =
        textset->begin_entity >= 0 ? static_cast<unsigned char>(textset->begin_entity) : code(c.text[c.in]);
    ++c.in;
    return;
  }
  // A reference always stands for its character: a byte that would read as the escape code (or, in a
  // replacement, as a variable reference) is written in its escaped form.
  unsigned char byte = static_cast<unsigned char>(value);
  if (byte == c_esc || (!c.pattern && byte == c_pct)) c.text[c.out++] = c_esc;
  c.text[c.out++] = byte;
  c.in += static_cast<size_t>(length) + 2;
}

int CSubstTbl::percent(Compilation &c) {
  sub_struct *e = c.e;
  unsigned char letter = c.text[c.in + 1];
  if (c.pattern) {
    if (e->wc != -1) return refuse(c.line, "%s: Multiple \"%%A\" not allowed\n", filename);
    e->wc = static_cast<int>(c.out);
    ++e->pi;
    e->var = static_cast<char>(letter);
    e->subs[c.out] = 0;
    e->wsubset = 0;
    c.text[c.out++] = c_esc;
    c.text[c.out++] = c_star;
  } else {
    e->pi += 2;
    c.text[c.out++] = c_pct;
    c.text[c.out++] = letter;
  }
  c.in += 2;
  return 1;
}

void CSubstTbl::InitState() {
  for (int index = 0; index < count; ++index) {
    sub_struct &e = entries[index];
    e.state = e.group != 0 ? 2 : 0;
    e.start = 0;
    e.pi = 0;
    e.wc = 0;
  }
}

int CSubstTbl::refuse(const char *line, const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  if (line == nullptr) {
    char message[kErrTextMax + 1];
    std::vsnprintf(message, sizeof message, fmt, args);
    errsink->Eprintf("%s", message);
  } else {
    ReportLineV(errsink, line, fmt, args);
  }
  va_end(args);
  return 0;
}

unsigned char CSubstTbl::code(unsigned char c) const { return static_cast<unsigned char>(conv->map[c]); }
