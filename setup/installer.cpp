// The installation and removal sequences. The shipped files are one table, in the order they are copied;
// what each copy does when its source is missing or its destination exists is part of the table.
#include "setup/installer.h"

#include <cstdarg>
#include <cstdio>

#include "setup/resource.h"

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Runeflow";
const char kDisplayName[] = "Cobbleway 1.0";
const char kUninstallString[] = "C:\\Program Files\\Cobbleway\\Setup.exe /Remove";
const char kProgramDirectory[] = "C:\\Program Files\\Cobbleway";

namespace {

const char kShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kServerName[] = "Cobbleway.exe";

// The files installed, in the order they are copied.
const ShippedFile kShippedFiles[] = {
    {"Setup.exe", "Setup.exe", kProgramFolder, true, kCannotInstall, kCannotInstall},
    {"Runeflow.dl_", "Runeflow.dll", kSystemFolder, false, kOwnMessage, kOwnMessage},
    // The framework's runtime of earlier releases: Setup no longer ships it, and one in place is
    // shared with other programs and kept.
    {"MFC40.dl_", "MFC40.dll", kSystemFolder, false, kNoFailure, kNoFailure},
    {"Cobbleway.hl_", "Cobbleway.hlp", kProgramFolder, false, kCannotInstall, kOwnMessage},
    {"Cobbleway.xl_", "Cobbleway.xlt", kProgramFolder, false, kCannotInstall, kCannotInstall},
    {"Cobbleway.ln_", "Cobbleway.lnk", kDesktopFolder, false, kCannotInstall, kCannotInstall},
    {"Cobbleway.ex_", "Cobbleway.exe", kWindowsFolder, false, kCannotInstall, kCannotInstall},
};

// The files removed, in that order, with their places.
const struct {
  const char *name;
  SetupFolder folder;
} kRemovedFiles[] = {
    {"Cobbleway.exe", kWindowsFolder}, {"Cobbleway.xlt", kProgramFolder}, {"Cobbleway.lnk", kDesktopFolder},
    {"Cobbleway.hlp", kProgramFolder}, {"Runeflow.dll", kSystemFolder},
};

}  // namespace

int CInstaller::Run(bool install, bool remove) {
  m_install = install;
  m_remove = remove;
  HKEY key;
  m_installed = m_system.OpenKey(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
  if (m_installed) m_system.CloseKey(key);
  if (!m_install && !m_remove) {
    INT_PTR choice = m_system.AskAction(m_installed);
    if (choice == IDC_INSTALL) {
      m_installChosen = true;
    } else if (choice == IDC_REMOVE) {
      m_removeChosen = true;
    } else {
      return choice == IDCANCEL ? 0 : 1;  // cancelled, or no dialog could be shown
    }
  }
  if (!m_system.CurrentDirectory(m_sourceDir, sizeof m_sourceDir)) m_sourceDir[0] = '\0';
  if (!m_system.WindowsDirectory(m_windowsDir, sizeof m_windowsDir)) m_windowsDir[0] = '\0';
  if (!m_system.SystemDirectory(m_systemDir, sizeof m_systemDir)) m_systemDir[0] = '\0';
  m_desktopError = m_system.OpenKey(HKEY_CURRENT_USER, kShellFoldersKey, KEY_READ, &key);
  if (m_desktopError == ERROR_SUCCESS) {
    m_desktopError = m_system.QueryString(key, "Desktop", m_desktopDir, sizeof m_desktopDir);
    m_system.CloseKey(key);
  }
  if (m_desktopError != ERROR_SUCCESS) m_desktopDir[0] = '\0';

  if ((m_install || m_installChosen) && !Install()) return 1;
  if ((m_remove || m_removeChosen) && !Remove()) return 1;
  return 0;
}

bool CInstaller::Install() {
  if (m_installed) return true;  // installed already: nothing to do, nothing to say
  HKEY key;
  if (m_system.CreateKey(HKEY_LOCAL_MACHINE, kUninstallKey, &key) != ERROR_SUCCESS) {
    if (m_installChosen) Report("Can't create uninstall information");
    return false;
  }
  bool written = m_system.SetString(key, "DisplayName", kDisplayName) == ERROR_SUCCESS;
  if (!written && m_installChosen) Report("Can't create uninstall information");
  if (written && m_system.SetString(key, "UninstallString", kUninstallString) != ERROR_SUCCESS) {
    Report("Can't create uninstall information");
    written = false;
  }
  m_system.CloseKey(key);
  if (!written) return false;

  DWORD error = m_system.MakeDirectory(kProgramDirectory);
  if (error != ERROR_SUCCESS && error != ERROR_ALREADY_EXISTS) {
    Report("Can't create %s: error %d", kProgramDirectory, static_cast<int>(error));
    return false;
  }
  for (const ShippedFile &file : kShippedFiles) {
    if (!CopyShipped(file)) return false;
  }
  if (!RunServer("/Install", true)) return false;
  Report("Cobbleway has been installed successfully");
  return true;
}

bool CInstaller::CopyShipped(const ShippedFile &file) {
  DWORD sourceError = Join(m_from, kSourceFolder, file.source);
  DWORD error = Join(m_to, file.folder, file.installed);
  if (error == ERROR_SUCCESS) error = sourceError;
  if (error == ERROR_SUCCESS) error = m_system.Copy(m_from, m_to, file.replace);
  if (error == ERROR_SUCCESS) return true;
  CopyOutcome outcome = error == ERROR_FILE_NOT_FOUND ? file.missingSource
                        : error == ERROR_FILE_EXISTS  ? file.existing
                                                      : kCannotInstall;
  if (outcome == kNoFailure) return true;
  if (outcome == kOwnMessage && error == ERROR_FILE_NOT_FOUND) {
    Report("File %s does't exists", m_from);
  } else if (outcome == kOwnMessage) {
    Report("File %s already exists", m_to);
  } else {
    Report("Can't install %s: error %d", m_to, static_cast<int>(error));
  }
  return false;
}

bool CInstaller::Remove() {
  if (!m_installed) return true;  // not installed: nothing to do, nothing to say
  if (m_system.DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey) != ERROR_SUCCESS) {
    if (m_removeChosen) Report("Can't remove uninstall information");
    return false;
  }
  if (!RunServer("/Remove", false)) return false;
  for (const auto &file : kRemovedFiles) {
    if (file.folder == kDesktopFolder && m_desktopDir[0] == '\0') continue;  // nowhere to look for it
    DWORD error = Join(m_to, file.folder, file.name);
    if (error == ERROR_SUCCESS) error = m_system.Delete(m_to);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
      Report("Can't remove %s: error %d", m_to, static_cast<int>(error));
      return false;
    }
  }
  Report("Cobbleway has been Removed successfully");
  return true;
}

bool CInstaller::RunServer(const char *argument, bool installing) {
  DWORD error = Join(m_from, kWindowsFolder, kServerName);
  if (error != ERROR_SUCCESS) {
    Report("Can't run %s: error %d", m_from, static_cast<int>(error));
    return false;
  }
  int runError = 0;
  int status = m_system.RunAndWait(m_from, argument, &runError);
  if (status == -1) {
    Report("Can't run %s: error %d", m_from, runError);
    return false;
  }
  if (installing && status != 0) {
    Report("Can't register %s: error %d", m_from, status);
    return false;
  }
  for (int poll = 1;; ++poll) {
    error = m_system.OpenForAppend(m_from);
    if (error == ERROR_SUCCESS) return true;
    if (poll == kReleasePolls) break;
    m_system.Pause(kReleasePollMs);
  }
  Report("%s is still in use after %d seconds: error %d", m_from,
         static_cast<int>(kReleasePolls * kReleasePollMs / 1000), static_cast<int>(error));
  return false;
}

DWORD CInstaller::Join(char *out, SetupFolder folder, const char *name) const {
  const char *directory = folder == kSourceFolder    ? m_sourceDir
                          : folder == kProgramFolder ? kProgramDirectory
                          : folder == kWindowsFolder ? m_windowsDir
                          : folder == kSystemFolder  ? m_systemDir
                                                     : m_desktopDir;
  if (directory[0] == '\0') {
    std::snprintf(out, kMaxPath, "%s", name);
    return folder == kDesktopFolder ? static_cast<DWORD>(m_desktopError) : ERROR_PATH_NOT_FOUND;
  }
  if (mergepath(out, directory, name, nullptr)) return ERROR_SUCCESS;
  std::snprintf(out, kMaxPath, "%s\\%s", directory, name);
  return ERROR_FILENAME_EXCED_RANGE;
}

void CInstaller::Report(const char *format, ...) {
  char text[2 * kMaxPath];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  m_system.ShowMessage(text);
}
