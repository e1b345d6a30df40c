// Setup's entry point: the application object runs the program.
#include <windows.h>

#include "setup/setup_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CSetupApp application;
  return application.Run(instance);
}
