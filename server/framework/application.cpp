// Start-up, the message loop and the end of a program; the application lock decides when a program
// that the object runtime started has served its last object.
#include "server/framework/application.h"

#include <windows.h>

#include <ole2.h>

#include <cstdlib>

#include "server/framework/command_line.h"

CApplication *CApplication::s_pCurrent = nullptr;

CApplication::CApplication(const char *title)
    : m_title(title),
      m_instance(GetModuleHandleA(nullptr)),
      m_objectLibraries(false),
      m_startedByRuntime(false),
      m_ending(false),
      m_locks(0),
      m_exitCode(0) {
  s_pCurrent = this;
}

CApplication::~CApplication() {
  if (s_pCurrent == this) s_pCurrent = nullptr;
}

int CApplication::Run(HINSTANCE instance) {
  m_instance = instance;
  if (InitInstance()) {
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    m_exitCode = got == 0 ? static_cast<int>(message.wParam) : 1;
  }
  ExitInstance();
  m_mainWindow.Destroy();
  if (m_objectLibraries) OleUninitialize();
  m_objectLibraries = false;
  return m_exitCode;
}

bool CApplication::InitObjectLibraries() {
  if (!m_objectLibraries) m_objectLibraries = SUCCEEDED(OleInitialize(nullptr));
  return m_objectLibraries;
}

void CApplication::ParseCommandLine(CCommandLine &info) { ParseCommandLine(info, __argc - 1, __argv + 1); }

void CApplication::ParseCommandLine(CCommandLine &info, int count, const char *const *arguments) {
  info.Parse(count, arguments);
  m_startedByRuntime = info.m_startedByRuntime;
}

bool CApplication::CreateMainWindow(const char *title) { return m_mainWindow.Create(m_instance, title); }

void CApplication::Lock() {
  if (s_pCurrent != nullptr) ++s_pCurrent->m_locks;
}

void CApplication::Unlock() {
  CApplication *application = s_pCurrent;
  if (application == nullptr || application->m_locks == 0) return;
  if (--application->m_locks == 0 && application->m_startedByRuntime && !application->m_ending) {
    application->m_ending = true;
    application->OnLastUnlock();
  }
}

bool CApplication::IsEnding() { return s_pCurrent != nullptr && s_pCurrent->m_ending; }

void CApplication::OnLastUnlock() { PostQuitMessage(0); }
