// CApplication: the program's one application object. Run is the program's start-up: it calls
// InitInstance once and, unless that returns false, runs the message loop of the program's one thread.
// The object also initialises the object libraries, parses the command line, owns the hidden main
// window, and holds the application lock that keeps a server alive while clients hold its objects.
// It needs nothing but Windows itself, so that a program without automation objects (an installer)
// links it without the engine.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_APPLICATION_H
#define RUNEFLOW_SERVER_FRAMEWORK_APPLICATION_H

#include <windows.h>

#include "server/framework/frame_window.h"

class CCommandLine;

class CApplication {
 public:
  // title is the caption of the program's message boxes. One application object exists at a time.
  explicit CApplication(const char *title);
  CApplication(const CApplication &) = delete;
  CApplication &operator=(const CApplication &) = delete;
  virtual ~CApplication();

  // Runs InitInstance once; when it returns false the program ends without a message loop, with the
  // exit code set by SetExitCode (0 unless set). Otherwise runs the message loop until the program is
  // asked to end. Then calls ExitInstance. Returns the program's exit code.
  int Run(HINSTANCE instance);

  // The application object, or null when there is none.
  static CApplication *Current() { return s_pCurrent; }
  HINSTANCE Instance() const { return m_instance; }
  const char *Title() const { return m_title; }
  // The hidden main window, or null before CreateMainWindow.
  HWND MainWindow() const { return m_mainWindow.Handle(); }

  // Application lock: while any lock is held the program keeps running; after the last unlock a
  // program started by the object runtime ends (OnLastUnlock). Both do nothing when there is no
  // application object.
  static void Lock();
  static void Unlock();
  // True once the program started ending after the last unlock: no new objects are made.
  static bool IsEnding();

 protected:
  // The program's initialisation; false ends the program at once.
  virtual bool InitInstance() = 0;
  // Called once when the program ends, while the object libraries are still initialised.
  virtual void ExitInstance() {}
  // A program started by the object runtime released its last lock: the base ends the message loop.
  virtual void OnLastUnlock();

  // Initialises the object libraries for the program's thread (undone when Run returns).
  bool InitObjectLibraries();
  // Hands every argument of the program's command line to info; remembers whether the object runtime
  // started the program.
  void ParseCommandLine(CCommandLine &info);
  // The same with the count arguments given (without the program's name).
  void ParseCommandLine(CCommandLine &info, int count, const char *const *arguments);
  // Creates the hidden main window with the given title.
  bool CreateMainWindow(const char *title);
  void SetExitCode(int code) { m_exitCode = code; }

 private:
  const char *m_title;        // caption of message boxes
  HINSTANCE m_instance;       // the program's module, for its resources
  CFrameWindow m_mainWindow;  // hidden; exists only when created
  bool m_objectLibraries;     // InitObjectLibraries succeeded
  bool m_startedByRuntime;    // the command line held the object runtime's switch
  bool m_ending;              // the last lock of a program started by the runtime was released
  int m_locks;                // application locks held
  int m_exitCode;             // exit code when InitInstance returns false
  static CApplication *s_pCurrent;
};

#endif
