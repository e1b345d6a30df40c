// The caption comes from the application object; without one (as in tests) the box has the system's
// default caption.
#include "server/framework/message_box.h"

#include "server/framework/application.h"

void ShowMessage(const char *text, UINT icon, const char *caption) {
  CApplication *application = CApplication::Current();
  if (caption == nullptr && application != nullptr) caption = application->Title();
  MessageBoxA(GetActiveWindow(), text, caption, MB_OK | icon);
}

void ShowMessage(UINT stringId, UINT icon, const char *caption) {
  CApplication *application = CApplication::Current();
  char text[1024] = "";
  LoadStringA(application != nullptr ? application->Instance() : GetModuleHandleA(nullptr), stringId, text,
              sizeof text);
  ShowMessage(text, icon, caption);
}
