// The pattern compiler. Aliases are expanded first, into a work buffer (patterns only). Then one pass
// reads the string left to right and writes its compiled form over it: every construct of the escape
// language is at least as long as what it compiles to, so the write position never passes the read
// position.
#include "engine/subst/pattern_compiler.h"

#include <climits>
#include <cstring>

#include "engine/charset/charset.h"
#include "engine/charset/decimal.h"
#include "engine/stream/allocator.h"
#include "engine/subst/pattern_units.h"
#include "engine/subst/reference.h"
#include "engine/subst/subst_tbl.h"

namespace {

const char kNotAllowed[] = "%s: \"\\%c\" not allowed\n";  // an escape letter a pattern may not hold here

// True when c is one of the characters of set (never for the terminating NUL).
bool IsOneOf(unsigned char c, const char *set) { return c != '\0' && std::strchr(set, c) != nullptr; }

}  // namespace

int PatternCompiler::Compile(sub_struct *entry, char *s) {
  e_ = entry;
  e_->start = 0;
  e_->pi = 0;
  e_->wc = -1;
  pattern_ = s == e_->from;
  if (pattern_) {
    if (!ExpandAliases()) return 0;
    s = e_->from;
  }
  text_ = reinterpret_cast<unsigned char *>(s);
  in_ = 0;
  out_ = 0;
  const CCharSet &tblset = *table_.tblset;
  const CCharSet &textset = *table_.textset;
  // Invariant: text[0, out) is the compiled form of the input before in, and out <= in.
  while (text_[in_] != '\0') {
    const unsigned char ch = text_[in_];
    if (ch == '\\') {
      if (!CompileEscape()) return 0;
    } else if (ch == tblset.begin_entity) {
      CompileReference();
    } else if (ch == tblset.end_entity) {
      text_[out_++] = textset.end_entity >= 0 ? static_cast<unsigned char>(textset.end_entity)
                                              : TextCode(*table_.conv, ch);
      ++in_;
    } else if (ch == '%' && text_[in_ + 1] != '\0') {
      if (!CompilePercent()) return 0;
    } else {
      text_[out_++] = TextCode(*table_.conv, ch);
      ++in_;
    }
  }
  text_[out_] = '\0';
  return 1;
}

int PatternCompiler::ExpandAliases() {
  char work[kMaxPattern + kAliasTextSize];
  size_t length = 0;
  // Invariant: work holds the expansion of the pattern before at, and fewer than kMaxPattern bytes.
  for (const char *at = e_->from; *at != '\0';) {
    const alias_struct *alias = nullptr;
    for (int index = 0;
         *at == '\\' && table_.aliases != nullptr && index < table_.naliases && alias == nullptr; ++index) {
      if (std::strncmp(at, table_.aliases[index].name, std::strlen(table_.aliases[index].name)) == 0)
        alias = &table_.aliases[index];
    }
    if (alias != nullptr) {
      const size_t valueLength = std::strlen(alias->value);
      std::memcpy(work + length, alias->value, valueLength);
      length += valueLength;
      at += std::strlen(alias->name);
    } else {
      work[length++] = *at++;
    }
    if (length >= static_cast<size_t>(kMaxPattern))
      return table_.Refuse(line_, "%s: String too long (Max %d)\n", table_.filename, kMaxPattern);
  }
  work[length] = '\0';
  if (length > std::strlen(e_->from)) {
    char *grown = static_cast<char *>(EngineAlloc(length + 1));
    char *subs = EngineZeroed(length + 1);
    if (grown == nullptr || subs == nullptr) {
      EngineFree(grown);
      EngineFree(subs);
      return table_.Refuse(line_, "%s", kTableNoMemory);
    }
    EngineFree(e_->from);
    EngineFree(e_->subs);
    e_->from = grown;
    e_->subs = subs;
  }
  std::memcpy(e_->from, work, length + 1);
  return 1;
}

int PatternCompiler::CompileEscape() {
  size_t letterAt = in_ + 1;
  const int number = ReadDecimal(reinterpret_cast<const char *>(text_ + letterAt),
                                 std::strlen(reinterpret_cast<const char *>(text_ + letterAt)));
  while (text_[letterAt] >= '0' && text_[letterAt] <= '9') ++letterAt;
  const unsigned char letter = text_[letterAt];
  const char *filename = table_.filename;
  if (number != 0 && !IsOneOf(letter, "*+-<?[]"))
    return table_.Refuse(line_, "%s: Parameter not allowed: %d\n", filename, number);
  if (IsOneOf(letter, "*+-?!.\\[]") && (number < 0 || number > kSubsetMax))
    return table_.Refuse(line_, "%s: Illegal parameter: %d (Max %d)\n", filename, number, kSubsetMax);
  if (pattern_ && IsOneOf(letter, ">^")) return table_.Refuse(line_, kNotAllowed, filename, letter);
  size_t next = letterAt + 1;  // where reading goes on when the escape is formed
  switch (letter) {
    case '*':
    case '+':
    case '-':
      if (e_->wc != -1) return table_.Refuse(line_, "%s: Multiple \"\\*\" not allowed\n", filename);
      e_->wc = static_cast<int>(out_);
      ++e_->pi;
      (pattern_ ? e_->wsubset : e_->to_subset) = number;
      [[fallthrough]];
    case '?':
    case '!':
    case '.':
    case '\\':
      if (IsOneOf(letter, "?!.")) ++e_->start;
      ++e_->pi;
      if (pattern_) e_->subs[out_] = static_cast<char>(number);
      text_[out_++] = table_.c_esc;
      text_[out_++] = TextCode(*table_.conv, letter);
      break;
    case '<':
      if (pattern_) {
        const int given = number != 0 ? number : 1;
        e_->back = e_->back > INT_MAX - given ? INT_MAX : e_->back + given;
      } else {
        e_->start = 0;
        ++e_->pi;
        text_[out_++] = table_.c_esc;
        text_[out_++] = table_.c_lt;
      }
      break;
    case '>':
      ++e_->start;
      ++e_->pi;
      text_[out_++] = table_.c_esc;
      text_[out_++] = table_.c_gt;
      break;
    case '[':
    case ']': {
      const unsigned int bit = 1u << number;
      if (!pattern_) {
        (letter == '[' ? e_->on_mask : e_->off_mask) |= bit;
        break;
      }
      const int self = letter == '[' ? kEnablesItself : kDisablesItself;
      if (e_->after == self)
        return table_.Refuse(line_, "%s: multiple \"\\%c\" not allowed\n", filename, letter);
      if (e_->after != kKeepsState) return table_.Refuse(line_, kNotAllowed, filename, letter);
      e_->group = bit;
      e_->after = self;
      e_->state = kDisabled;
      break;
    }
    case '^':
      e_->stop = 1;
      break;
    case '"':
      next = letterAt;  // the backslash is dropped; the quote is read as an ordinary character
      break;
    default:
      // No escape: the backslash and the character after it are both ordinary characters, so that a
      // "%" or a reference's begin or end character after a backslash stands for itself.
      text_[out_++] = TextCode(*table_.conv, '\\');
      next = in_ + 1;
      if (text_[next] != '\0') text_[out_++] = TextCode(*table_.conv, text_[next++]);
      break;
  }
  in_ = next;
  return 1;
}

void PatternCompiler::CompileReference() {
  const CCharSet &textset = *table_.textset;
  int length = 0;
  const int value = ReferenceValue(text_ + in_ + 1, *table_.tblset, textset, &length);
  if (value < 1 || value > 255) {
    // Not representable (no such name, beyond a byte, or the NUL that would end the string): the begin
    // character stands for itself and the rest is read on as ordinary characters.
    text_[out_++] = textset.begin_entity >= 0 ? static_cast<unsigned char>(textset.begin_entity)
                                              : TextCode(*table_.conv, text_[in_]);
    ++in_;
    return;
  }
  // A reference always stands for its character: a byte that would read as the escape code (or, in a
  // replacement, as a variable reference) is written in its escaped form.
  const unsigned char byte = static_cast<unsigned char>(value);
  if (byte == table_.c_esc || (!pattern_ && byte == table_.c_pct)) text_[out_++] = table_.c_esc;
  text_[out_++] = byte;
  in_ += static_cast<size_t>(length) + 2;
}

int PatternCompiler::CompilePercent() {
  const unsigned char letter = text_[in_ + 1];
  if (pattern_) {
    if (e_->wc != -1) return table_.Refuse(line_, "%s: Multiple \"%%A\" not allowed\n", table_.filename);
    e_->wc = static_cast<int>(out_);
    ++e_->pi;
    e_->var = static_cast<char>(letter);
    e_->subs[out_] = 0;
    e_->wsubset = 0;
    text_[out_++] = table_.c_esc;
    text_[out_++] = table_.c_star;
  } else {
    e_->pi += 2;
    text_[out_++] = table_.c_pct;
    text_[out_++] = letter;
  }
  in_ += 2;
  return 1;
}
