// CStream: the head of a pipeline and the only object through which text enters and leaves it. Filling
// writes into the first stage's queue; the last stage writes the result back into the stream's own
// queue. Its name is the directory in which the stages look for their character sets and tables.
#ifndef RUNEFLOW_ENGINE_STREAM_STREAM_H
#define RUNEFLOW_ENGINE_STREAM_STREAM_H

#include <cstdio>

#include "engine/export.h"
#include "engine/stream/stream_obj.h"

class RUNEFLOW_API CStream : public CStreamObj {
  DECLARE_RUNTIME_CLASS(CStream)

 public:
  // A ring of one that owns itself: writing to a lone stream appends to its own queue.
  CStream();
  ~CStream() override;

  using CStreamObj::Open;
  // Opens the stream and keeps a copy of name (null keeps none): the default directory of its stages.
  virtual int Open(const char *name);

  // Inserts stage at the end of the pipeline, just before the stream, and makes the stream its owner.
  // The pipeline must be a closed ring.
  void Add(CStreamObj *stage);

  // The directory in which stage finds its files: the name of the head stream that owns it, or null
  // when it has no head stream or the head has no name.
  static const char *DirectoryOf(const CStreamObj *stage);

  // Copies the whole of an open C stream into the pipeline; name (or "input file") is used in messages.
  int ReadFile(FILE *file, const char *name);
  // Resolves the file name (relative to the current directory), reads the file in binary and closes it.
  int ReadFile(const char *fileName);
  // Copies the stream's own queue (draining it) from its first unread byte into an open C stream and
  // flushes it; name (or "output file") is used in messages.
  int WriteFile(FILE *file, const char *name);
  // Resolves the file name, creates or truncates the file, writes the queue into it and closes it.
  int WriteFile(const char *fileName);
  // Copies (draining) the queue of another head stream, from its first unread byte, into this pipeline.
  int ReadStream(CStream *other);

  char *m_name;  // copy of the name given to Open, owned; null when none was given

 private:
  // False, with "Object was not opened\n" reported, when the stream has no work buffer for a transfer.
  bool CheckOpened();
  // Where a transfer out of the queue starts: the first unread byte becomes current and the end flag is
  // cleared. Unlike Rewind, bytes already taken out (with Read) stay taken out.
  void ResumeReading();
  // Resolves fileName into path (kMaxPath bytes) and opens it with mode; null, with "Illegal file
  // name: %s\n" or "Can't open %s\n" reported (the name as given), when either fails.
  FILE *OpenFile(const char *fileName, const char *mode, char *path);
  // The transfers proper, once the stream is known to be opened and file is prepared.
  int ReadChunks(FILE *file, const char *name);
  int WriteChunks(FILE *file, const char *name);
  // Reports "I/O error %d on %s\n" for a C stream that failed; returns 0.
  int ReportFileError(int code, const char *name);
  // Reports "I/O error %d on stream\n" when code (a stream's Error()) is set; returns whether it was.
  bool ReportQueueError(int code);
};

#endif
