// CStreamA: the automation class "Runeflow.Stream". Each object owns one engine head stream, which it
// creates with itself and destroys with itself, and offers it to scripts: opened with a name, joined to
// other Streams, filled from files, strings, other Streams and the clipboard, run, and emptied into
// files, strings and the clipboard.
// Every member that can fail returns false and leaves the reason in ErrMsg; a success leaves ErrMsg as
// it was.
#ifndef RUNEFLOW_SERVER_STREAM_A_H
#define RUNEFLOW_SERVER_STREAM_A_H

#include "server/cobbleway_h.h"
#include "server/framework/ansi_text.h"
#include "server/framework/dual_interface.h"
#include "server/stream_obj_a.h"

class CStreamA : public CStreamObjA, public CDualInterface<IRuneflowStream> {
  DECLARE_RUNTIME_CLASS(CStreamA)

 public:
  // Enables automation, locks the application and creates the engine stream (not yet opened).
  CStreamA();
  // Takes the engine stream out of every pipeline of other Streams that leads through it (they lead
  // on to what it led to), destroys it and unlocks the application.
  ~CStreamA() override;

  // ErrMsg (1) and Version (2): read and assigned as they are.
  HRESULT STDMETHODCALLTYPE get_ErrMsg(BSTR *text) override;
  HRESULT STDMETHODCALLTYPE put_ErrMsg(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_Version(BSTR *text) override;
  HRESULT STDMETHODCALLTYPE put_Version(BSTR text) override;

  // Open (3): opens the engine stream and keeps name, the directory of its stages' files.
  HRESULT STDMETHODCALLTYPE Open(BSTR name, VARIANT_BOOL *ok) override;
  // Add (4): the Stream object becomes the last stage of this stream's pipeline. An argument that is no
  // Stream of this server or is already in the pipeline (this stream included), or a pipeline that no
  // longer leads back to this stream (joined otherwise with Connect), changes nothing and leaves the
  // reason in ErrMsg.
  HRESULT STDMETHODCALLTYPE Add(IDispatch *object) override;
  // Connect (5): the engine stream of from writes into that of to. Both must be Streams of this server.
  HRESULT STDMETHODCALLTYPE Connect(IDispatch *from, IDispatch *to) override;
  // Close (6): runs the pipeline. A stream never opened fails with "Object was not opened\n".
  HRESULT STDMETHODCALLTYPE Close(VARIANT_BOOL *ok) override;
  // ReadFile (7) and WriteFile (8): the whole file into the pipeline, the stream's queue into the file.
  HRESULT STDMETHODCALLTYPE ReadFile(BSTR fileName, VARIANT_BOOL *ok) override;
  HRESULT STDMETHODCALLTYPE WriteFile(BSTR fileName, VARIANT_BOOL *ok) override;
  // ReadString (9): the first length bytes of text into the pipeline (see CStreamObjA::ReadString).
  HRESULT STDMETHODCALLTYPE ReadString(BSTR text, LONG length, VARIANT_BOOL *ok) override;
  // WriteString (10): takes up to length bytes out of the stream's own queue, from its first unread
  // byte, and returns every one of them, zero bytes included. Asking for more than the queue holds
  // sets the end flag (Eos). No memory: "Memory allocation error\n" and an empty string.
  HRESULT STDMETHODCALLTYPE WriteString(LONG length, BSTR *text) override;
  // Eos (11): whether a read has run past the end of the queue.
  HRESULT STDMETHODCALLTYPE Eos(VARIANT_BOOL *end) override;
  // Length (12): the bytes not yet taken out of the queue.
  HRESULT STDMETHODCALLTYPE Length(LONG *length) override;
  // Clear (13): drops the queue.
  HRESULT STDMETHODCALLTYPE Clear() override;
  // ReadStream (14): the queue of the Stream object into this pipeline; anything else fails with
  // "Object must be a Stream".
  HRESULT STDMETHODCALLTYPE ReadStream(IDispatch *object, VARIANT_BOOL *ok) override;
  // ReadClipboard (15) and WriteClipboard (16): the clipboard's text of a format into the pipeline; the
  // queue onto the clipboard, an empty one as an empty text (see CStreamObjA).
  HRESULT STDMETHODCALLTYPE ReadClipboard(BSTR format, VARIANT_BOOL *ok) override;
  HRESULT STDMETHODCALLTYPE WriteClipboard(BSTR format, VARIANT_BOOL *ok) override;

  CAnsiText m_strErrMsg;   // the reason of the last failure; empty at first
  CAnsiText m_strVersion;  // the engine stream's version text and the object's own

 private:
  CStream *Engine() const { return static_cast<CStream *>(m_pEngine); }
  // The Stream object of this server behind an argument, or null.
  static CStreamA *StreamBehind(IDispatch *object);
  // Lets the engine streams of the other live Streams no longer point at this one's.
  void Unlink();
};

#endif
