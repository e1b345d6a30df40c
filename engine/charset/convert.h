// CConvert: the character conversion stage. It re-encodes its input from a source character set into a
// destination set through a conversion table, resolves the entity references written in the source set's
// syntax, and writes characters that the destination lacks as references in the destination's syntax.
#ifndef RUNEFLOW_ENGINE_CHARSET_CONVERT_H
#define RUNEFLOW_ENGINE_CHARSET_CONVERT_H

#include <cstddef>

#include "engine/export.h"
#include "engine/stream/stream_obj.h"

class CCharSet;
class CConvTbl;
class NameIndex;
class ReferenceCache;

class RUNEFLOW_API CConvert : public CStreamObj {
  DECLARE_RUNTIME_CLASS(CConvert)

 public:
  CConvert();
  // Destroys the table and the sets that the stage owns (see Open).
  ~CConvert() override;

  using CStreamObj::Open;
  // Loads both set files (names resolved against the head stream's name, so the stage must already be
  // added to its head) and opens the stage on them; the stage owns the two sets. Problems are reported on
  // the stage. A failed Open leaves the stage not opened.
  virtual int Open(const char *fromName, const char *toName);
  // Opens the stage on two loaded sets (they may be one set). The stage owns a set loaded with the stage
  // as its error target; any other set stays with its creator and must outlive the stage's use.
  virtual int Open(CCharSet *from, CCharSet *to);
  // Converts the whole input queue into the next object's queue and runs the next stage. Run-time errors
  // are reported on the head stream; output written before a failure stays in the next queue.
  int Process() override;

  CCharSet *from;         // source set
  CCharSet *to;           // destination set
  CConvTbl *table;        // from -> to by name; owned
  unsigned char *outbuf;  // kWorkSize bytes gathered for the next queue; owned
  int outcount;           // bytes held in outbuf

 private:
  // Appends the byte c to outbuf, writing outbuf on when it is full; c == -1 writes out what it holds.
  // A failed write is reported on the head stream and stops the run (RunFailure).
  void PutDst(int c);
  // Builds the table from `from` to `to` (both must be present); 0, reported on the stage, on failure.
  int OpenTable();
  // The bytes that convert on their own, gathered at the start of each run.
  struct DirectBytes;
  // Converts the window (m_work, m_workLen bytes) and returns how many bytes of an unfinished reference
  // were moved to the window's front, to be completed by the next read. names indexes the destination.
  // seen holds the references this run met.
  unsigned int ConvertWindow(const DirectBytes &direct, const NameIndex &names, ReferenceCache &seen);
  // Writes the n bytes at run, each of which converts on its own.
  void PutRun(const unsigned char *run, int n, const DirectBytes &direct);
  // ConvertWindow's work when every byte but the begin character converts to itself: runs are copied a
  // word at a time.
  unsigned int CopyWindow(const NameIndex &names, ReferenceCache &seen);
  // Handles the begin character at window position i: a reference, or a character. Returns where the
  // scan goes on, or -1 when the rest of the window was moved to its front (m_workLen then counts it)
  // to be completed by the next read. *lastEnd is the window's last end character, found when first
  // needed (-2 until then, -1 when there is none).
  int BeginAt(int i, const NameIndex &names, ReferenceCache &seen, int *lastEnd);
  // Resolves the reference whose begin character is at window position at and whose name has
  // nameLength bytes; returns the window position where the scan goes on. *byte is the one byte written
  // for it when it resolved to a character, else -1.
  int ResolveReference(const NameIndex &names, int at, int nameLength, int *byte);
  // Writes the destination counterpart of the source byte c, or nothing when it has none.
  void PutCounterpart(int c);
  // Writes the byte c of the source set: its counterpart, or a reference for it in the destination set.
  void PutChar(int c, bool nameThroughTable);
  // The reference for a value the source set does not define: destination begin, numeric character,
  // the digits and end; nothing when the destination has no numeric references.
  void PutUndefinedReference(const unsigned char *digits, size_t count);
  // The reference for a source value whose name the destination lacks: destination begin, the name and
  // end; nothing when the destination has no references. The name is written as stored, or with each
  // byte converted through the table (bytes without a counterpart are left out).
  void PutMissingNameReference(int value, bool nameThroughTable);
  // Reports "I/O error %d on stream" with the stage's error code on the head stream.
  void ReportQueueError();

  bool ownsSets_[2];  // from and to: destroyed by the stage (see ReplaceOwnedSets)
};

#endif
