// The end of an automation server: first the factories go, then the type library.
#include "server/framework/server_application.h"

#include "server/framework/class_factory.h"
#include "server/framework/type_library.h"

void CServerApplication::ExitInstance() {
  CClassFactory::RevokeAll();
  CTypeLibrary::Release();
}

void CServerApplication::OnLastUnlock() {
  CClassFactory::RevokeAll();
  CApplication::OnLastUnlock();
}
