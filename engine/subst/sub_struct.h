// sub_struct: one compiled entry of a substitution table: its pattern (from), its replacement (to) and
// the fields that steer matching. The compiler uses start, pi and wc as counts while it works and leaves
// them 0; the stage keeps what its attempts have matched in state of its own and changes only an entry's
// state (its group being switched on or off) while it filters.
#ifndef RUNEFLOW_ENGINE_SUBST_SUB_STRUCT_H
#define RUNEFLOW_ENGINE_SUBST_SUB_STRUCT_H

// The values of state.
enum EntryState : int {
  kAlwaysEnabled = 0,  // the entry belongs to no group
  kEnabled = 1,        // its group is switched on
  kDisabled = 2,       // its group is switched off: the entry is not tested
};

// The values of after: what firing does to the entry's own state.
enum FiringEffect : int {
  kKeepsState = 0,
  kDisablesItself = 1,  // from a \N] in the pattern
  kEnablesItself = 2,   // from a \N[ in the pattern
};

struct sub_struct {
  unsigned int group;     // condition-group bit 1 << N of a \N[ or \N] in from; 0 = no group
  int state;              // an EntryState; a grouped entry starts each run disabled
  int after;              // a FiringEffect
  unsigned int on_mask;   // groups enabled on firing: one bit per \N[ in to
  unsigned int off_mask;  // groups disabled on firing: one bit per \N] in to
  int back;               // matched characters given back to the input after firing (the \N< of from)
  int start;              // while compiling: one-character escapes counted; 0 once loaded
  int pi;                 // while compiling: escape weight of the string; 0 once loaded
  char var;               // letter of from's "%" wildcard, the variable it saves into; 0 = none
  int wc;                 // while compiling: index of the wildcard code, -1 none; 0 once loaded
  int wsubset;            // subset the wildcard of from is restricted to; 0 = any character
  int wmax;               // longest text the wildcard may absorb
  int term;               // structure terminator: >= 0 a text-set character, < 0 minus a subset number
  int to_subset;          // subset of the wildcard characters that to writes out; 0 = all
  int stop;               // 1 when to holds "\^": the stream ends after this replacement
  char *subs;             // parallel to from, zero-filled: the number N at each escape code; owned
  char *from;             // compiled pattern, NUL-terminated text-set bytes; owned
  char *to;               // compiled replacement, NUL-terminated; owned
};

#endif
