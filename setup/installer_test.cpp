// Tests of the installation and removal sequences on a scripted machine: it writes down every operation
// Setup asks of it, as one line each, and fails the operation whose line a test names with the error the
// test gives. Each failure of the sequences must show its message (or stay silent where only an
// interactive run speaks) and end the run right there.
#include "setup/installer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "setup/resource.h"

namespace {

const char kSource[] = "C:\\pkg";
const char kWindows[] = "C:\\win";
const char kSystem[] = "C:\\win\\sys";
const char kDesktop[] = "C:\\desk";

class CScriptedSystem : public CSetupSystem {
 public:
  bool installed = false;     // the uninstall key exists
  INT_PTR answer = IDCANCEL;  // what the user does with the dialog
  std::string sourceDir = kSource;
  bool desktopKnown = true;              // the registry names the desktop folder
  int serverStatus = 0;                  // the server's exit status
  int busyOpens = 0;                     // how many append-opens fail before one succeeds (-1: all of them)
  std::map<std::string, long> failures;  // a line, and the error its operation fails with
  std::vector<std::string> log;          // every operation, in order

  LONG OpenKey(HKEY root, const char *path, REGSAM, HKEY *key) override {
    *key = root;
    LONG error = Do(Root(root) + path);
    if (error == ERROR_SUCCESS && root == HKEY_LOCAL_MACHINE && !installed) error = ERROR_FILE_NOT_FOUND;
    return error;
  }
  LONG CreateKey(HKEY root, const char *path, HKEY *key) override {
    *key = root;
    return Do("create " + Root(root) + path);
  }
  LONG SetString(HKEY, const char *name, const char *value) override {
    return Do(std::string("set ") + name + "=" + value);
  }
  LONG QueryString(HKEY, const char *name, char *value, DWORD size) override {
    LONG error = Do(std::string("query ") + name);
    if (error == ERROR_SUCCESS && !desktopKnown) error = ERROR_FILE_NOT_FOUND;
    if (error == ERROR_SUCCESS) snprintf(value, size, "%s", kDesktop);
    return error;
  }
  void CloseKey(HKEY) override { log.push_back("close"); }
  LONG DeleteKey(HKEY root, const char *path) override { return Do("delete " + Root(root) + path); }
  bool CurrentDirectory(char *path, size_t size) override {
    snprintf(path, size, "%s", sourceDir.c_str());
    return sourceDir.size() < size;
  }
  bool WindowsDirectory(char *path, size_t size) override { return snprintf(path, size, "%s", kWindows) > 0; }
  bool SystemDirectory(char *path, size_t size) override { return snprintf(path, size, "%s", kSystem) > 0; }
  DWORD MakeDirectory(const char *path) override { return Do(std::string("mkdir ") + path); }
  DWORD Copy(const char *from, const char *to, bool replace) override {
    return Do(std::string("copy ") + from + " " + to + (replace ? " (replace)" : ""));
  }
  DWORD Delete(const char *path) override { return Do(std::string("delete ") + path); }
  DWORD OpenForAppend(const char *path) override {
    Do(std::string("append-open ") + path);
    if (busyOpens == 0) return ERROR_SUCCESS;
    if (busyOpens > 0) --busyOpens;
    return ERROR_SHARING_VIOLATION;
  }
  int RunAndWait(const char *program, const char *argument, int *error) override {
    *error = static_cast<int>(Do(std::string("run ") + program + " " + argument));
    return *error != 0 ? -1 : serverStatus;
  }
  void Pause(DWORD milliseconds) override { log.push_back("pause " + std::to_string(milliseconds)); }
  INT_PTR AskAction(bool keyExists) override {
    log.push_back(keyExists ? "dialog: Remove" : "dialog: Install");
    return answer;
  }
  void ShowMessage(const char *text) override { log.push_back(std::string("message: ") + text); }

 private:
  static std::string Root(HKEY root) { return root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\"; }
  // Writes the line down and gives the error a test asked for, or ERROR_SUCCESS.
  long Do(const std::string &line) {
    log.push_back(line);
    auto failure = failures.find(line);
    return failure == failures.end() ? ERROR_SUCCESS : failure->second;
  }
};

const std::string kOpenUninstallKey =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Runeflow";
const std::vector<std::string> kFolders = {
    "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "query Desktop",
    "close",
};
const std::vector<std::string> kInstallation = {
    "create HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Runeflow",
    "set DisplayName=Cobbleway 1.0",
    "set UninstallString=C:\\Program Files\\Cobbleway\\Setup.exe /Remove",
    "close",
    "mkdir C:\\Program Files\\Cobbleway",
    "copy C:\\pkg\\Setup.exe C:\\Program Files\\Cobbleway\\Setup.exe (replace)",
    "copy C:\\pkg\\Runeflow.dl_ C:\\win\\sys\\Runeflow.dll",
    "copy C:\\pkg\\MFC40.dl_ C:\\win\\sys\\MFC40.dll",
    "copy C:\\pkg\\Cobbleway.hl_ C:\\Program Files\\Cobbleway\\Cobbleway.hlp",
    "copy C:\\pkg\\Cobbleway.xl_ C:\\Program Files\\Cobbleway\\Cobbleway.xlt",
    "copy C:\\pkg\\Cobbleway.ln_ C:\\desk\\Cobbleway.lnk",
    "copy C:\\pkg\\Cobbleway.ex_ C:\\win\\Cobbleway.exe",
    "run C:\\win\\Cobbleway.exe /Install",
    "append-open C:\\win\\Cobbleway.exe",
    "message: Cobbleway has been installed successfully",
};
const std::vector<std::string> kRemoval = {
    "delete HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Runeflow",
    "run C:\\win\\Cobbleway.exe /Remove",
    "append-open C:\\win\\Cobbleway.exe",
    "delete C:\\win\\Cobbleway.exe",
    "delete C:\\Program Files\\Cobbleway\\Cobbleway.xlt",
    "delete C:\\desk\\Cobbleway.lnk",
    "delete C:\\Program Files\\Cobbleway\\Cobbleway.hlp",
    "delete C:\\win\\sys\\Runeflow.dll",
    "message: Cobbleway has been Removed successfully",
};

std::vector<std::string> Joined(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> lines;
  for (const std::vector<std::string> &part : parts) lines.insert(lines.end(), part.begin(), part.end());
  return lines;
}

// The lines up to and including the first one that is line (all of them when there is none).
std::vector<std::string> UpTo(const std::vector<std::string> &lines, const std::string &line) {
  std::vector<std::string> head;
  for (const std::string &each : lines) {
    head.push_back(each);
    if (each == line) break;
  }
  return head;
}

TEST(Installer, WholeRunsInstallAndRemoveInTheirOrder) {
  struct Case {
    const char *what;
    bool installed, install, remove;
    INT_PTR answer;
    std::vector<std::string> log;
    int exitCode;
  } const cases[] = {
      {"/Install", false, true, false, IDCANCEL, Joined({{kOpenUninstallKey}, kFolders, kInstallation}), 0},
      {"/Remove", true, false, true, IDCANCEL, Joined({{kOpenUninstallKey, "close"}, kFolders, kRemoval}), 0},
      {"Install clicked", false, false, false, IDC_INSTALL,
       Joined({{kOpenUninstallKey, "dialog: Install"}, kFolders, kInstallation}), 0},
      {"Remove clicked", true, false, false, IDC_REMOVE,
       Joined({{kOpenUninstallKey, "close", "dialog: Remove"}, kFolders, kRemoval}), 0},
      {"Cancel ends the run", false, false, false, IDCANCEL, {kOpenUninstallKey, "dialog: Install"}, 0},
      {"a dialog that cannot be shown ends the run, never removes",
       true,
       false,
       false,
       -1,
       {kOpenUninstallKey, "close", "dialog: Remove"},
       1},
      {"/Install when installed does nothing and says nothing", true, true, false, IDCANCEL,
       Joined({{kOpenUninstallKey, "close"}, kFolders}), 0},
      {"/Remove when not installed does nothing and says nothing", false, false, true, IDCANCEL,
       Joined({{kOpenUninstallKey}, kFolders}), 0},
  };
  for (const Case &c : cases) {
    CScriptedSystem system;
    system.installed = c.installed;
    system.answer = c.answer;
    CInstaller installer(system);
    EXPECT_EQ(c.exitCode, installer.Run(c.install, c.remove)) << c.what;
    EXPECT_EQ(c.log, system.log) << c.what;
  }
}

TEST(Installer, EveryFailureShowsItsMessageWhereDueAndEndsTheRun) {
  const std::string none;  // no message
  struct Case {
    const char *what;
    bool interactive;  // clicked in the dialog, not given as a switch
    bool removing;
    std::string line;  // the operation that fails
    long error;
    std::string message;
  } const cases[] = {
      {"uninstall key, /Install: silent", false, false, kInstallation[0], ERROR_ACCESS_DENIED, none},
      {"uninstall key, clicked", true, false, kInstallation[0], ERROR_ACCESS_DENIED,
       "Can't create uninstall information"},
      {"DisplayName, /Install: silent", false, false, kInstallation[1], ERROR_ACCESS_DENIED, none},
      {"DisplayName, clicked", true, false, kInstallation[1], ERROR_ACCESS_DENIED,
       "Can't create uninstall information"},
      {"UninstallString, /Install: always", false, false, kInstallation[2], ERROR_ACCESS_DENIED,
       "Can't create uninstall information"},
      {"program directory", false, false, kInstallation[4], ERROR_ACCESS_DENIED,
       "Can't create C:\\Program Files\\Cobbleway: error 5"},
      {"Setup.exe", false, false, kInstallation[5], ERROR_FILE_NOT_FOUND,
       "Can't install C:\\Program Files\\Cobbleway\\Setup.exe: error 2"},
      {"Runeflow.dl_ missing", false, false, kInstallation[6], ERROR_FILE_NOT_FOUND,
       "File C:\\pkg\\Runeflow.dl_ does't exists"},
      {"Runeflow.dll in place", true, false, kInstallation[6], ERROR_FILE_EXISTS,
       "File C:\\win\\sys\\Runeflow.dll already exists"},
      {"Runeflow.dll, another error", false, false, kInstallation[6], ERROR_DISK_FULL,
       "Can't install C:\\win\\sys\\Runeflow.dll: error 112"},
      {"MFC40.dll, another error", false, false, kInstallation[7], ERROR_ACCESS_DENIED,
       "Can't install C:\\win\\sys\\MFC40.dll: error 5"},
      {"Cobbleway.hlp in place", false, false, kInstallation[8], ERROR_FILE_EXISTS,
       "File C:\\Program Files\\Cobbleway\\Cobbleway.hlp already exists"},
      {"Cobbleway.hl_ missing", false, false, kInstallation[8], ERROR_FILE_NOT_FOUND,
       "Can't install C:\\Program Files\\Cobbleway\\Cobbleway.hlp: error 2"},
      {"Cobbleway.xlt in place", false, false, kInstallation[9], ERROR_FILE_EXISTS,
       "Can't install C:\\Program Files\\Cobbleway\\Cobbleway.xlt: error 80"},
      {"Cobbleway.lnk", false, false, kInstallation[10], ERROR_ACCESS_DENIED,
       "Can't install C:\\desk\\Cobbleway.lnk: error 5"},
      {"Cobbleway.exe", false, false, kInstallation[11], ERROR_FILE_NOT_FOUND,
       "Can't install C:\\win\\Cobbleway.exe: error 2"},
      {"the server cannot be started", false, false, kInstallation[12], ENOENT,
       "Can't run C:\\win\\Cobbleway.exe: error 2"},
      {"uninstall key, /Remove: silent", false, true, kRemoval[0], ERROR_ACCESS_DENIED, none},
      {"uninstall key, clicked", true, true, kRemoval[0], ERROR_ACCESS_DENIED,
       "Can't remove uninstall information"},
      {"the server cannot be started to unregister", false, true, kRemoval[1], ENOENT,
       "Can't run C:\\win\\Cobbleway.exe: error 2"},
      {"a file that cannot be deleted", true, true, kRemoval[4], ERROR_ACCESS_DENIED,
       "Can't remove C:\\Program Files\\Cobbleway\\Cobbleway.xlt: error 5"},
  };
  for (const Case &c : cases) {
    CScriptedSystem system;
    system.installed = c.removing;
    system.answer = c.removing ? IDC_REMOVE : IDC_INSTALL;
    system.failures[c.line] = c.error;
    CInstaller installer(system);
    EXPECT_EQ(1, installer.Run(!c.interactive && !c.removing, !c.interactive && c.removing)) << c.what;
    std::vector<std::string> expected = UpTo(system.log, c.line);
    if (!c.message.empty()) expected.push_back("message: " + c.message);
    if (c.line == kInstallation[1] || c.line == kInstallation[2]) expected.push_back("close");  // the key
    EXPECT_EQ(expected, system.log) << c.what;
    EXPECT_EQ(c.line, UpTo(system.log, c.line).back()) << c.what << ": the operation was not reached";
  }
}

TEST(Installer, AnMFC40ThatIsNotShippedOrAlreadyInPlaceIsNoFailure) {
  for (long error : {ERROR_FILE_NOT_FOUND, ERROR_FILE_EXISTS}) {
    CScriptedSystem system;
    system.failures[kInstallation[7]] = error;
    CInstaller installer(system);
    EXPECT_EQ(0, installer.Run(true, false)) << error;
    EXPECT_EQ(Joined({{kOpenUninstallKey}, kFolders, kInstallation}), system.log) << error;
  }
}

TEST(Installer, FilesAlreadyGoneCountAsRemoved) {
  CScriptedSystem system;
  system.installed = true;
  for (int line : {3, 5, 7}) system.failures[kRemoval[line]] = ERROR_FILE_NOT_FOUND;
  CInstaller installer(system);
  EXPECT_EQ(0, installer.Run(false, true));
  EXPECT_EQ(Joined({{kOpenUninstallKey, "close"}, kFolders, kRemoval}), system.log);

  CScriptedSystem noDesktop;  // the shortcut cannot be looked for: the rest is removed
  noDesktop.installed = true;
  noDesktop.desktopKnown = false;
  CInstaller remover(noDesktop);
  EXPECT_EQ(0, remover.Run(false, true));
  std::vector<std::string> expected = Joined({{kOpenUninstallKey, "close"}, kFolders, kRemoval});
  expected.erase(std::find(expected.begin(), expected.end(), kRemoval[5]));
  EXPECT_EQ(expected, noDesktop.log);
}

TEST(Installer, WaitsForTheServersProgramFileEvery100MsWithinALimit) {
  struct Case {
    const char *what;
    bool removing;
    int busyOpens;
    int opens;            // append-opens expected
    std::string message;  // the last message
  } const cases[] = {
      {"released after three tries", false, 3, 4, "Cobbleway has been installed successfully"},
      {"released after three tries, removing", true, 3, 4, "Cobbleway has been Removed successfully"},
      {"released on the last try", false, kReleasePolls - 1, kReleasePolls,
       "Cobbleway has been installed successfully"},
      {"never released", false, -1, kReleasePolls,
       "C:\\win\\Cobbleway.exe is still in use after 60 seconds: error 32"},
      {"never released, removing: nothing is deleted", true, -1, kReleasePolls,
       "C:\\win\\Cobbleway.exe is still in use after 60 seconds: error 32"},
  };
  for (const Case &c : cases) {
    CScriptedSystem system;
    system.installed = c.removing;
    system.busyOpens = c.busyOpens;
    CInstaller installer(system);
    installer.Run(!c.removing, c.removing);
    int opens = 0, pauses = 0;
    bool deleted = false;
    for (const std::string &line : system.log) {
      opens += line == "append-open C:\\win\\Cobbleway.exe";
      pauses += line == "pause 100";
      deleted = deleted || (line.compare(0, 7, "delete ") == 0 && line.find("HKLM") == std::string::npos);
    }
    EXPECT_EQ(c.opens, opens) << c.what;
    EXPECT_EQ(c.opens - 1, pauses) << c.what;
    EXPECT_EQ("message: " + c.message, system.log.back()) << c.what;
    EXPECT_EQ(c.removing && c.busyOpens != -1, deleted) << c.what;
  }
}

TEST(Installer, AServerThatFailsToRegisterIsReportedButOneThatFailsToUnregisterIsNot) {
  CScriptedSystem installing;
  installing.serverStatus = 1;
  CInstaller installer(installing);
  EXPECT_EQ(1, installer.Run(true, false));
  EXPECT_EQ("message: Can't register C:\\win\\Cobbleway.exe: error 1", installing.log.back());
  EXPECT_EQ(kInstallation[12], installing.log[installing.log.size() - 2]);

  CScriptedSystem removing;
  removing.installed = true;
  removing.serverStatus = 1;
  CInstaller remover(removing);
  EXPECT_EQ(0, remover.Run(false, true));
  EXPECT_EQ(Joined({{kOpenUninstallKey, "close"}, kFolders, kRemoval}), removing.log);
}

TEST(Installer, PathsThatCannotBeFormedFailTheirCopyWithoutTouchingAnotherPlace) {
  struct Case {
    const char *what;
    std::string sourceDir;
    bool desktopKnown;
    std::string message;
  } const cases[] = {
      {"a source folder too long for a file name in it", "C:\\" + std::string(250, 's'), true,
       "Can't install C:\\Program Files\\Cobbleway\\Setup.exe: error 206"},
      {"no desktop folder in the registry", kSource, false, "Can't install Cobbleway.lnk: error 2"},
  };
  for (const Case &c : cases) {
    CScriptedSystem system;
    system.sourceDir = c.sourceDir;
    system.desktopKnown = c.desktopKnown;
    CInstaller installer(system);
    EXPECT_EQ(1, installer.Run(true, false)) << c.what;
    EXPECT_EQ("message: " + c.message, system.log.back()) << c.what;
    for (const std::string &line : system.log) {
      EXPECT_EQ(std::string::npos, line.find("copy C:\\pkg\\Cobbleway.ln_")) << c.what << ": " << line;
    }
  }
}

}  // namespace
