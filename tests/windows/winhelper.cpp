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
//   winhelper clipboard-put FORMAT DATA [FORMAT DATA]...
//                                   empty the clipboard and put each DATA under FORMAT, byte for byte
//                                   (a text wants its ending zero written as \x00)
//   winhelper clipboard-get FORMAT...
//                                   print "FORMAT: TEXT" for each FORMAT, TEXT being its data up to the
//                                   first zero byte, or "FORMAT: (none)" when the clipboard lacks it
//   winhelper clipboard-hold READY RELEASE
//                                   open the clipboard (so that no other program can), create the file
//                                   READY, and close the clipboard once the file RELEASE exists (at
//                                   most 60 s)
// A FORMAT is a format number (1 is the standard text format) or the name of a registered format; DATA
// and TEXT are escaped as EscapeText writes them (\n, \\, \xHH), so that any bytes fit.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/windows/window_probe.h"

namespace {

const DWORD kWindowMs = 20000;  // a program under Wine may take seconds to show its first window
const DWORD kHoldMs = 60000;    // the longest the clipboard is held open
const DWORD kPollMs = 50;

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

// The format a FORMAT argument names: digits give a number, anything else a registered name.
UINT FormatNamed(const char *format) {
  char *end;
  unsigned long number = std::strtoul(format, &end, 10);
  if (*format != '\0' && *end == '\0') return static_cast<UINT>(number);
  return RegisterClipboardFormatA(format);
}

// The clipboard, opened with a hidden window of this program as its owner (data is put on it only
// with an owner) and closed again.
class OpenedClipboard {
 public:
  OpenedClipboard()
      : owner_(CreateWindowA("STATIC", "winhelper", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)),
        open_(owner_ != nullptr && OpenClipboard(owner_)) {}
  OpenedClipboard(const OpenedClipboard &) = delete;
  OpenedClipboard &operator=(const OpenedClipboard &) = delete;
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
    if (owner_ != nullptr) DestroyWindow(owner_);
  }
  bool IsOpen() const { return open_; }

 private:
  HWND owner_;  // a hidden window of this program, destroyed with the object
  bool open_;   // the clipboard is open and is closed by the destructor
};

int PutOnClipboard(char **arguments) {
  OpenedClipboard clipboard;
  if (!clipboard.IsOpen()) return Fail("the clipboard cannot be opened");
  if (!EmptyClipboard()) return Fail("the clipboard cannot be emptied");
  for (; arguments[0] != nullptr; arguments += 2) {
    std::string bytes;
    if (!UnescapeText(arguments[1], &bytes)) return Fail(std::string("bad escape in ") + arguments[1]);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    void *data = block != nullptr ? GlobalLock(block) : nullptr;
    if (data == nullptr && !bytes.empty()) return Fail("no memory");
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    if (data != nullptr) GlobalUnlock(block);
    UINT format = FormatNamed(arguments[0]);
    if (format == 0 || SetClipboardData(format, block) == nullptr) {
      GlobalFree(block);
      return Fail(std::string("cannot put ") + arguments[0]);
    }
  }
  return 0;
}

int GetFromClipboard(char **arguments) {
  OpenedClipboard clipboard;
  if (!clipboard.IsOpen()) return Fail("the clipboard cannot be opened");
  for (; arguments[0] != nullptr; ++arguments) {
    UINT format = FormatNamed(arguments[0]);
    HANDLE data = format != 0 && IsClipboardFormatAvailable(format) ? GetClipboardData(format) : nullptr;
    std::string text = "(none)";
    if (data != nullptr) {
      const char *bytes = static_cast<const char *>(GlobalLock(data));
      SIZE_T size = bytes != nullptr ? GlobalSize(data) : 0;
      std::string whole(size > 0 ? bytes : "", size);
      text = EscapeText(whole.substr(0, whole.find('\0')));
      if (bytes != nullptr) GlobalUnlock(data);
    }
    std::printf("%s: %s\n", arguments[0], text.c_str());
  }
  return 0;
}

int HoldClipboard(char **arguments) {
  OpenedClipboard clipboard;
  if (!clipboard.IsOpen()) return Fail("the clipboard cannot be opened");
  FILE *ready = std::fopen(arguments[0], "w");
  if (ready == nullptr) return Fail(std::string("cannot create ") + arguments[0]);
  std::fclose(ready);
  for (DWORD waited = 0; GetFileAttributesA(arguments[1]) == INVALID_FILE_ATTRIBUTES; waited += kPollMs) {
    if (waited >= kHoldMs) return Fail(std::string("no ") + arguments[1]);
    Sleep(kPollMs);
  }
  return 0;
}

int Idle(char **) {
  Sleep(INFINITE);
  return 0;
}

struct Command {
  const char *name;
  int arguments;
  int (*run)(char **arguments);  // the arguments end with a null
  const char *usage;
  bool repeated = false;  // the arguments come in groups of that many, one group or more
};

const Command kCommands[] = {
    {"press", 2, Press, "press CAPTION BUTTON"},
    {"idle", 0, Idle, "idle"},
    {"shortcut", 1, Shortcut, "shortcut FILE"},
    {"open", 1, Open, "open FILE"},
    {"run", 1, Run, "run COMMAND_LINE"},
    {"clipboard-put", 2, PutOnClipboard, "clipboard-put FORMAT DATA [FORMAT DATA]...", true},
    {"clipboard-get", 1, GetFromClipboard, "clipboard-get FORMAT...", true},
    {"clipboard-hold", 2, HoldClipboard, "clipboard-hold READY RELEASE"},
};

}  // namespace

int main(int argc, char **argv) {
  for (const Command &command : kCommands) {
    if (argc < 2 || std::strcmp(argv[1], command.name) != 0) continue;
    int count = argc - 2;
    bool fits = command.repeated ? count > 0 && count % command.arguments == 0 : count == command.arguments;
    if (fits) return command.run(argv + 2);
  }
  std::fprintf(stderr, "usage:\n");
  for (const Command &command : kCommands) std::fprintf(stderr, "  winhelper %s\n", command.usage);
  return 2;
}
