// Loads the type library from the program's own file; registration goes through the Automation
// runtime, which writes the library's key and those of its dual interfaces (marshalled from the library).
#include "server/framework/type_library.h"

#include <windows.h>

#include <oleauto.h>

ITypeLib *CTypeLibrary::s_library = nullptr;

bool CTypeLibrary::GetProgramPath(wchar_t (&path)[MAX_PATH]) {
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return length != 0 && length < MAX_PATH;
}

HRESULT CTypeLibrary::Get(ITypeLib **library) {
  if (s_library == nullptr) {
    wchar_t path[MAX_PATH];
    if (!GetProgramPath(path)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    HRESULT result = LoadTypeLibEx(path, REGKIND_NONE, &s_library);
    if (FAILED(result)) {
      s_library = nullptr;
      return result;
    }
  }
  *library = s_library;
  return S_OK;
}

HRESULT CTypeLibrary::GetTypeInfo(REFIID iid, ITypeInfo **info) {
  *info = nullptr;
  ITypeLib *library;
  HRESULT result = Get(&library);
  return FAILED(result) ? result : library->GetTypeInfoOfGuid(iid, info);
}

HRESULT CTypeLibrary::GetAttributes(TLIBATTR *attributes) {
  ITypeLib *library;
  HRESULT result = Get(&library);
  if (FAILED(result)) return result;
  TLIBATTR *held;
  result = library->GetLibAttr(&held);
  if (FAILED(result)) return result;
  *attributes = *held;
  library->ReleaseTLibAttr(held);
  return S_OK;
}

HRESULT CTypeLibrary::GetLibraryId(GUID *id) {
  TLIBATTR attributes;
  HRESULT result = GetAttributes(&attributes);
  if (SUCCEEDED(result)) *id = attributes.guid;
  return result;
}

HRESULT CTypeLibrary::Register() {
  ITypeLib *library;
  HRESULT result = Get(&library);
  if (FAILED(result)) return result;
  wchar_t path[MAX_PATH];
  if (!GetProgramPath(path)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  return RegisterTypeLib(library, path, nullptr);
}

HRESULT CTypeLibrary::Unregister() {
  TLIBATTR attributes;
  HRESULT result = GetAttributes(&attributes);
  if (FAILED(result)) return result;
  return UnRegisterTypeLib(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid,
                           attributes.syskind);
}

void CTypeLibrary::Release() {
  if (s_library != nullptr) s_library->Release();
  s_library = nullptr;
}
