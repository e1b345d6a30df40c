// CCobblewayA: the automation class "Runeflow.Cobbleway", a ready-made pipeline of a head stream, a
// character conversion stage and three substitution stages, which the object creates, joins in that
// order and destroys with itself. It reaches them through its own fields (the inherited engine pointer
// is not used). Its result leaves only through the clipboard. Every member that can fail returns false
// and leaves the reason in ErrMsg; a success leaves ErrMsg as it was.
#ifndef RUNEFLOW_SERVER_COBBLEWAY_A_H
#define RUNEFLOW_SERVER_COBBLEWAY_A_H

#include "engine/charset/convert.h"
#include "engine/stream/stream.h"
#include "engine/subst/substitute.h"
#include "server/cobbleway_h.h"
#include "server/framework/ansi_text.h"
#include "server/framework/dual_interface.h"
#include "server/stream_obj_a.h"

class CCobblewayA : public CStreamObjA, public CDualInterface<IRuneflowCobbleway> {
  DECLARE_RUNTIME_CLASS(CCobblewayA)

 public:
  // Enables automation, locks the application, creates the five engine objects and joins them.
  CCobblewayA();
  // Destroys the stages in their order, then the head stream, and unlocks the application.
  ~CCobblewayA() override;

  // ErrMsg (1) and Version (2): read and assigned as they are.
  HRESULT STDMETHODCALLTYPE get_ErrMsg(BSTR *text) override;
  HRESULT STDMETHODCALLTYPE put_ErrMsg(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_Version(BSTR *text) override;
  HRESULT STDMETHODCALLTYPE put_Version(BSTR text) override;

  // Open (3): the head stream with name (the directory of the files), the conversion stage with charset
  // on both sides, then each substitution stage with its table over charset, stopping at the first
  // failure with that object's error text; the objects opened before it stay opened.
  HRESULT STDMETHODCALLTYPE Open(BSTR name, BSTR charset, BSTR table1, BSTR table2, BSTR table3,
                                 VARIANT_BOOL *ok) override;
  // Close (4): runs the stages over the text put in; the result waits in the head stream.
  HRESULT STDMETHODCALLTYPE Close(VARIANT_BOOL *ok) override;
  // Length (5): the bytes of result not yet taken out (0 while the text waits for Close).
  HRESULT STDMETHODCALLTYPE Length(LONG *length) override;
  // ReadString (6): the first length bytes of text into the conversion stage's queue.
  HRESULT STDMETHODCALLTYPE ReadString(BSTR text, LONG length, VARIANT_BOOL *ok) override;
  // ReadClipboard (7): the clipboard's text of a format into the conversion stage's queue.
  HRESULT STDMETHODCALLTYPE ReadClipboard(BSTR format, VARIANT_BOOL *ok) override;
  // WriteClipboard (8): the result onto the clipboard; an empty result fails with the head stream's
  // error text (see CStreamObjA).
  HRESULT STDMETHODCALLTYPE WriteClipboard(BSTR format, VARIANT_BOOL *ok) override;

  CAnsiText m_strErrMsg;             // the reason of the last failure; empty at first
  CAnsiText m_strVersion;            // the head stream's version text and the object's own
  CStream *m_pStream = nullptr;      // the head stream, owned
  CConvert *m_pConvert = nullptr;    // the character conversion stage, owned
  CSubstitute *m_pSubst1 = nullptr;  // the substitution stages in their order, owned
  CSubstitute *m_pSubst2 = nullptr;
  CSubstitute *m_pSubst3 = nullptr;
};

#endif
