// Writes a compiled entry as text: the escape codes are turned back into their letters through the
// table's own codes, so the dump reads the same whatever the text set.
#include "engine/subst/entry_dump.h"

#include <cstdio>
#include <cstring>

namespace {

// The decimal digits of value.
std::string Decimal(long long value) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%lld", value);
  return digits;
}

// The byte as itself when it is printable ASCII other than "{", else its value in hex within braces.
std::string Byte(unsigned char byte) {
  if (byte >= 0x20 && byte < 0x7F && byte != '{') return std::string(1, static_cast<char>(byte));
  char hex[5];
  std::snprintf(hex, sizeof hex, "{%02X}", byte);
  return hex;
}

// The escape letter whose text-set code is byte, or 0 when byte is none of the table's codes.
char Letter(const CSubstTbl &table, unsigned char byte) {
  const struct {
    unsigned char code;
    char letter;
  } letters[] = {{table.c_star, '*'},  {table.c_esc, '\\'}, {table.c_caret, '^'}, {table.c_bang, '!'},
                 {table.c_minus, '-'}, {table.c_lt, '<'},   {table.c_gt, '>'},    {table.c_pct, '%'},
                 {table.c_dot, '.'},   {table.c_plus, '+'}, {table.c_query, '?'}};
  for (const auto &entry : letters) {
    if (entry.code == byte) return entry.letter;
  }
  return 0;
}

// One compiled string; subs (a pattern's numbers) may be null.
std::string String(const CSubstTbl &table, const char *compiled, const char *subs, bool replacement) {
  std::string text = "\"";
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(compiled);
  size_t length = std::strlen(compiled);
  for (size_t at = 0; at < length; ++at) {
    if (bytes[at] == table.c_esc && at + 1 < length) {
      text += '\\';
      if (subs != nullptr && subs[at] != 0) text += Decimal(subs[at]);
      char letter = Letter(table, bytes[at + 1]);
      text += letter != 0 ? std::string(1, letter) : Byte(bytes[at + 1]);
      ++at;
    } else if (replacement && bytes[at] == table.c_pct) {
      text += '%';
      if (at + 1 < length) text += Byte(bytes[++at]);
    } else {
      text += Byte(bytes[at]);
    }
  }
  return text + "\"";
}

void Field(std::string &text, const char *name, long long value, long long plain = 0) {
  if (value != plain) text += std::string(" ") + name + "=" + Decimal(value);
}

}  // namespace

std::string DumpEntry(const CSubstTbl &table, const sub_struct &e) {
  std::string text = String(table, e.from, e.subs, false) + " " + String(table, e.to, nullptr, true);
  Field(text, "group", e.group);
  Field(text, "state", e.state);
  Field(text, "after", e.after);
  Field(text, "on", e.on_mask);
  Field(text, "off", e.off_mask);
  Field(text, "back", e.back);
  Field(text, "start", e.start);
  Field(text, "pi", e.pi);
  if (e.var != 0) text += " var=" + Byte(static_cast<unsigned char>(e.var));
  Field(text, "wc", e.wc);
  Field(text, "wsubset", e.wsubset);
  Field(text, "wmax", e.wmax, kDefaultWmax);
  Field(text, "term", e.term);
  Field(text, "to_subset", e.to_subset);
  Field(text, "stop", e.stop);
  return text;
}
