// The flag character is one leading "/" or "-"; the object runtime's switches are compared without
// regard to letter case, as the runtime's own programs do.
#include "server/framework/command_line.h"

#include <windows.h>

void CCommandLine::Parse(int count, const char *const *arguments) {
  for (int index = 0; index < count; ++index) {
    const char *argument = arguments[index];
    bool flag = argument[0] == '/' || argument[0] == '-';
    ParseParam(flag ? argument + 1 : argument, flag, index == count - 1);
  }
}

void CCommandLine::ParseParam(const char *param, bool flag, bool) {
  if (flag && (lstrcmpiA(param, "Automation") == 0 || lstrcmpiA(param, "Embedding") == 0)) {
    m_startedByRuntime = true;
  }
}
