// The fixed tables of the built-in character set, filled in when the library is loaded, and the set
// object itself, which is constructed then and destroyed when the library is unloaded.
#include "engine/charset/builtin_charset.h"

namespace {

const int kAmpersand = 38;
const int kSemicolon = 59;
const int kNumberSign = 35;

struct NamedValue {
  int value;
  char name[7];  // mutable storage: a set's names are char*
};

// Every defined character but the digits and letters, which are named by themselves.
NamedValue namedValues[] = {
    {9, "TAB"},     {10, "LF"},     {13, "CR"},      {32, "space"}, {33, "excl"},   {34, "quot"},
    {35, "num"},    {36, "dollar"}, {37, "percnt"},  {38, "amp"},   {39, "apos"},   {40, "lpar"},
    {41, "rpar"},   {42, "ast"},    {43, "plus"},    {44, "comma"}, {45, "hyphen"}, {46, "period"},
    {47, "sol"},    {58, "colon"},  {59, "semi"},    {60, "lt"},    {61, "equals"}, {62, "gt"},
    {63, "quest"},  {64, "commat"}, {91, "lsqb"},    {92, "bsol"},  {93, "rsqb"},   {94, "circ"},
    {95, "lowbar"}, {123, "lcub"},  {124, "verbar"}, {125, "rcub"}, {126, "tilde"},
};

class BuiltinTables {
 public:
  BuiltinTables() {
    for (int value = 0; value < 256; ++value) {
      chars[value] = chs_entry{-1, 0, nullptr};
      othercase[value] = -1;
    }
    for (NamedValue &named : namedValues) Define(named.value, named.name);
    for (int value = '0'; value <= '9'; ++value) DefineSelfNamed(value);
    for (int value = 'A'; value <= 'Z'; ++value) {
      const int lower = value + ('a' - 'A');
      DefineSelfNamed(value);
      DefineSelfNamed(lower);
      chars[value].subsets |= (1u << kSubsetPaired) | (1u << kSubsetUpper);
      chars[lower].subsets |= (1u << kSubsetPaired) | (1u << kSubsetLower);
      othercase[value] = lower;
      othercase[lower] = value;
    }
  }

  chs_entry chars[256];
  int othercase[256];

 private:
  void Define(int value, char *name) { chars[value] = chs_entry{value, 1u << kSubsetAll, name}; }
  void DefineSelfNamed(int value) {
    selfNames[value][0] = static_cast<char>(value);
    Define(value, selfNames[value]);
  }

  char selfNames[256][2] = {};  // one-character names of the digits and letters
};

// The set and its tables together; the tables are detached before the set's destructor could release them.
struct BuiltinCharSetHolder {
  ~BuiltinCharSetHolder() {
    set.chars = nullptr;
    set.othercase = nullptr;
  }
  BuiltinTables tables;
  CCharSet set;
};

BuiltinCharSetHolder builtin;

}  // namespace

CCharSet *BuiltinCharSet() {
  CCharSet &set = builtin.set;
  set.begin_entity = kAmpersand;
  set.end_entity = kSemicolon;
  set.numeric_entity = kNumberSign;
  set.chars = builtin.tables.chars;
  set.othercase = builtin.tables.othercase;
  return &set;
}
