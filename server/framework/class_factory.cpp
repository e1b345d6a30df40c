// Creation of automation objects for the object runtime, and the registry entries that let it find the
// program: the ProgID leads to the CLSID, the CLSID to the program and to the type library.
#include "server/framework/class_factory.h"

#include <windows.h>

#include <objbase.h>

#include <cwchar>

#include "server/framework/application.h"
#include "server/framework/automation_object.h"
#include "server/framework/type_library.h"

CClassFactory *CClassFactory::s_pFirst = nullptr;

namespace {

const int kGuidText = 39;  // characters of a GUID in braces, with the terminating zero

// Creates (or opens) the key at path under root and sets its default value to value.
LONG SetDefaultValue(HKEY root, const wchar_t *path, const wchar_t *value) {
  HKEY key;
  LONG result =
      RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return result;
  DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
  result = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value), bytes);
  RegCloseKey(key);
  return result;
}

}  // namespace

CClassFactory::CClassFactory(REFCLSID clsid, const CRuntimeClass *record, const wchar_t *progId)
    : m_clsid(clsid), m_record(record), m_progId(progId), m_registration(0), m_pNext(s_pFirst) {
  s_pFirst = this;
}

CClassFactory::~CClassFactory() {
  if (m_registration != 0) CoRevokeClassObject(m_registration);
  for (CClassFactory **link = &s_pFirst; *link != nullptr; link = &(*link)->m_pNext) {
    if (*link == this) {
      *link = m_pNext;
      break;
    }
  }
}

HRESULT CClassFactory::QueryInterface(REFIID iid, void **object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *object = static_cast<IClassFactory *>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CClassFactory::AddRef() { return 2; }

ULONG CClassFactory::Release() { return 1; }

HRESULT CClassFactory::CreateInstance(IUnknown *outer, REFIID iid, void **object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  if (CApplication::IsEnding()) return CO_E_SERVER_STOPPING;
  CObject *created = m_record->CreateObject();
  if (created == nullptr) return E_OUTOFMEMORY;
  if (!created->IsKindOf(&CAutomationObject::classCAutomationObject)) {
    delete created;
    return E_UNEXPECTED;
  }
  CAutomationObject *automation = static_cast<CAutomationObject *>(created);
  HRESULT result = automation->ConstructionResult();
  if (SUCCEEDED(result)) result = automation->QueryInterface(iid, object);
  automation->Release();  // the creator's reference: the client's, if any, keeps the object
  return result;
}

HRESULT CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    CApplication::Lock();
  } else {
    CApplication::Unlock();
  }
  return S_OK;
}

HRESULT CClassFactory::RegisterAll() {
  for (CClassFactory *factory = s_pFirst; factory != nullptr; factory = factory->m_pNext) {
    HRESULT result = CoRegisterClassObject(factory->m_clsid, static_cast<IClassFactory *>(factory),
                                           CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &factory->m_registration);
    if (FAILED(result)) {
      factory->m_registration = 0;
      RevokeAll();
      return result;
    }
  }
  return S_OK;
}

void CClassFactory::RevokeAll() {
  for (CClassFactory *factory = s_pFirst; factory != nullptr; factory = factory->m_pNext) {
    if (factory->m_registration != 0) CoRevokeClassObject(factory->m_registration);
    factory->m_registration = 0;
  }
}

HRESULT CClassFactory::UpdateRegistryAll(HKEY classesRoot) {
  wchar_t path[MAX_PATH];
  if (!CTypeLibrary::GetProgramPath(path)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  wchar_t serverCommand[MAX_PATH + 2];
  const wchar_t *quote = wcschr(path, L' ') != nullptr ? L"\"" : L"";
  swprintf(serverCommand, MAX_PATH + 2, L"%ls%ls%ls", quote, path, quote);
  GUID library;
  HRESULT result = CTypeLibrary::GetLibraryId(&library);
  if (FAILED(result)) return result;
  wchar_t libraryId[kGuidText];
  StringFromGUID2(library, libraryId, kGuidText);
  for (CClassFactory *factory = s_pFirst; factory != nullptr; factory = factory->m_pNext) {
    result = factory->UpdateRegistry(classesRoot, serverCommand, libraryId);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT CClassFactory::UpdateRegistry(HKEY classesRoot, const wchar_t *serverCommand,
                                      const wchar_t *libraryId) const {
  wchar_t clsid[kGuidText];
  StringFromGUID2(m_clsid, clsid, kGuidText);
  wchar_t progIdClsid[MAX_PATH];
  swprintf(progIdClsid, MAX_PATH, L"%ls\\CLSID", m_progId);
  struct Entry {
    const wchar_t *subkey;  // under the class's key "CLSID\{...}"; null for the key itself
    const wchar_t *value;
  } const entries[] = {
      {nullptr, m_progId},
      {L"ProgID", m_progId},
      {L"LocalServer32", serverCommand},
      {L"TypeLib", libraryId},
  };
  LONG error = SetDefaultValue(classesRoot, m_progId, m_progId);
  if (error == ERROR_SUCCESS) error = SetDefaultValue(classesRoot, progIdClsid, clsid);
  for (const Entry &entry : entries) {
    if (error != ERROR_SUCCESS) break;
    wchar_t key[MAX_PATH];
    swprintf(key, MAX_PATH, L"CLSID\\%ls%ls%ls", clsid, entry.subkey != nullptr ? L"\\" : L"",
             entry.subkey != nullptr ? entry.subkey : L"");
    error = SetDefaultValue(classesRoot, key, entry.value);
  }
  return HRESULT_FROM_WIN32(error);
}
