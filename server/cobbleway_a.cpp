// Construction and destruction of a Cobbleway object, and its two properties.
#include "server/cobbleway_a.h"

#include "server/framework/application.h"

IMPLEMENT_RUNTIME_CLASS(CCobblewayA, CStreamObjA)

CCobblewayA::CCobblewayA() : CDualInterface<IRuneflowCobbleway>(this) {
  EnableAutomation(this, IID_IRuneflowCobbleway);
  CApplication::Lock();
  m_pStream = CreateHeadStream(m_strVersion);
}

CCobblewayA::~CCobblewayA() {
  delete m_pStream;
  CApplication::Unlock();
}

HRESULT CCobblewayA::get_ErrMsg(BSTR *text) { return m_strErrMsg.Copy(text); }

HRESULT CCobblewayA::put_ErrMsg(BSTR text) { return m_strErrMsg.Assign(text); }

HRESULT CCobblewayA::get_Version(BSTR *text) { return m_strVersion.Copy(text); }

HRESULT CCobblewayA::put_Version(BSTR text) { return m_strVersion.Assign(text); }
