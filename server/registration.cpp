// The walk enumerates the classes root by index and starts again from the first key after each removal,
// since removing a key moves the indices of those after it; every restart follows the removal of one
// key, so the walk ends. Key trees are deleted through open handles, one level of recursion per level of
// the tree, so no key path is ever built and none can overflow a buffer.
#include "server/registration.h"

#include <cwchar>

namespace {

const int kMaxKeyDepth = 512;    // levels of keys the registry allows below a key
const DWORD kKeyNameSize = 256;  // characters of a key name with its terminating zero (the registry's limit)

LONG DeleteKeyTreeAt(HKEY parent, const wchar_t *name, int depth) {
  if (depth > kMaxKeyDepth) return ERROR_BADKEY;
  HKEY key;
  LONG result = RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS, &key);
  if (result != ERROR_SUCCESS) return result;
  for (;;) {
    wchar_t subkey[kKeyNameSize];
    DWORD length = kKeyNameSize;
    result = RegEnumKeyExW(key, 0, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) break;
    result = DeleteKeyTreeAt(key, subkey, depth + 1);
    if (result != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  return result == ERROR_NO_MORE_ITEMS ? RegDeleteKeyW(parent, name) : result;
}

// The default value of the subkey "CLSID" of the key progId: the name of the class's key under
// "CLSID". False when it cannot be read, or when it could not name a key directly below "CLSID" (it
// is empty or holds a backslash), so that nothing but that one class key is ever deleted for it.
bool ReadClassKeyName(HKEY classesRoot, const wchar_t *progId, wchar_t (&clsid)[kKeyNameSize]) {
  HKEY progIdKey;
  if (RegOpenKeyExW(classesRoot, progId, 0, KEY_READ, &progIdKey) != ERROR_SUCCESS) return false;
  HKEY key;
  LONG result = RegOpenKeyExW(progIdKey, L"CLSID", 0, KEY_QUERY_VALUE, &key);
  RegCloseKey(progIdKey);
  if (result != ERROR_SUCCESS) return false;
  DWORD type;
  DWORD bytes = sizeof clsid - sizeof clsid[0];
  result = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(clsid), &bytes);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ) return false;
  clsid[bytes / sizeof clsid[0]] = L'\0';
  return clsid[0] != L'\0' && wcschr(clsid, L'\\') == nullptr;
}

}  // namespace

LONG DeleteKeyTree(HKEY parent, const wchar_t *name) { return DeleteKeyTreeAt(parent, name, 0); }

bool UnregisterClasses(HKEY classesRoot, const wchar_t *prefix) {
  HKEY clsidRoot;
  if (RegOpenKeyExW(classesRoot, L"CLSID", 0, KEY_ALL_ACCESS, &clsidRoot) != ERROR_SUCCESS) return false;
  size_t prefixLength = wcslen(prefix);
  bool removedAll = true;
  DWORD index = 0;
  for (;;) {
    wchar_t name[kKeyNameSize];
    DWORD length = kKeyNameSize;
    LONG result = RegEnumKeyExW(classesRoot, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
      removedAll = removedAll && result == ERROR_NO_MORE_ITEMS;
      break;
    }
    if (wcsncmp(name, prefix, prefixLength) != 0 || name[prefixLength] != L'.') {
      ++index;
      continue;
    }
    wchar_t clsid[kKeyNameSize];
    bool named = ReadClassKeyName(classesRoot, name, clsid);
    if (DeleteKeyTree(classesRoot, name) != ERROR_SUCCESS) {
      removedAll = false;
      ++index;
      continue;
    }
    if (named) {
      result = DeleteKeyTree(clsidRoot, clsid);
      if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) removedAll = false;
    }
    index = 0;
  }
  RegCloseKey(clsidRoot);
  return removedAll;
}
