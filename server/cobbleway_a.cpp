// The members of a Cobbleway object: one call opens the whole pipeline, text goes in through strings or
// the clipboard, Close runs it, and the result leaves through the clipboard.
#include "server/cobbleway_a.h"

#include <new>

#include "server/framework/application.h"

IMPLEMENT_RUNTIME_CLASS(CCobblewayA, CStreamObjA)

CCobblewayA::CCobblewayA() : CDualInterface<IRuneflowCobbleway>(this) {
  EnableAutomation(this, IID_IRuneflowCobbleway);
  CApplication::Lock();
  m_pStream = CreateHeadStream(m_strVersion);
  m_pConvert = new (std::nothrow) CConvert;
  m_pSubst1 = new (std::nothrow) CSubstitute;
  m_pSubst2 = new (std::nothrow) CSubstitute;
  m_pSubst3 = new (std::nothrow) CSubstitute;
  if (m_pStream == nullptr || m_pConvert == nullptr || m_pSubst1 == nullptr || m_pSubst2 == nullptr ||
      m_pSubst3 == nullptr) {
    ConstructionFailed(E_OUTOFMEMORY);
    return;
  }
  CStreamObj *const stages[] = {m_pConvert, m_pSubst1, m_pSubst2, m_pSubst3};
  for (CStreamObj *stage : stages) m_pStream->Add(stage);
}

CCobblewayA::~CCobblewayA() {
  delete m_pConvert;
  delete m_pSubst1;
  delete m_pSubst2;
  delete m_pSubst3;
  delete m_pStream;
  CApplication::Unlock();
}

HRESULT CCobblewayA::get_ErrMsg(BSTR *text) { return m_strErrMsg.Copy(text); }

HRESULT CCobblewayA::put_ErrMsg(BSTR text) { return m_strErrMsg.Assign(text); }

HRESULT CCobblewayA::get_Version(BSTR *text) { return m_strVersion.Copy(text); }

HRESULT CCobblewayA::put_Version(BSTR text) { return m_strVersion.Assign(text); }

HRESULT CCobblewayA::Open(BSTR name, BSTR charset, BSTR table1, BSTR table2, BSTR table3, VARIANT_BOOL *ok) {
  CAnsiText texts[5];
  const BSTR arguments[5] = {name, charset, table1, table2, table3};
  for (int i = 0; i < 5; ++i) {
    HRESULT result = texts[i].Assign(arguments[i]);
    if (FAILED(result)) return result;
  }
  const char *set = texts[1].Data();
  CStreamObj *failed = nullptr;
  if (!m_pStream->Open(texts[0].Data())) {
    failed = m_pStream;
  } else if (!m_pConvert->Open(set, set)) {
    failed = m_pConvert;
  } else {
    CSubstitute *const stages[] = {m_pSubst1, m_pSubst2, m_pSubst3};
    for (int i = 0; i < 3 && failed == nullptr; ++i) {
      if (!stages[i]->Open(texts[2 + i].Data(), set)) failed = stages[i];
    }
  }
  return Outcome(failed == nullptr, failed, m_strErrMsg, ok);
}

HRESULT CCobblewayA::Close(VARIANT_BOOL *ok) {
  return Outcome(m_pStream->Close() != 0, m_pStream, m_strErrMsg, ok);
}

HRESULT CCobblewayA::Length(LONG *length) {
  if (length == nullptr) return E_POINTER;
  *length = CStreamObjA::Length(m_pStream);
  return S_OK;
}

HRESULT CCobblewayA::ReadString(BSTR text, LONG length, VARIANT_BOOL *ok) {
  return CStreamObjA::ReadString(m_pStream, text, length, m_strErrMsg, ok);
}

HRESULT CCobblewayA::ReadClipboard(BSTR format, VARIANT_BOOL *ok) {
  return CStreamObjA::ReadClipboard(m_pStream, format, m_strErrMsg, ok);
}

HRESULT CCobblewayA::WriteClipboard(BSTR format, VARIANT_BOOL *ok) {
  return CStreamObjA::WriteClipboard(m_pStream, format, true, m_strErrMsg, ok);
}
