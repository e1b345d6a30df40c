// CSubstitute: the substitution stage. It rewrites its input by a substitution table: every entry of the
// table runs as its own matcher over a window of not yet resolved text, a complete match is replaced by
// the entry's replacement, and text that no entry matches passes through unchanged (or is dropped when
// the table says so). Replacements may insert captured characters and the wildcard's text, switch
// groups of entries on and off, and read and write variables in the process environment.
#ifndef RUNEFLOW_ENGINE_SUBST_SUBSTITUTE_H
#define RUNEFLOW_ENGINE_SUBST_SUBSTITUTE_H

#include "engine/export.h"
#include "engine/stream/stream_obj.h"
#include "engine/subst/entry_candidates.h"
#include "engine/subst/sub_struct.h"

#include <cstdint>

class CCharSet;
class CSubstTbl;
class FiringLog;

const int kEnvSize = 4096;  // bytes of a variable's "x=value" text, terminator included

class RUNEFLOW_API CSubstitute : public CStreamObj {
  DECLARE_RUNTIME_CLASS(CSubstitute)

 public:
  CSubstitute();
  // Destroys the table and a text set that the stage opened itself (their error target is the stage).
  ~CSubstitute() override;

  using CStreamObj::Open;
  // Loads the text set from the set file setName and opens the stage on the table file tableName,
  // written in the library's built-in set. Names are resolved against the head stream's name, so the
  // stage must already be added to its head. Problems are reported on the stage.
  virtual int Open(const char *tableName, const char *setName);
  // Loads the table file tableName, written in tblset, for a text in textset, and allocates the
  // stage's buffers. A set loaded with another error target stays its creator's and must outlive the
  // stage. A failed Open leaves the stage not opened, and a run then reports "Object was not opened".
  virtual int Open(const char *tableName, CCharSet *textset, CCharSet *tblset);
  // Substitutes the whole input queue into the next object's queue and runs the next stage. Run-time
  // errors are reported on the head stream; output written before a failure stays in the next queue.
  int Process() override;

  CSubstTbl *table;       // the loaded table; owned when its error target is the stage
  CCharSet *textset;      // set of the text; owned when its error target is the stage
  CCharSet *tblset;       // set the table file is written in; never owned
  unsigned char *window;  // windowsize bytes of not yet resolved input; owned
  int windowsize;         // the table's longest match, at least kWorkSize
  unsigned char *outbuf;  // kWorkSize bytes gathered for the next queue; owned
  int outcount;           // bytes held in outbuf
  char *envbuf;           // kEnvSize bytes where a variable's text is composed; owned

 private:
  // Where the main loop stands in the window: n bytes held, the position under test, the earliest
  // position an attempt in progress still needs, and the first position not yet written or dropped.
  // Until the end of the input is resolved, a pass tests only the engaged entries and those that can
  // begin with the byte under test (every other entry would just start again at the next byte); after
  // it, every entry is tested (dense).
  struct Scan {
    int n;
    int pos;
    int lim;
    int out;
    bool dense;
    bool statesChanged;  // a firing switched groups since the window began
  };
  // What became of a pass or a firing.
  enum class Outcome { kDone, kRefused, kFailed, kStopped };

  // Appends the byte c (0 to 255) to outbuf and writes outbuf on when it is full; c == -1 writes out what
  // outbuf holds. Returns 0 when the write failed (reported on the head stream).
  int PutDst(int c);
  // Writes (or, under dropunmatched, drops) the window bytes from first up to end - 1.
  int putunmatched(int first, int end);
  // Tests the window byte at p against e's pattern and advances e's attempt: 1 accepted, 0 rejected.
  int match(int p, sub_struct *e);
  // The same for an entry with a plain pattern (see EntryCandidates::IsPlain), and its sliding.
  bool MatchPlain(int p, const sub_struct &e) const { return e.from[p - e.start] == static_cast<char>(window[p]); }
  void SlidePlain(int pos, sub_struct &e) const;
  // 1 when e's wildcard may not absorb the byte t.
  int terminate(int t, sub_struct *e);
  // Writes e's replacement, then switches its groups. 0 after a reported failure.
  int putto(sub_struct *e);
  // Saves e's wildcard text in the variable its pattern names. 0 after a reported failure.
  int savevar(sub_struct *e);

  // One pass of the main loop at s.pos; kDone unless a firing failed or stopped the stream.
  Outcome Pass(Scan &s);
  // Tests entry index at s.pos as the pass does: kRefused when it did not fire (or its firing was
  // refused), else what its firing gave.
  Outcome Step(Scan &s, int index);
  // With no attempt in progress, writes the bytes that no entry can begin with, from s.pos on, as the
  // passes over them would; first receives the first entry that can begin where it stops (-1 at the
  // window's end). Returns 0 after a reported failure.
  int SkipUnmatchable(Scan &s, int *first);
  // Whether entry index (plain), begun at window position p, meets a differing byte of the window
  // sooner than any later entry could complete a match (EntryCandidates::ShortestLater): such an
  // attempt changes nothing and is not started.
  bool Doomed(const Scan &s, int index, int p) const;
  // The first entry before entry below whose attempt may begin at position p without being doomed;
  // -1 when there is none.
  int FirstBeginning(const Scan &s, int p, int below) const;
  // Whether there is such an entry; most positions are ruled out by their first three bytes alone.
  bool MayBeginAt(const Scan &s, int p, int below) const {
    if (p + 2 < s.n && !candidates->AnyForTriple(window[p], window[p + 1], window[p + 2])) return false;
    return FirstBeginning(s, p, below) >= 0;
  }
  // Whether entry index, with its attempt begun at start (no later than pos), is sure to fire on its
  // match's last byte with no pass before that changing anything: it is plain, the rest of its pattern
  // stands in the window, no earlier entry can begin from checkFrom (pos, or pos + 1 when the caller
  // knows none can at pos) up to that byte, and the firing is no refused repeat.
  bool SureFiring(const Scan &s, int index, int start, int checkFrom) const;
  // The one engaged entry; -1 when none or several are.
  int LoneEngaged() const;
  // How many bytes from pos on the wildcard of entry index (engaged alone, its attempt within the
  // wildcard) would take, pass after pass, with nothing else happening on them.
  int WildcardRun(const Scan &s, int index) const;
  // The one engaged entry when it is sure to fire so; -1 when there is none.
  int SureCompletion(const Scan &s) const;
  // Fires entry index, sure to fire, as the pass on its match's last byte would.
  Outcome FireSure(Scan &s, int index, int start);
  // Ends a pass: writes the text before lim and moves on; resolves the end of the input when reached.
  Outcome EndPass(Scan &s);
  // Counts the entries that are not disabled into enabledCount.
  void CountEnabled();
  // Whether e's attempt is anything but a fresh start at position p (which any entry not engaged has).
  static bool Engaged(const sub_struct &e, int p) { return !(e.start == p && e.pi == 0 && e.wc == 0); }
  // Forgets every engaged entry.
  void DisengageAll();
  // Applies act to every entry whose attempt may hold anything but a fresh start: every entry once the
  // stage tests them all (dense), else the engaged ones.
  template <class Action>
  void ForEachHeld(const Scan &s, Action act);
  // Fires entry index, whose match begins at its start; waiting tells a match completed at an earlier
  // position from one completed at s.pos.
  Outcome Fire(Scan &s, int index, bool waiting);
  // Moves e's attempt on after a rejection at pos: the wildcard takes more text, or the attempt slides.
  void Extend(int pos, sub_struct *e);
  void Slide(int pos, sub_struct *e);
  // Sets the state of every entry as the pass would have left it when entry firing fires on the
  // window's last byte, and tests every entry from then on: the entries tested before it that started
  // again past the window stay out of the rest of the window (only a new window brings them back).
  void AbandonPastWindow(Scan &s, int firing);
  // Resolves the waiting matches once the whole input is in the window and scanned.
  int EndOfInput(Scan &s);
  // Keeps the window's unresolved text for the next read; every attempt starts again.
  int KeepUnresolved(Scan &s);

  // Pattern index of the window position p in e's attempt.
  static int PatternIndex(int p, const sub_struct &e) { return p - e.start + e.pi - e.wc; }
  // Window position of e's capture number (1 and up), or of its wildcard text when capture is 0; -1
  // when the pattern has no such part. Valid while e's match is being fired.
  int PartPosition(const sub_struct &e, int capture) const;
  // Writes capture number capture of e (nothing when there is none) as the letter asks: as it stands,
  // upper-cased or lower-cased.
  int PutCapture(const sub_struct &e, int capture, unsigned char letter);
  // Writes e's wildcard text, restricted to e's to_subset, as the letter asks.
  int PutWildcardText(const sub_struct &e, unsigned char letter);
  // Writes the value of the variable name, converted from the table set, or removes the variable when
  // name is an upper-case letter.
  int PutVariable(char name);
  // Writes a byte of a variable's value that is no part of a reference: its text-set counterpart.
  int PutValueByte(unsigned char b);
  // Applies e's group switches to the states of the table's entries.
  void SwitchGroups(sub_struct &e);
  // Whether t belongs to the text set's subset.
  bool InSubset(int t, int subset) const;
  // t upper-cased or lower-cased through the text set's case partners.
  int ToUpper(int t) const;
  int ToLower(int t) const;
  // Creates the table and loads the file name into it; 0 after a reported failure.
  int LoadTable(const char *name);
  // Allocates the window (as long as the table's longest match, at least kWorkSize), the output and
  // environment buffers and the firing log; 0 after a reported failure.
  int AllocateBuffers();
  // Destroys what a load made: the table, an owned text set unless it is keep, the buffers.
  void Release(const CCharSet *keep);
  // Reports "I/O error %d on stream" with the stage's error code on the head stream; returns 0.
  int ReportQueueError();
  // Reports "Memory allocation error" on the head stream (a run's firing log could not grow); returns 0.
  int ReportRunOutOfMemory();
  // Reports "Environment string too long" on the head stream; returns 0.
  int ReportTooLong();

  FiringLog *firings;  // the firings made over the present window; owned
  EntryCandidates *candidates;  // the entries each byte can begin; owned
  uint64_t engaged[kEntryWords];  // the entries whose attempt is not a fresh start
  uint32_t engagedWords;          // which words of engaged hold any entry
  int enabledCount;   // entries not disabled
};

#endif
