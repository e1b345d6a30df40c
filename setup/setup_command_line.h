// CSetupCommandLine: Setup's command line. The one argument "/Install" (or "-Install") installs and
// "/Remove" removes, in any letter case, and only as the last argument; every other argument is a
// syntax error, counted here so that the program shows its message once for each, and is otherwise
// ignored.
#ifndef RUNEFLOW_SETUP_SETUP_COMMAND_LINE_H
#define RUNEFLOW_SETUP_SETUP_COMMAND_LINE_H

#include "server/framework/command_line.h"

class CSetupCommandLine : public CCommandLine {
 public:
  void ParseParam(const char *param, bool flag, bool last) override;

  int install = 0;       // install without the dialog
  int remove = 0;        // remove without the dialog
  int syntaxErrors = 0;  // arguments that are neither a last "/Install" nor a last "/Remove"
};

#endif
