// Tests of the application object: start-up with and without a message loop, the application lock
// that ends a server started by the object runtime, the hidden main window and the message boxes.
#include "server/framework/application.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "server/framework/command_line.h"
#include "server/framework/message_box.h"
#include "tests/windows/window_probe.h"

namespace {

const DWORD kWindowMs = 20000;

// An application whose initialisation is the test's.
class CTestApplication : public CApplication {
 public:
  explicit CTestApplication(std::function<bool(CTestApplication &)> init)
      : CApplication("Framework tests"), m_init(std::move(init)) {}

  using CApplication::CreateMainWindow;
  using CApplication::InitObjectLibraries;
  using CApplication::ParseCommandLine;
  using CApplication::SetExitCode;

 protected:
  bool InitInstance() override { return m_init(*this); }

 private:
  std::function<bool(CTestApplication &)> m_init;
};

// Runs show on this thread while another thread answers the window caption by pressing button;
// returns what that window showed.
std::string Answer(const char *caption, const char *button, const std::function<void()> &show) {
  std::string description, error;
  std::thread user([&] {
    if (!AnswerWindow(caption, button, kWindowMs, &description, &error)) ADD_FAILURE() << error;
  });
  show();
  user.join();
  return description;
}

TEST(Application, InitialisationEndsTheProgramOrRunsTheMessageLoop) {
  int calls = 0;
  CTestApplication ends([&](CTestApplication &application) {
    ++calls;
    application.SetExitCode(3);
    return false;
  });
  EXPECT_EQ(3, ends.Run(GetModuleHandleA(nullptr)));
  EXPECT_EQ(1, calls);

  CTestApplication loops([](CTestApplication &) {
    PostQuitMessage(7);
    return true;
  });
  EXPECT_EQ(7, loops.Run(GetModuleHandleA(nullptr)));
}

TEST(Application, TheLastUnlockEndsOnlyAServerStartedByTheObjectRuntime) {
  struct Case {
    const char *what;
    std::vector<const char *> arguments;
    bool ends;
  } const cases[] = {
      {"started with -Embedding", {"-Embedding"}, true},
      {"started with /Automation", {"/Automation"}, true},
      {"started by a user", {}, false},
      {"started to install", {"/Install"}, false},
  };
  for (const Case &c : cases) {
    bool endedEarly = true, ended = false, quitPosted = false;
    CTestApplication application([&](CTestApplication &self) {
      CCommandLine commandLine;
      self.ParseCommandLine(commandLine, static_cast<int>(c.arguments.size()), c.arguments.data());
      CApplication::Lock();
      CApplication::Lock();
      CApplication::Unlock();
      endedEarly = CApplication::IsEnding();
      CApplication::Unlock();
      CApplication::Unlock();  // one more than was locked: harmless
      ended = CApplication::IsEnding();
      MSG message;
      quitPosted = PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
      return false;
    });
    application.Run(GetModuleHandleA(nullptr));
    EXPECT_FALSE(endedEarly) << c.what;
    EXPECT_EQ(c.ends, ended) << c.what;
    EXPECT_EQ(c.ends, quitPosted) << c.what;
  }
  EXPECT_FALSE(CApplication::IsEnding()) << "without an application object";
}

TEST(Application, TheMainWindowIsAHiddenFrameWithoutMenu) {
  HWND seen = nullptr;
  CTestApplication application([&](CTestApplication &self) {
    EXPECT_TRUE(self.CreateMainWindow("Framework main window"));
    seen = self.MainWindow();
    EXPECT_EQ(seen, FindWindowA(nullptr, "Framework main window"));
    EXPECT_FALSE(IsWindowVisible(seen));
    EXPECT_EQ(nullptr, GetMenu(seen));
    EXPECT_EQ(static_cast<LONG>(WS_OVERLAPPEDWINDOW),
              GetWindowLongA(seen, GWL_STYLE) & static_cast<LONG>(WS_OVERLAPPEDWINDOW));
    return false;
  });
  application.Run(GetModuleHandleA(nullptr));
  ASSERT_NE(nullptr, seen);
  EXPECT_FALSE(IsWindow(seen)) << "destroyed when the program ends";
}

TEST(Application, MessageBoxesShowATextOrAStringResourceWithAnOkButton) {
  CTestApplication application([](CTestApplication &) { return false; });
  EXPECT_EQ(
      "window: Framework tests\n"
      "button: OK\n"
      "static: A message from the string table.  Two blanks above.\n",
      Answer("Framework tests", "OK", [] { ShowMessage(100); }));
  EXPECT_EQ(
      "window: About the tests\n"
      "icon: information\n"
      "button: OK\n"
      "static: first line\\nsecond line\n",
      Answer("About the tests", "OK",
             [] { ShowMessage("first line\nsecond line", MB_ICONINFORMATION, "About the tests"); }));
}

}  // namespace
