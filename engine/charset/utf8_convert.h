// CUtf8Convert: the stage that meets Unicode text at the edges of an 8-bit pipeline. It converts UTF-8
// text into an 8-bit character set, an 8-bit text into UTF-8, or UTF-8 into UTF-8, pairing a set's bytes
// with Unicode characters through their names (unicode_names.h). References are resolved on the way in
// and a character the destination set lacks is written as a reference, so no character is lost; invalid
// UTF-8 fails the run with its byte offset.
#ifndef RUNEFLOW_ENGINE_CHARSET_UTF8_CONVERT_H
#define RUNEFLOW_ENGINE_CHARSET_UTF8_CONVERT_H

#include "engine/export.h"
#include "engine/stream/stream_obj.h"

class CCharSet;
class NameIndex;
class UnicodeMap;
enum class Utf8Fault;

// In place of a set's name: the text is UTF-8 (a null name, typed so that Open(kUtf8, kUtf8) is clear).
constexpr const char *kUtf8 = nullptr;

class RUNEFLOW_API CUtf8Convert : public CStreamObj {
  DECLARE_RUNTIME_CLASS(CUtf8Convert)

 public:
  CUtf8Convert();
  // Destroys the map and the sets that the stage owns (those it loaded, and those loaded with the stage as
  // their error target).
  ~CUtf8Convert() override;

  using CStreamObj::Open;
  // Loads the set file of the 8-bit side and opens the stage; kUtf8 (a null name) stands for UTF-8, so
  // Open(kUtf8, "latin1") converts UTF-8 to latin1, Open("cp1252", kUtf8) cp1252 to UTF-8 and
  // Open(kUtf8, kUtf8) UTF-8 to UTF-8. The set is resolved against the head stream's name (the stage
  // must already be added to its head) and owned by the stage. Problems are reported on the stage; a
  // failed Open leaves the stage not opened.
  virtual int Open(const char *fromName, const char *toName);
  // Opens the stage on a loaded set, null standing for UTF-8; at least one side must be UTF-8. A set
  // loaded with another error target stays with its creator and must outlive the stage's use.
  virtual int Open(CCharSet *from, CCharSet *to);
  // Converts the whole input queue into the next object's queue and runs the next stage. Invalid UTF-8,
  // a character that the destination can hold neither as a byte nor as a reference, and a failed write
  // are reported on the head stream and fail the run; output written before stays in the next queue.
  int Process() override;

  // Bytes of the input window: large enough that what each window costs besides its bytes is little.
  static const int kWindowSize = 4096;

  CCharSet *from;         // source set, null when the text comes in UTF-8
  CCharSet *to;           // destination set, null when the text goes out in UTF-8
  UnicodeMap *map;        // the characters of the 8-bit side; owned; null from UTF-8 to UTF-8
  unsigned char *inbuf;   // the input window; owned
  int incount;            // bytes held in inbuf
  unsigned char *outbuf;  // output gathered for the next queue; owned
  int outcount;           // bytes held in outbuf

 private:
  // What a run's windows convert without a closer look, built when the run starts.
  struct FastPath;
  // Converts the window (inbuf, incount bytes) of UTF-8 text into `to`, or into UTF-8 when `to` is
  // null. Returns how many bytes at the window's end were moved to its front to be completed by the next
  // read, or -1 when the run failed (reported). names indexes `to`, or is null.
  int ConvertUtf8Window(const FastPath &fast, const NameIndex *names);
  // The same for a window of text in `from`, converted into UTF-8.
  int ConvertSetWindow(const FastPath &fast, const NameIndex &names);
  // At the begin character at window position at: resolves the reference there, writes what it stands
  // for and returns the position after it. Returns at when there is no reference (the begin character
  // is then an ordinary character), -1 when the run failed, and -2 when the window ends before the
  // reference could end and more input follows. names indexes the 8-bit side, or is null.
  int ResolveReference(int at, const NameIndex *names);
  // Writes a character: its byte in `to`, or a reference for it; at is its window position, for the
  // message when neither can be written. Returns false when the run failed (reported).
  bool PutPoint(unsigned int point, int at);
  // Writes a byte of `from` in UTF-8: its character, else a reference for it.
  void PutSetByte(unsigned char byte);
  // Writes the reference `to` has for a character it lacks: by name, else by number. False when `to`
  // can write neither.
  bool PutMissingReference(unsigned int point);
  // Writes the numeric reference for number in the reference characters begin, numeric and end of the
  // output; the digits and the name characters are ASCII characters of the output. False when the
  // output cannot hold one of them (nothing is written then).
  bool PutNumericReference(unsigned long number, int begin, int numeric, int end);
  bool PutNamedReference(const char *name, size_t length, int begin, int end);
  // The output byte of an ASCII character: itself in UTF-8, its byte in `to`, or -1.
  int OutputAscii(unsigned char c) const;
  // Appends bytes to outbuf, writing it on when it fills.
  void PutBytes(const unsigned char *bytes, int count);
  void PutByte(unsigned char byte) { PutBytes(&byte, 1); }
  // Writes outbuf into the next queue; a failed write is reported on the head stream and fails the run.
  void Flush();
  // Reports invalid UTF-8 at window position at on the head stream, and fails the run.
  void ReportInvalid(int at, Utf8Fault fault);
  // Reports "I/O error %d on stream\n" with the stage's error code on the head stream, and fails the run.
  void ReportQueueError();

  unsigned long offset_;  // during a run: the input offset of the window's first byte
  bool failed_;           // during a run: a failure was reported and the run stops
  bool ownsSets_[2];      // from and to: destroyed by the stage (see ReplaceOwnedSets)
};

#endif
