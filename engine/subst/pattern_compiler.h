// PatternCompiler: turns one pattern or replacement of a table line, as written between its quotes,
// into its compiled form in place: aliases expanded (patterns only), escapes into escape codes or into
// the fields they set, references into the text set's bytes, every other character converted from the
// table set to the text set. The table reader runs one per string; CSubstTbl::cnvsub runs one too.
#ifndef RUNEFLOW_ENGINE_SUBST_PATTERN_COMPILER_H
#define RUNEFLOW_ENGINE_SUBST_PATTERN_COMPILER_H

#include <cstddef>

#include "engine/subst/sub_struct.h"

class CSubstTbl;

// The report of a table that could not get memory, while it was read or compiled.
const char kTableNoMemory[] = "CSubstTbl: Memory allocation error\n";

class PatternCompiler {
 public:
  // Compiles for table (its sets, codes, aliases; problems go to its error sink, about its file);
  // line, when not null, is shown after every message.
  PatternCompiler(CSubstTbl &table, const char *line) : table_(table), line_(line) {}

  // Compiles s, one of e's strings, in place: as a pattern when it is e->from, else as a replacement.
  // Sets e->start and e->pi to 0 and e->wc to -1 first, then counts into them. A pattern may be replaced
  // by a longer buffer after alias expansion (e->subs then too). Returns 0 after a reported refusal.
  int Compile(sub_struct *entry, char *s);

 private:
  // Replaces the pattern e->from by its alias expansion; 0 (reported) when it grows too long or memory
  // runs out.
  int ExpandAliases();
  // Compiles the escape whose backslash is at the read position; 0 (reported) when it is refused.
  int CompileEscape();
  // Compiles the character reference whose begin character is at the read position.
  void CompileReference();
  // Compiles a "%" at the read position: a wildcard saving into a variable in a pattern, a variable
  // reference in a replacement; 0 (reported) when a pattern already has a wildcard.
  int CompilePercent();

  CSubstTbl &table_;
  const char *line_;     // shown after messages, or null
  sub_struct *e_;        // the entry whose string is compiled
  unsigned char *text_;  // the string, overwritten from its start; the output never outgrows the input
  size_t in_;            // read position
  size_t out_;           // write position, never beyond in
  bool pattern_;         // compiling e->from
};

#endif
