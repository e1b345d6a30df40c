// Setup's start-up order: command line, then the installer's run on the real machine.
#include "setup/setup_app.h"

#include "server/framework/message_box.h"
#include "setup/installer.h"
#include "setup/setup_command_line.h"
#include "setup/windows_system.h"

bool CSetupApp::InitInstance() {
  CSetupCommandLine commandLine;
  ParseCommandLine(commandLine);
  for (int shown = 0; shown < commandLine.syntaxErrors; ++shown)
    ShowMessage("Syntax: Setup /{Install | Remove}");
  CWindowsSystem system;
  CInstaller installer(system);
  SetExitCode(installer.Run(commandLine.install != 0, commandLine.remove != 0));
  return false;
}
