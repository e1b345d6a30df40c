// CInstaller: what Setup does once its command line is read: it finds out whether the system is installed
// (the uninstall key), asks the user when no switch was given, then installs or removes. Installing writes
// the uninstall key, copies the shipped files from the folder Setup was started in to their places and
// has the server register itself; removing undoes this in the reverse direction. Every failure shows its
// message (some only in an interactive run) and ends the run; nothing done before it is undone.
#ifndef RUNEFLOW_SETUP_INSTALLER_H
#define RUNEFLOW_SETUP_INSTALLER_H

#include <windows.h>

#include "common/mergepath.h"
#include "setup/setup_system.h"

// The machine-wide uninstall key and its two values, and the folder of the program.
extern const char kUninstallKey[];
extern const char kDisplayName[];
extern const char kUninstallString[];
extern const char kProgramDirectory[];
// How often and how long Setup waits for the server's program file to be released.
const DWORD kReleasePollMs = 100;
const int kReleasePolls = 600;

// The places files go to, and the one they come from.
enum SetupFolder { kSourceFolder, kProgramFolder, kWindowsFolder, kSystemFolder, kDesktopFolder };
// What a failed copy with a missing source (error 2) or an existing destination (error 80) means.
enum CopyOutcome {
  kCannotInstall,  // "Can't install %s: error %d" with the destination, as for any other error
  kOwnMessage,     // a message of its own, naming the missing source or the existing destination
  kNoFailure,      // the file is not shipped, or the one in place is kept
};
// One file Setup installs.
struct ShippedFile {
  const char *source;     // its name in the source folder
  const char *installed;  // its name in its place
  SetupFolder folder;     // its place
  bool replace;           // an existing destination is overwritten
  CopyOutcome missingSource;
  CopyOutcome existing;
};

class CInstaller {
 public:
  explicit CInstaller(CSetupSystem &system) : m_system(system) {}
  CInstaller(const CInstaller &) = delete;
  CInstaller &operator=(const CInstaller &) = delete;

  // Runs Setup with the command line's flags (at most one set; neither: the dialog decides). Returns the
  // program's exit code: 0 when it did what was asked or there was nothing to do, 1 after a failure.
  int Run(bool install, bool remove);

 private:
  bool Install();
  bool Remove();
  // Copies one shipped file to its place; false after a failure (its message shown).
  bool CopyShipped(const ShippedFile &file);
  // Starts the server with argument and waits for it to end, then for its program file to be released.
  // installing: a server that ends with a status other than 0 has failed to register. False after a
  // failure (its message shown).
  bool RunServer(const char *argument, bool installing);
  // Joins the folder and a file name into out (kMaxPath bytes) with mergepath, without a default
  // extension. A path that cannot be formed gives ERROR_FILENAME_EXCED_RANGE, with the plain
  // concatenation (cut to fit) in out for the messages; a folder that is unknown gives its own error.
  DWORD Join(char *out, SetupFolder folder, const char *name) const;
  // Shows the message made from format and its arguments.
  void Report(const char *format, ...);

  CSetupSystem &m_system;
  bool m_install = false;               // "/Install" was given
  bool m_remove = false;                // "/Remove" was given
  bool m_installChosen = false;         // "Install" was clicked
  bool m_removeChosen = false;          // "Remove" was clicked
  bool m_installed = false;             // the uninstall key existed when Setup started
  char m_sourceDir[kMaxPath] = "";      // the current directory when Setup started
  char m_windowsDir[kMaxPath] = "";     // the Windows directory
  char m_systemDir[kMaxPath] = "";      // the Windows system directory
  char m_desktopDir[kMaxPath] = "";     // the user's desktop folder, as the registry names it
  LONG m_desktopError = ERROR_SUCCESS;  // why the desktop folder is unknown, when it is
  char m_from[kMaxPath] = "";           // the path a file is copied from, or the program started
  char m_to[kMaxPath] = "";             // the path a file is copied to, or deleted
};

#endif
