// Cobbleway's start-up, registration and about box. The exit code of the short runs is 0 when their
// work succeeded and 1 when it did not; they report nothing else.
#include "server/cobbleway_app.h"

#include <cstdio>

#include "engine/stream/about.h"
#include "server/cobbleway_a.h"
#include "server/cobbleway_command_line.h"
#include "server/framework/message_box.h"
#include "server/framework/type_library.h"
#include "server/registration.h"
#include "server/resource.h"
#include "server/stream_a.h"

namespace {
const char kProgramVersion[] = "1.0";
}  // namespace

CCobblewayApp::CCobblewayApp()
    : CServerApplication("Cobbleway"),
      m_cobblewayFactory(CLSID_Cobbleway, &CCobblewayA::classCCobblewayA, L"Runeflow.Cobbleway"),
      m_streamFactory(CLSID_Stream, &CStreamA::classCStreamA, L"Runeflow.Stream") {}

bool CCobblewayApp::InitInstance() {
  if (!InitObjectLibraries()) {
    ShowMessage(IDP_OLE_INIT_FAILED);
    SetExitCode(1);
    return false;
  }
  CCobblewayCommandLine commandLine;
  ParseCommandLine(commandLine);
  if (commandLine.m_startedByRuntime) {
    if (CreateMainWindow("Cobbleway") && SUCCEEDED(CClassFactory::RegisterAll())) return true;
    SetExitCode(1);
    return false;
  }
  if (commandLine.install) {
    SetExitCode(Install() ? 0 : 1);
  } else if (commandLine.remove) {
    SetExitCode(Remove() ? 0 : 1);
  } else {
    ShowAbout();
  }
  return false;
}

bool CCobblewayApp::Install() {
  return SUCCEEDED(CClassFactory::UpdateRegistryAll(HKEY_CLASSES_ROOT)) &&
         SUCCEEDED(CTypeLibrary::Register());
}

bool CCobblewayApp::Remove() {
  CTypeLibrary::Unregister();  // a library that was not registered is no failure of the removal
  return UnregisterClasses(HKEY_CLASSES_ROOT, L"Runeflow");
}

void CCobblewayApp::ShowAbout() {
  char text[256];
  std::snprintf(text, sizeof text, "Cobbleway %s\nPowered by %s", kProgramVersion, AboutMsg());
  ShowMessage(text, MB_ICONINFORMATION, "About Cobbleway");
}
