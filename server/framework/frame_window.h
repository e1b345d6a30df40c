// CFrameWindow: the program's main window. It is a top-level window with the standard overlapped style,
// default position and size and no menu, and it is never shown: it gives the program a window of its
// own, for example as the owner of the clipboard.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_FRAME_WINDOW_H
#define RUNEFLOW_SERVER_FRAMEWORK_FRAME_WINDOW_H

#include <windows.h>

class CFrameWindow {
 public:
  CFrameWindow() = default;
  CFrameWindow(const CFrameWindow &) = delete;
  CFrameWindow &operator=(const CFrameWindow &) = delete;
  ~CFrameWindow() { Destroy(); }

  // Creates the hidden window with title (replacing one created before). False when that fails.
  bool Create(HINSTANCE instance, const char *title);
  // Destroys the window, if there is one.
  void Destroy();
  // The window, or null when there is none.
  HWND Handle() const { return m_window; }

 private:
  HWND m_window = nullptr;  // owned
};

#endif
