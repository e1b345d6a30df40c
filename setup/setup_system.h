// CSetupSystem: everything Setup asks of the machine it works on (registry, folders, files, the server
// program, the user), as one interface. CWindowsSystem is the real machine; the tests put a scripted one
// in its place, so that every failure of the installation and the removal can be provoked.
#ifndef RUNEFLOW_SETUP_SETUP_SYSTEM_H
#define RUNEFLOW_SETUP_SETUP_SYSTEM_H

#include <windows.h>

#include <cstddef>

class CSetupSystem {
 public:
  CSetupSystem() = default;
  CSetupSystem(const CSetupSystem &) = delete;
  CSetupSystem &operator=(const CSetupSystem &) = delete;
  virtual ~CSetupSystem() = default;

  // Registry. Each returns ERROR_SUCCESS or the registry's error code; a key opened or created is
  // closed with CloseKey.
  virtual LONG OpenKey(HKEY root, const char *path, REGSAM access, HKEY *key) = 0;
  virtual LONG CreateKey(HKEY root, const char *path, HKEY *key) = 0;
  // A string value, written with a length that does not count the terminating zero.
  virtual LONG SetString(HKEY key, const char *name, const char *value) = 0;
  // A string value read into value (size bytes, always terminated on success).
  virtual LONG QueryString(HKEY key, const char *name, char *value, DWORD size) = 0;
  virtual void CloseKey(HKEY key) = 0;
  // Deletes the key path under root (a key without subkeys).
  virtual LONG DeleteKey(HKEY root, const char *path) = 0;

  // Folders, each into a buffer of size bytes; false when it does not fit or cannot be had.
  virtual bool CurrentDirectory(char *path, size_t size) = 0;
  virtual bool WindowsDirectory(char *path, size_t size) = 0;
  virtual bool SystemDirectory(char *path, size_t size) = 0;

  // Files and folders. Each returns ERROR_SUCCESS or the system's error code (its last error).
  virtual DWORD MakeDirectory(const char *path) = 0;
  // Copies from to to byte for byte; when to exists, fails with ERROR_FILE_EXISTS unless replace is set.
  virtual DWORD Copy(const char *from, const char *to, bool replace) = 0;
  virtual DWORD Delete(const char *path) = 0;
  // Opens the existing file path for appending and closes it again, writing nothing: it succeeds once
  // no program holds the file any more.
  virtual DWORD OpenForAppend(const char *path) = 0;

  // Starts program with the one argument and waits for it to end. Returns its exit status, or -1 with
  // the C library's error number in *error when it could not be started.
  virtual int RunAndWait(const char *program, const char *argument, int *error) = 0;
  virtual void Pause(DWORD milliseconds) = 0;

  // The dialog of an interactive run, with only the button that fits enabled ("Remove" when installed,
  // "Install" otherwise). Returns the button's identifier, IDCANCEL, or -1 when there is no dialog.
  virtual INT_PTR AskAction(bool installed) = 0;
  // A message box with an OK button; returns when it was closed.
  virtual void ShowMessage(const char *text) = 0;
};

#endif
