// CStreamObj: the base of everything that holds or transforms text. Each object owns an input queue of
// blocks; Write appends to the queue of the next object in the pipeline, Read drains the object's own
// queue, and Close runs the next stage. The object also carries its error code, error text and version.
#ifndef RUNEFLOW_ENGINE_STREAM_STREAM_OBJ_H
#define RUNEFLOW_ENGINE_STREAM_STREAM_OBJ_H

#include "engine/export.h"
#include "engine/stream/block_struct.h"
#include "engine/stream/object.h"

#if defined(__MINGW32__)
#define RUNEFLOW_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define RUNEFLOW_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define RUNEFLOW_PRINTF(fmt, args)
#endif

const unsigned int kWorkSize = 500;    // bytes of the work buffer that Open allocates
const unsigned int kErrTextMax = 250;  // characters of an error text, class name included
const unsigned int kVersionSize = 20;  // bytes of the version text, terminator included
const int kErrNoMemory = 12;           // m_error when a queue block could not be allocated
const int kErrNotConnected = 22;       // m_error when Write has no next object to write to

// A filter stage derives from CStreamObj and keeps this contract: its constructor appends "-" and its
// version to m_version; each Open calls CStreamObj::Open() and reports its own failures on itself;
// Process() first calls CStreamObj::Process(), reads its input only with Read until Eof(), writes only
// with Write and checks Error() after each, reports run-time errors on m_pOwner, and ends by returning
// Close() (after Clear() when it stops early).
class RUNEFLOW_API CStreamObj : public CObject {
  DECLARE_RUNTIME_CLASS(CStreamObj)

 public:
  CStreamObj();
  ~CStreamObj() override;

  // Allocates a fresh work buffer and resets the end flag, error code and consume flag; the queue is
  // kept. Fails with "Memory allocation error\n" on this object, which is then not opened.
  virtual int Open();
  // Stage entry point. The base checks that the object was opened, reporting "Object was not opened\n"
  // on the owner (on the object itself when it has no owner), and clears the error code of an earlier
  // run.
  virtual int Process();

  // Makes next follow this object.
  void Connect(CStreamObj *next);
  // Appends n bytes to the queue of m_pNext and returns n; 0 bytes also returns 0, so callers tell a
  // failure by Error(). On failure sets m_error (kErrNoMemory, or kErrNotConnected without a next object);
  // what was appended before the failure stays queued.
  unsigned int Write(const void *bytes, unsigned int n);
  // Takes up to n bytes from this object's own queue, from its first unread byte. The end flag is set
  // by a read that asks for more than remains. While m_consume is set, blocks read past are released.
  unsigned int Read(void *buffer, unsigned int n);
  // Unread bytes in the queue.
  unsigned long GetLength();
  // Releases every block of the queue.
  void Clear();
  // Makes every byte still queued unread again and clears the end flag.
  void Rewind();
  // Runs the next stage (nothing when the next object is the head stream). Returns 0 when that stage
  // failed; its queue is then cleared and the reason is in the owner's error text.
  int Close();
  int Eof() const { return m_eof; }
  int Error() const { return m_error; }
  // Replaces this object's error text with the class name without its leading "C", ": " and the
  // formatted message, cut to kErrTextMax characters. Returns the length of the text.
  int Eprintf(const char *fmt, ...) RUNEFLOW_PRINTF(2, 3);

  char *m_errText;               // last error text, owned; null until the first report
  CStreamObj *m_pNext;           // next object of the pipeline: Write appends to its queue
  CStreamObj *m_pPrev;           // previous object; kept up to date, never walked
  CStreamObj *m_pOwner;          // head stream of the pipeline: run-time errors are reported there
  int m_consume;                 // while set, Read releases blocks it has read past
  char m_version[kVersionSize];  // "1.0", each derived class appends "-" and its own version
  unsigned char *m_work;         // work buffer of kWorkSize bytes; its presence means "opened"
  int m_workLen;                 // bytes held in m_work
  int m_eof;                     // set when a read ran past the end of the queue
  int m_error;                   // 0, or the code of the last failed Write
  block_struct *m_pFirst;        // first block of the queue
  block_struct *m_pCur;          // block holding the first unread byte (or a fully read block before it)
  block_struct *m_pLast;         // last block of the queue: where Write appends

 protected:
  // Read's work, with each piece of the queue handed to take(piece, length, context) in turn instead of
  // being copied into a buffer: the same pieces, end flag and released blocks as Read.
  using PieceTaker = void (*)(const unsigned char *piece, unsigned int length, void *context);
  unsigned int ReadPieces(unsigned int n, PieceTaker take, void *context);
  // Write's work in two steps, for a writer that fills the queue in place: the free bytes at the end of
  // the next object's queue (a block is added first when the last one is full) with their count in
  // room, or null with m_error set as Write sets it; then Appended counts the bytes put there.
  unsigned char *AppendRoom(unsigned int *room);
  void Appended(unsigned int n);
  // Appends "-" and version to m_version (derived constructors).
  void AppendVersion(const char *version);
  // Where run-time errors are reported: the owner, or the object itself when it has none.
  CStreamObj *ReportTarget() { return m_pOwner != nullptr ? m_pOwner : this; }
  // Reports "Memory allocation error\n" on this object; returns 0.
  int ReportNoMemory();
  // Releases the work buffer: the object is not opened until its next successful Open.
  void ReleaseWork();

 private:
  // What every write does first: the next object's end flag cleared and its queue given a first block.
  // False, with m_error set, when there is no next object or no memory.
  bool StartAppending();
};

#endif
