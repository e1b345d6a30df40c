// Setup's switches are compared without regard to letter case (ASCII letters only, whatever the user's
// locale), unlike the server's.
#include "setup/setup_command_line.h"

#include <string.h>

void CSetupCommandLine::ParseParam(const char *param, bool flag, bool last) {
  if (flag && last && _stricmp(param, "Install") == 0) {
    install = 1;
  } else if (flag && last && _stricmp(param, "Remove") == 0) {
    remove = 1;
  } else {
    ++syntaxErrors;
  }
}
