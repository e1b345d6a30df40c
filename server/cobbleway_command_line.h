// CCobblewayCommandLine: Cobbleway's command line. Besides the object runtime's switch it knows two of its
// own, "Install" and "Remove", which count only as a flag written exactly so (letter case counts) and as
// the last argument.
#ifndef RUNEFLOW_SERVER_COBBLEWAY_COMMAND_LINE_H
#define RUNEFLOW_SERVER_COBBLEWAY_COMMAND_LINE_H

#include "server/framework/command_line.h"

class CCobblewayCommandLine : public CCommandLine {
 public:
  // Gives the argument to the framework's parser first.
  void ParseParam(const char *param, bool flag, bool last) override;

  int install = 0;  // register the classes, then exit
  int remove = 0;   // unregister, then exit
};

#endif
