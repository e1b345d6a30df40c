// CStreamObjA: the base of both automation classes of the server. It stands for one engine object of a
// pipeline; clients never create it directly. Each derived class enables automation through its own
// dual interface and takes the application lock for its lifetime. The members that both classes offer
// on their pipeline's head stream (strings in, the length of the result, the clipboard both ways) are
// shared here; their ErrMsg texts are the derived classes' own.
#ifndef RUNEFLOW_SERVER_STREAM_OBJ_A_H
#define RUNEFLOW_SERVER_STREAM_OBJ_A_H

#include "engine/stream/stream.h"
#include "server/framework/ansi_text.h"
#include "server/framework/automation_object.h"

class CStreamObjA : public CAutomationObject {
  DECLARE_RUNTIME_CLASS(CStreamObjA)

 public:
  CStreamObjA() = default;

  CStreamObj *m_pEngine = nullptr;    // the engine object this automation object stands for
  CStreamObjA *m_pAddedTo = nullptr;  // the Stream this object was last added to (recorded, not consulted)

 protected:
  // A new engine head stream (not yet opened) for the object's pipeline: "-" and the automation
  // objects' version are appended to its version text (giving 1.0-1.0-1.0), which is copied into
  // version. Reading drains its queue from the start, as it does once the stream is opened, so that a
  // text taken out with a string is gone before Open too. Null, with the construction marked as failed,
  // when memory runs out.
  CStream *CreateHeadStream(CAnsiText &version);

  // The end of a member that asked the engine for something: *ok is the automation boolean of succeeded;
  // on failure errMsg becomes a copy of reporter's error text (empty when it has none), and on success
  // errMsg stays as it was. E_OUTOFMEMORY when the copy cannot be made.
  static HRESULT Outcome(bool succeeded, const CStreamObj *reporter, CAnsiText &errMsg, VARIANT_BOOL *ok);
  // A failure that the server itself reports: errMsg becomes message, *ok (when given) false.
  static HRESULT Refuse(const char *message, CAnsiText &errMsg, VARIANT_BOOL *ok = nullptr);

  // ReadString of both classes: the first length bytes of text (the whole text when length passes its
  // end, nothing when length is 0 or less) are written into head's pipeline. A write that runs out of
  // memory fails with "Memory allocation error\n".
  static HRESULT ReadString(CStream *head, BSTR text, LONG length, CAnsiText &errMsg, VARIANT_BOOL *ok);
  // ReadClipboard of both classes: the clipboard's text in the format named format (CClipboard::
  // FormatToRead), up to its first zero byte or the end of its data, is written into head's pipeline;
  // an empty text writes nothing. Fails with "Can't open Clipboard", "Clipboard format not available"
  // or, as ReadString, "Memory allocation error\n". The clipboard is closed on every path.
  static HRESULT ReadClipboard(CStream *head, BSTR format, CAnsiText &errMsg, VARIANT_BOOL *ok);
  // WriteClipboard of both classes: what head's queue holds, and a zero byte, becomes the clipboard's
  // only data, in the format named format (CClipboard::FormatToWrite). The queue keeps its text until
  // the data is on the clipboard and is empty after a success. With refuseEmpty (Cobbleway objects) an
  // empty queue fails with head's error text. Other failures leave a server message ("Can't register
  // clipboard format", "Can't open clipboard", ...); the memory block is released and the clipboard
  // closed on every path.
  static HRESULT WriteClipboard(CStream *head, BSTR format, bool refuseEmpty, CAnsiText &errMsg,
                                VARIANT_BOOL *ok);
  // Length of both classes: the bytes not yet taken out of head's own queue (the largest long when
  // more); the queue's current block is set back to its first.
  static LONG Length(CStream *head);
  // The server's text for its own lack of memory.
  static const char kNoMemory[];

 private:
  // Writes length bytes into head's pipeline: true for none; "Memory allocation error\n" when the
  // write fails.
  static HRESULT WriteText(CStream *head, const char *bytes, size_t length, CAnsiText &errMsg,
                           VARIANT_BOOL *ok);
};

#endif
