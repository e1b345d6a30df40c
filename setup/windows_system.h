// CWindowsSystem: Setup's work done on the real machine, through the Windows API, the C library and the
// framework's dialog and message boxes.
#ifndef RUNEFLOW_SETUP_WINDOWS_SYSTEM_H
#define RUNEFLOW_SETUP_WINDOWS_SYSTEM_H

#include "setup/setup_system.h"

class CWindowsSystem : public CSetupSystem {
 public:
  LONG OpenKey(HKEY root, const char *path, REGSAM access, HKEY *key) override;
  LONG CreateKey(HKEY root, const char *path, HKEY *key) override;
  LONG SetString(HKEY key, const char *name, const char *value) override;
  // Only REG_SZ values are read; another type gives ERROR_UNSUPPORTED_TYPE, a longer value ERROR_MORE_DATA.
  LONG QueryString(HKEY key, const char *name, char *value, DWORD size) override;
  void CloseKey(HKEY key) override;
  LONG DeleteKey(HKEY root, const char *path) override;
  bool CurrentDirectory(char *path, size_t size) override;
  bool WindowsDirectory(char *path, size_t size) override;
  bool SystemDirectory(char *path, size_t size) override;
  DWORD MakeDirectory(const char *path) override;
  DWORD Copy(const char *from, const char *to, bool replace) override;
  DWORD Delete(const char *path) override;
  DWORD OpenForAppend(const char *path) override;
  int RunAndWait(const char *program, const char *argument, int *error) override;
  void Pause(DWORD milliseconds) override;
  INT_PTR AskAction(bool installed) override;
  void ShowMessage(const char *text) override;
};

#endif
