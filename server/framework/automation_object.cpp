// Reference counting, interface lookup and the standard dispatch of the program's automation objects.
// Live objects are kept in a list so that an argument can be traced back to the object behind it: an
// object of this program comes back to it as the very interface pointer it handed out.
#include "server/framework/automation_object.h"

#include <windows.h>

#include <oleauto.h>

#include "server/framework/type_library.h"

IMPLEMENT_RUNTIME_CLASS(CAutomationObject, CObject)

CAutomationObject *CAutomationObject::s_pFirstLive = nullptr;

CAutomationObject::CAutomationObject()
    : m_references(1),
      m_dispatch(nullptr),
      m_iid(IID_NULL),
      m_typeInfo(nullptr),
      m_construction(S_OK),
      m_pPrevLive(nullptr),
      m_pNextLive(s_pFirstLive) {
  if (s_pFirstLive != nullptr) s_pFirstLive->m_pPrevLive = this;
  s_pFirstLive = this;
}

CAutomationObject::~CAutomationObject() {
  if (m_typeInfo != nullptr) m_typeInfo->Release();
  if (m_pPrevLive != nullptr) {
    m_pPrevLive->m_pNextLive = m_pNextLive;
  } else {
    s_pFirstLive = m_pNextLive;
  }
  if (m_pNextLive != nullptr) m_pNextLive->m_pPrevLive = m_pPrevLive;
}

void CAutomationObject::EnableAutomation(IDispatch *dispatch, REFIID iid) {
  HRESULT result = CTypeLibrary::GetTypeInfo(iid, &m_typeInfo);
  if (FAILED(result)) {
    ConstructionFailed(result);
    return;
  }
  m_dispatch = dispatch;
  m_iid = iid;
}

void CAutomationObject::ConstructionFailed(HRESULT reason) {
  if (SUCCEEDED(m_construction)) m_construction = reason;
}

HRESULT CAutomationObject::QueryInterface(REFIID iid, void **object) {
  if (object == nullptr) return E_POINTER;
  if (m_dispatch != nullptr && (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_iid)) {
    *object = m_dispatch;
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CAutomationObject::AddRef() { return ++m_references; }

ULONG CAutomationObject::Release() {
  ULONG left = --m_references;
  if (left == 0) delete this;
  return left;
}

HRESULT CAutomationObject::GetTypeInfoCount(UINT *count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT CAutomationObject::GetTypeInfo(UINT index, ITypeInfo **info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  m_typeInfo->AddRef();
  *info = m_typeInfo;
  return S_OK;
}

HRESULT CAutomationObject::GetIDsOfNames(OLECHAR **names, UINT count, DISPID *ids) {
  return DispGetIDsOfNames(m_typeInfo, names, count, ids);
}

HRESULT CAutomationObject::Invoke(DISPID id, WORD flags, DISPPARAMS *parameters, VARIANT *result,
                                  EXCEPINFO *exception, UINT *argumentError) {
  return DispInvoke(m_dispatch, m_typeInfo, id, flags, parameters, result, exception, argumentError);
}

CAutomationObject *CAutomationObject::FromDispatch(IDispatch *argument, const CRuntimeClass *kind) {
  if (argument == nullptr) return nullptr;
  for (CAutomationObject *object = s_pFirstLive; object != nullptr; object = object->m_pNextLive) {
    if (object->m_dispatch == argument) return object->IsKindOf(kind) ? object : nullptr;
  }
  return nullptr;
}
