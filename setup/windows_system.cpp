// The Windows API calls behind CSetupSystem. Registry strings go in with the length of their text, without
// the terminating zero; the server is started with the C library's spawn, whose error number Setup reports.
#include "setup/windows_system.h"

#include <errno.h>
#include <process.h>

#include <cstdio>
#include <cstring>

#include "server/framework/message_box.h"
#include "setup/setup_dialog.h"

namespace {

// A folder query's result fits when it is not 0 and leaves room for the terminator.
bool Fits(DWORD length, size_t size) { return length != 0 && length < size; }

}  // namespace

LONG CWindowsSystem::OpenKey(HKEY root, const char *path, REGSAM access, HKEY *key) {
  return RegOpenKeyExA(root, path, 0, access, key);
}

LONG CWindowsSystem::CreateKey(HKEY root, const char *path, HKEY *key) {
  return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                         nullptr);
}

LONG CWindowsSystem::SetString(HKEY key, const char *name, const char *value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                        static_cast<DWORD>(std::strlen(value)));
}

LONG CWindowsSystem::QueryString(HKEY key, const char *name, char *value, DWORD size) {
  DWORD type = REG_NONE;
  DWORD bytes = size;
  LONG error = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(value), &bytes);
  if (error != ERROR_SUCCESS) return error;
  if (type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
  if (bytes > 0 && value[bytes - 1] == '\0') return ERROR_SUCCESS;
  if (bytes == size) return ERROR_MORE_DATA;  // no room for the terminator the stored value lacks
  value[bytes] = '\0';
  return ERROR_SUCCESS;
}

void CWindowsSystem::CloseKey(HKEY key) { RegCloseKey(key); }

LONG CWindowsSystem::DeleteKey(HKEY root, const char *path) { return RegDeleteKeyA(root, path); }

bool CWindowsSystem::CurrentDirectory(char *path, size_t size) {
  return Fits(GetCurrentDirectoryA(static_cast<DWORD>(size), path), size);
}

bool CWindowsSystem::WindowsDirectory(char *path, size_t size) {
  return Fits(GetWindowsDirectoryA(path, static_cast<UINT>(size)), size);
}

bool CWindowsSystem::SystemDirectory(char *path, size_t size) {
  return Fits(GetSystemDirectoryA(path, static_cast<UINT>(size)), size);
}

DWORD CWindowsSystem::MakeDirectory(const char *path) {
  return CreateDirectoryA(path, nullptr) ? ERROR_SUCCESS : GetLastError();
}

DWORD CWindowsSystem::Copy(const char *from, const char *to, bool replace) {
  return CopyFileA(from, to, replace ? FALSE : TRUE) ? ERROR_SUCCESS : GetLastError();
}

DWORD CWindowsSystem::Delete(const char *path) { return DeleteFileA(path) ? ERROR_SUCCESS : GetLastError(); }

DWORD CWindowsSystem::OpenForAppend(const char *path) {
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(file);
  return ERROR_SUCCESS;
}

int CWindowsSystem::RunAndWait(const char *program, const char *argument, int *error) {
  // The program's own name is its first argument; spawn joins the arguments with blanks as they are.
  char name[MAX_PATH + 2];
  std::snprintf(name, sizeof name, std::strchr(program, ' ') != nullptr ? "\"%s\"" : "%s", program);
  errno = 0;
  intptr_t status = _spawnl(_P_WAIT, program, name, argument, static_cast<char *>(nullptr));
  if (status == -1) *error = errno;
  return static_cast<int>(status);
}

void CWindowsSystem::Pause(DWORD milliseconds) { Sleep(milliseconds); }

INT_PTR CWindowsSystem::AskAction(bool installed) {
  CSetupDialog dialog(installed);
  return dialog.DoModal();
}

void CWindowsSystem::ShowMessage(const char *text) { ::ShowMessage(text); }
