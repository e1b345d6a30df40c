// CServerApplication: the application object of a program that serves automation objects. It withdraws
// the program's class factories from the object runtime as soon as the last lock is released (so that
// no client is handed an object of a program about to end) and lets go of the type library before the
// object libraries are uninitialised.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_SERVER_APPLICATION_H
#define RUNEFLOW_SERVER_FRAMEWORK_SERVER_APPLICATION_H

#include "server/framework/application.h"

class CServerApplication : public CApplication {
 public:
  explicit CServerApplication(const char *title) : CApplication(title) {}

 protected:
  void ExitInstance() override;
  void OnLastUnlock() override;
};

#endif
