// sub_struct: one compiled entry of a substitution table: its pattern (from), its replacement (to) and
// the fields that steer matching. Several fields serve twice: while an entry is compiled they hold counts
// for the load-time checks; while text is filtered they hold the matcher's state.
#ifndef RUNEFLOW_ENGINE_SUBST_SUB_STRUCT_H
#define RUNEFLOW_ENGINE_SUBST_SUB_STRUCT_H

struct sub_struct {
  unsigned int group;     // condition-group bit 1 << N of a \N[ or \N] in from; 0 = no group
  int state;              // 0 always enabled (no group), 1 enabled, 2 disabled
  int after;              // on firing: 0 nothing, 1 (\N]) disable itself, 2 (\N[) enable itself
  unsigned int on_mask;   // groups enabled on firing: one bit per \N[ in to
  unsigned int off_mask;  // groups disabled on firing: one bit per \N] in to
  int back;               // matched characters given back to the input after firing (the \N< of from)
  int start;              // compiling: one-character escapes; filtering: where the attempt began
  int pi;                 // compiling: escape weight; filtering: pattern bytes beyond the text matched
  char var;               // letter of from's "%" wildcard, the variable it saves into; 0 = none
  int wc;                 // compiling: index of the wildcard code, -1 none; filtering: absorbed + 1
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
