// CSubstitute: the substitution stage. It rewrites its input by a substitution table: every entry of the
// table runs as its own matcher over a window of not yet resolved text, a complete match is replaced by
// the entry's replacement, and text that no entry matches passes through unchanged (or is dropped when
// the table says so). Replacements may insert captured characters and the wildcard's text, switch
// groups of entries on and off, and read and write variables in the process environment.
#ifndef RUNEFLOW_ENGINE_SUBST_SUBSTITUTE_H
#define RUNEFLOW_ENGINE_SUBST_SUBSTITUTE_H

#include "engine/export.h"
#include "engine/stream/stream_obj.h"

class CCharSet;
class CSubstTbl;
class SubstitutionRun;

const int kEnvSize = 4096;  // bytes of a variable's "x=value" text, terminator included

class RUNEFLOW_API CSubstitute : public CStreamObj {
  DECLARE_RUNTIME_CLASS(CSubstitute)

 public:
  CSubstitute();
  // Destroys the table and the text set if the stage owns them (see Open).
  ~CSubstitute() override;
  CSubstitute(const CSubstitute &) = delete;
  CSubstitute &operator=(const CSubstitute &) = delete;

  using CStreamObj::Open;
  // Loads the text set from the set file setName and opens the stage on the table file tableName,
  // written in the library's built-in set. Names are resolved against the head stream's name, so the
  // stage must already be added to its head. Problems are reported on the stage. The stage owns the set
  // it loads here.
  virtual int Open(const char *tableName, const char *setName);
  // Loads the table file tableName, written in tblset, for a text in textset, and allocates the
  // stage's buffers. The stage owns the table it loads, and textset when that set was loaded with the
  // stage as its error target; any other set stays its creator's and must outlive the stage. A failed
  // Open leaves the stage not opened, and a run then reports "Object was not opened".
  virtual int Open(const char *tableName, CCharSet *textset, CCharSet *tblset);
  // Substitutes the whole input queue into the next object's queue and runs the next stage. Run-time
  // errors are reported on the head stream; output written before a failure stays in the next queue.
  int Process() override;

  CSubstTbl *table;       // the loaded table; owned
  CCharSet *textset;      // set of the text; owned as Open says
  CCharSet *tblset;       // set the table file is written in; never owned
  unsigned char *window;  // windowsize bytes of not yet resolved input and room to move on; owned
  int windowsize;         // the table's longest match, at least kWorkSize
  unsigned char *outbuf;  // kWorkSize bytes gathered for the next queue; owned
  int outcount;           // bytes held in outbuf
  char *envbuf;           // kEnvSize bytes where a variable's text is composed; owned

 private:
  // Creates the table and loads the file name into it; 0 after a reported failure.
  int LoadTable(const char *name);
  // Allocates the window (as long as the table's longest match, at least kWorkSize, with room after it
  // to move on), the output and environment buffers and the run; 0 after a reported failure.
  int AllocateBuffers();
  // Destroys what a load made: the table, the text set when the stage owns it unless it is keep, the
  // buffers and the run.
  void Release(const CCharSet *keep);

  SubstitutionRun *run_;  // the working state of a run; owned
  bool ownsTextset_;      // textset is destroyed with the stage
};

#endif
