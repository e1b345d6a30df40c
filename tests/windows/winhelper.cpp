// winhelper: the Wine harness's hands on the desktop. Each command is one small job the test scripts
// cannot do from a shell; it prints what it saw on standard output and exits 0, or explains on standard
// error and exits 1 (2 for wrong usage).
//   winhelper press CAPTION BUTTON  wait for the window CAPTION, print its controls, press BUTTON and wait
//                                   for the window to close
//   winhelper idle                  do nothing until killed: keeps the prefix's desktop (and with it the
//                                   clipboard) alive for a whole test run
#include <windows.h>

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
    {"press", 2, Press, "press CAPTION BUTTON"},
    {"idle", 0, Idle, "idle"},
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
