// winhelper: the Wine harness's hands on the desktop. Each command is one small job the test scripts
// cannot do from a shell; it prints what it saw on standard output and exits 0, or explains on standard
// error and exits 1 (2 for wrong usage).
//   winhelper press CAPTION BUTTON  wait for the window CAPTION, print its controls, press BUTTON and wait
//                                   for the window to close
//   winhelper idle                  do nothing until killed: keeps the prefix's desktop (and with it the
//                                   clipboard) alive for a whole test run
//   winhelper shortcut FILE         read the shell link FILE as the shell does and print what it holds
//   winhelper open FILE             open FILE as a double-click in Explorer does, and wait for the program
//                                   that this starts to end
//   winhelper run COMMAND_LINE      start a program by a whole command line, as Windows starts the
//                                   uninstall command of an installed program, wait for it to end and
//                                   print its exit code
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/windows/window_probe.h"

namespace {

const DWORD kWindowMs = 20000;  // a program under Wine may take seconds to show its first window

int Fail(const std::string &message) {
  std::fprintf(stderr, "winhelper: %s\n", message.c_str());
  return 1;
}

int Press(char **arguments) {
  std::string description, error;
  bool answered = AnswerWindow(arguments[0], arguments[1], kWindowMs, &description, &error);
  std::fputs(description.c_str(), stdout);
  return answered ? 0 : Fail(error);
}

int Shortcut(char **arguments) {
  if (FAILED(CoInitialize(nullptr))) return Fail("the object libraries cannot be initialised");
  IShellLinkA *link = nullptr;
  IPersistFile *file = nullptr;
  wchar_t path[MAX_PATH];
  bool loaded = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                           reinterpret_cast<void **>(&link))) &&
                SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file))) &&
                MultiByteToWideChar(CP_ACP, 0, arguments[0], -1, path, MAX_PATH) != 0 &&
                SUCCEEDED(file->Load(path, STGM_READ));
  if (loaded) {
    char target[MAX_PATH] = "", description[MAX_PATH] = "", parameters[MAX_PATH] = "";
    int show = 0;
    link->GetPath(target, MAX_PATH, nullptr, 0);
    link->GetDescription(description, MAX_PATH);
    link->GetArguments(parameters, MAX_PATH);
    link->GetShowCmd(&show);
    std::printf("target: %s\ndescription: %s\narguments: %s\nshow: %d\n", target, description, parameters,
                show);
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  return loaded ? 0 : Fail(std::string("cannot read the shell link ") + arguments[0]);
}

int Open(char **arguments) {
  SHELLEXECUTEINFOA open = {};
  open.cbSize = sizeof open;
  open.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  open.lpVerb = "open";
  open.lpFile = arguments[0];
  open.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExA(&open)) return Fail(std::string("cannot open ") + arguments[0]);
  if (open.hProcess != nullptr) {
    WaitForSingleObject(open.hProcess, INFINITE);
    CloseHandle(open.hProcess);
  }
  return 0;
}

int Run(char **arguments) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, arguments[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return Fail(std::string("cannot start ") + arguments[0]);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("exit code: %lu\n", code);
  return 0;
}

int Idle(char **) {
  Sleep(INFINITE);
  return 0;
}

struct Command {
  const char *name;
  int arguments;
  int (*run)(char **arguments);
  const char *usage;
};

const Command kCommands[] = {
    {"press", 2, Press, "press CAPTION BUTTON"}, {"idle", 0, Idle, "idle"},
    {"shortcut", 1, Shortcut, "shortcut FILE"},  {"open", 1, Open, "open FILE"},
    {"run", 1, Run, "run COMMAND_LINE"},
};

}  // namespace

int main(int argc, char **argv) {
  for (const Command &command : kCommands) {
    if (argc >= 2 && std::strcmp(argv[1], command.name) == 0 && argc - 2 == command.arguments) {
      return command.run(argv + 2);
    }
  }
  std::fprintf(stderr, "usage:\n");
  for (const Command &command : kCommands) std::fprintf(stderr, "  winhelper %s\n", command.usage);
  return 2;
}
