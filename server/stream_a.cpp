// Construction and destruction of a Stream object, and its two properties.
#include "server/stream_a.h"

#include "server/framework/application.h"

IMPLEMENT_RUNTIME_CLASS(CStreamA, CStreamObjA)

CStreamA::CStreamA() : CDualInterface<IRuneflowStream>(this) {
  EnableAutomation(this, IID_IRuneflowStream);
  CApplication::Lock();
  m_pEngine = CreateHeadStream(m_strVersion);
}

CStreamA::~CStreamA() {
  delete m_pEngine;
  CApplication::Unlock();
}

HRESULT CStreamA::get_ErrMsg(BSTR *text) { return m_strErrMsg.Copy(text); }

HRESULT CStreamA::put_ErrMsg(BSTR text) { return m_strErrMsg.Assign(text); }

HRESULT CStreamA::get_Version(BSTR *text) { return m_strVersion.Copy(text); }

HRESULT CStreamA::put_Version(BSTR text) { return m_strVersion.Assign(text); }
