// CCobblewayA: the automation class "Runeflow.Cobbleway", a ready-made pipeline that the object owns and
// reaches through its own fields (the inherited engine pointer is not used), with the texts of its
// ErrMsg and Version properties.
#ifndef RUNEFLOW_SERVER_COBBLEWAY_A_H
#define RUNEFLOW_SERVER_COBBLEWAY_A_H

#include "engine/stream/stream.h"
#include "server/cobbleway_h.h"
#include "server/framework/ansi_text.h"
#include "server/framework/dual_interface.h"
#include "server/stream_obj_a.h"

class CCobblewayA : public CStreamObjA, public CDualInterface<IRuneflowCobbleway> {
  DECLARE_RUNTIME_CLASS(CCobblewayA)

 public:
  // Enables automation, locks the application and creates the head stream of the pipeline.
  CCobblewayA();
  // Destroys the pipeline and unlocks the application.
  ~CCobblewayA() override;

  // ErrMsg (1) and Version (2): read and assigned as they are.
  HRESULT STDMETHODCALLTYPE get_ErrMsg(BSTR *text) override;
  HRESULT STDMETHODCALLTYPE put_ErrMsg(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_Version(BSTR *text) override;
  HRESULT STDMETHODCALLTYPE put_Version(BSTR text) override;

  CAnsiText m_strErrMsg;         // the reason of the last failure; empty at first
  CAnsiText m_strVersion;        // the head stream's version text and the object's own
  CStream *m_pStream = nullptr;  // the head stream of the pipeline, owned
};

#endif
