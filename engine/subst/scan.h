// Scan: where a substitution run stands in its window. The run owns it; the shortcuts read it.
#ifndef RUNEFLOW_ENGINE_SUBST_SCAN_H
#define RUNEFLOW_ENGINE_SUBST_SCAN_H

struct Scan {
  int n;    // bytes held in the window
  int pos;  // the position under test
  int lim;  // the earliest start of an attempt in progress, as far as the pass has seen: text before it
            // is resolved and written
  int out;  // the first position not yet written or dropped
};

#endif
