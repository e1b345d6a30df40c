// The main window's class is registered once per program; its window procedure is the default one.
#include "server/framework/frame_window.h"

namespace {
const char kWindowClass[] = "RuneflowFrameWindow";
}  // namespace

bool CFrameWindow::Create(HINSTANCE instance, const char *title) {
  Destroy();
  WNDCLASSA windowClass = {};
  if (!GetClassInfoA(instance, kWindowClass, &windowClass)) {
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassA(&windowClass) == 0) return false;
  }
  m_window = CreateWindowA(kWindowClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  return m_window != nullptr;
}

void CFrameWindow::Destroy() {
  if (m_window != nullptr) DestroyWindow(m_window);
  m_window = nullptr;
}
