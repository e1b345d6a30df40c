// Cobbleway's own switches, after the framework's.
#include "server/cobbleway_command_line.h"

#include <cstring>

void CCobblewayCommandLine::ParseParam(const char *param, bool flag, bool last) {
  CCommandLine::ParseParam(param, flag, last);
  if (!flag || !last) return;
  if (std::strcmp(param, "Install") == 0) {
    install = 1;
  } else if (std::strcmp(param, "Remove") == 0) {
    remove = 1;
  }
}
