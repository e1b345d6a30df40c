// Tests of the server's application object: once the last lock of a server started by the object
// runtime is released, its factories are withdrawn from the runtime and refuse to make objects.
#include "server/framework/server_application.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include "server/framework/automation_object.h"
#include "server/framework/class_factory.h"
#include "server/framework/command_line.h"

namespace {

// A class of no library: the factory is only registered and withdrawn, never asked for an object.
const CLSID kClsid = {0x5eb1e5f0, 0x7d1b, 0x4c3e, {0x9a, 0x53, 0x1a, 0x57, 0x0b, 0x1e, 0xc0, 0xde}};

class CTestServer : public CServerApplication {
 public:
  CTestServer() : CServerApplication("Framework tests") {}

  bool registered = false;
  bool foundBefore = false;
  bool foundAfter = true;
  HRESULT creationAfter = S_OK;
  bool quitPosted = false;

 protected:
  bool InitInstance() override {
    if (!InitObjectLibraries()) return false;
    CCommandLine commandLine;
    const char *arguments[] = {"-Embedding"};
    ParseCommandLine(commandLine, 1, arguments);
    CClassFactory factory(kClsid, &CAutomationObject::classCAutomationObject, L"Runeflow.FrameworkTest");
    registered = SUCCEEDED(CClassFactory::RegisterAll());
    foundBefore = Registered();
    Lock();
    Unlock();
    foundAfter = Registered();
    void *object;
    creationAfter = factory.CreateInstance(nullptr, IID_IUnknown, &object);
    MSG message;
    quitPosted = PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    return false;
  }

 private:
  static bool Registered() {
    IClassFactory *factory;
    if (FAILED(CoGetClassObject(kClsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void **>(&factory)))) {
      return false;
    }
    factory->Release();
    return true;
  }
};

TEST(ServerApplication, TheLastUnlockWithdrawsTheFactoriesAndEndsTheServer) {
  CTestServer server;
  server.Run(GetModuleHandleA(nullptr));
  EXPECT_TRUE(server.registered);
  EXPECT_TRUE(server.foundBefore);
  EXPECT_FALSE(server.foundAfter);
  EXPECT_EQ(CO_E_SERVER_STOPPING, server.creationAfter);
  EXPECT_TRUE(server.quitPosted);
}

}  // namespace
