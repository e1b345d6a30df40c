// CSetupApp: the Setup program. All its work happens while it starts: it reads its command line, then
// installs or removes the system (CInstaller on the real machine) and ends without a main window.
#ifndef RUNEFLOW_SETUP_SETUP_APP_H
#define RUNEFLOW_SETUP_SETUP_APP_H

#include "server/framework/application.h"

class CSetupApp : public CApplication {
 public:
  CSetupApp() : CApplication("Setup") {}

 protected:
  // The command line (the syntax message once for each argument that is no last "/Install" or
  // "/Remove"), then the installer's run, whose result is the exit code. Always false: no message loop.
  bool InitInstance() override;
};

#endif
