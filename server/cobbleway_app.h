// CCobblewayApp: the Cobbleway program. Started by the object runtime it serves its two automation
// classes until the last object has gone; with "/Install" or "/Remove" it registers or unregisters them;
// otherwise it shows its about box. Either of those short runs exits right after its work.
#ifndef RUNEFLOW_SERVER_COBBLEWAY_APP_H
#define RUNEFLOW_SERVER_COBBLEWAY_APP_H

#include "server/framework/class_factory.h"
#include "server/framework/server_application.h"

class CCobblewayApp : public CServerApplication {
 public:
  CCobblewayApp();

 protected:
  // The start-up order: object libraries, command line, then serve, install, remove or about box.
  bool InitInstance() override;

 private:
  // Writes the registry entries of both classes and registers the type library. False on failure.
  static bool Install();
  // Removes the type library's registration and every class whose ProgID starts with "Runeflow.".
  // False when a class key had to be passed over.
  static bool Remove();
  // The about box: the program's version and the engine library's about text.
  static void ShowAbout();

  CClassFactory m_cobblewayFactory;  // "Runeflow.Cobbleway"
  CClassFactory m_streamFactory;     // "Runeflow.Stream"
};

#endif
