// The record of the automation classes' common base, the version text they share, and the work of the
// members that both classes do alike on their head stream.
#include "server/stream_obj_a.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

IMPLEMENT_RUNTIME_CLASS(CStreamObjA, CAutomationObject)

const char CStreamObjA::kNoMemory[] = "Memory allocation error\n";

namespace {
const char kAutomationVersion[] = "1.0";
}  // namespace

CStream *CStreamObjA::CreateHeadStream(CAnsiText &version) {
  CStream *head = new (std::nothrow) CStream;
  if (head != nullptr) {
    head->m_consume = 1;
    size_t used = std::strlen(head->m_version);
    std::snprintf(head->m_version + used, sizeof head->m_version - used, "-%s", kAutomationVersion);
    if (version.Assign(head->m_version)) return head;
    delete head;
  }
  ConstructionFailed(E_OUTOFMEMORY);
  return nullptr;
}

HRESULT CStreamObjA::Outcome(bool succeeded, const CStreamObj *reporter, CAnsiText &errMsg,
                             VARIANT_BOOL *ok) {
  if (ok == nullptr) return E_POINTER;
  *ok = AutomationBool(succeeded);
  if (succeeded) return S_OK;
  const char *text = reporter->m_errText != nullptr ? reporter->m_errText : "";
  return errMsg.Assign(text) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CStreamObjA::Refuse(const char *message, CAnsiText &errMsg, VARIANT_BOOL *ok) {
  if (ok != nullptr) *ok = VARIANT_FALSE;
  return errMsg.Assign(message) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CStreamObjA::ReadString(CStream *head, BSTR text, LONG length, CAnsiText &errMsg, VARIANT_BOOL *ok) {
  if (ok == nullptr) return E_POINTER;
  *ok = VARIANT_TRUE;
  if (length <= 0) return S_OK;
  CAnsiText bytes;
  HRESULT result = bytes.Assign(text);
  if (FAILED(result)) return result;
  size_t wanted = static_cast<size_t>(length);
  size_t taken = wanted < bytes.Length() ? wanted : bytes.Length();
  if (taken == 0 || head->Write(bytes.Data(), static_cast<unsigned int>(taken)) != 0) return S_OK;
  return Refuse(kNoMemory, errMsg, ok);
}

LONG CStreamObjA::Length(CStream *head) {
  unsigned long length = head->GetLength();
  return length > LONG_MAX ? LONG_MAX : static_cast<LONG>(length);
}
