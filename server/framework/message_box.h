// Message boxes of the program: modal, with an OK button, owned by the active window and captioned with
// the application's title unless a caption is given.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_MESSAGE_BOX_H
#define RUNEFLOW_SERVER_FRAMEWORK_MESSAGE_BOX_H

#include <windows.h>

// Shows text; icon is one of the MB_ICON... styles, or 0 for none. Returns when the box was closed.
void ShowMessage(const char *text, UINT icon = 0, const char *caption = nullptr);
// Shows the program's string resource stringId (at most 1023 characters of it).
void ShowMessage(UINT stringId, UINT icon = 0, const char *caption = nullptr);

#endif
