// ReplacementWriter: what the substitution stage does when an entry fires. putto writes the entry's
// replacement (literal bytes, captured characters, the wildcard's text, variables' values) and then
// switches groups of entries on and off; savevar first stores the wildcard's text in a variable of the
// process environment when the pattern names one. Both read the match from the window through the
// entry's attempt.
#ifndef RUNEFLOW_ENGINE_SUBST_REPLACEMENT_WRITER_H
#define RUNEFLOW_ENGINE_SUBST_REPLACEMENT_WRITER_H

#include "engine/subst/attempt.h"
#include "engine/subst/sub_struct.h"

class CSubstitute;
class StageOutput;

class ReplacementWriter {
 public:
  // Writes through output for stage (its table, sets, window and envbuf); both must outlive it.
  ReplacementWriter(CSubstitute &stage, StageOutput &output)
      : stage_(stage), output_(output), window_(nullptr) {}
  // Reads the match from window, where the run's window now begins.
  void SetWindow(const unsigned char *window) { window_ = window; }

  // Writes e's replacement for the match of attempt a, then applies e's group switches to the states of
  // the table's entries. A failure (a write, the environment) is reported and stops the run.
  void putto(sub_struct &e, const Attempt &a);
  // Stores the text that e's wildcard took in attempt a in the variable e.var (appending to it when the
  // name is an upper-case letter). A value too long for kEnvSize, or an environment that refuses it, is
  // reported and stops the run; the variable then keeps its former value.
  void savevar(const sub_struct &e, const Attempt &a);

 private:
  // Window position of e's capture number capture (1 and up), or of its wildcard text when capture is
  // 0; -1 when the pattern has no such part.
  int PartPosition(const sub_struct &e, const Attempt &a, int capture) const;
  // Writes capture number capture of the match (nothing when there is none) as letter asks: as it
  // stands, upper-cased or lower-cased.
  void PutCapture(const sub_struct &e, const Attempt &a, int capture, unsigned char letter);
  // Writes the wildcard's text, restricted to e's to_subset, as letter asks.
  void PutWildcardText(const sub_struct &e, const Attempt &a, unsigned char letter);
  // Writes the value of the variable name, converted from the table set, or removes the variable when
  // name is an upper-case letter.
  void PutVariable(char name);
  // Writes a byte of a variable's value that is no part of a reference: its text-set counterpart.
  void PutValueByte(unsigned char b);
  // Applies e's group switches to the states of the table's entries.
  void SwitchGroups(sub_struct &e);
  // Sets the variable whose "x=value" text stands in envbuf, or reports the environment's refusal.
  void SetOrFail();
  // t upper-cased or lower-cased through the text set's case partners.
  int ToUpper(int t) const;
  int ToLower(int t) const;

  CSubstitute &stage_;
  StageOutput &output_;
  const unsigned char *window_;  // where the run's window begins
};

#endif
