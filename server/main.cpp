// Cobbleway's entry point: the application object runs the program.
#include <windows.h>

#include "server/cobbleway_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CCobblewayApp application;
  return application.Run(instance);
}
