// CStreamA: the automation class "Runeflow.Stream". Each object owns one engine head stream, which it
// creates with itself and destroys with itself, and holds the texts of its ErrMsg and Version properties.
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
  // Destroys the engine stream and unlocks the application.
  ~CStreamA() override;

  // ErrMsg (1) and Version (2): read and assigned as they are.
  HRESULT STDMETHODCALLTYPE get_ErrMsg(BSTR *text) override;
  HRESULT STDMETHODCALLTYPE put_ErrMsg(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_Version(BSTR *text) override;
  HRESULT STDMETHODCALLTYPE put_Version(BSTR text) override;

  CAnsiText m_strErrMsg;   // the reason of the last failure; empty at first
  CAnsiText m_strVersion;  // the engine stream's version text and the object's own
};

#endif
