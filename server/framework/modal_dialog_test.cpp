// Tests of dialogs made from a template: made without a parent, controls enabled by identifier, and the
// end code of the modal loop chosen by the button handler or the cancel button.
#include "server/framework/modal_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/windows/window_probe.h"

namespace {

const int kTemplate = 200;  // in framework_test.rc: Cancel, "&First" (disabled) 1001, "Second" 1002
const DWORD kWindowMs = 20000;

// Enables "First" and ends the dialog with 1001 when it is clicked; "Second" is left to the base.
class CProbeDialog : public CModalDialog {
 public:
  explicit CProbeDialog(int templateId) : CModalDialog(templateId) {}

  bool hadParent = true;
  bool enabledFirst = false;
  bool enabledMissing = true;

 protected:
  void OnInitDialog() override {
    hadParent = GetParent(Handle()) != nullptr || GetWindow(Handle(), GW_OWNER) != nullptr;
    enabledFirst = EnableControl(1001, true);
    enabledMissing = EnableControl(4711, true);
  }
  void OnCommand(int id) override {
    if (id == 1001) {
      EndDialog(1001);
    } else {
      CModalDialog::OnCommand(id);
    }
  }
};

TEST(ModalDialog, EndsWithTheCodeOfTheButtonHandlerOrTheCancelCode) {
  struct Case {
    const char *what;
    std::vector<const char *> presses;
    INT_PTR code;
  } const cases[] = {
      {"a handled button", {"First"}, 1001},
      {"the cancel button", {"Cancel"}, IDCANCEL},
      {"an unhandled button leaves the dialog open", {"Second", "Cancel"}, IDCANCEL},
  };
  for (const Case &c : cases) {
    CProbeDialog dialog(kTemplate);
    std::vector<std::string> seen;
    std::thread user([&] {
      for (const char *button : c.presses) {
        HWND window = WaitForWindow("Probe dialog", kWindowMs);
        seen.push_back(window != nullptr ? DescribeControls(ReadControls(window)) : "");
        std::string error;
        if (window == nullptr || !PressButton(window, button, &error))
          ADD_FAILURE() << c.what << ": " << error;
        Sleep(200);  // let the press take effect before looking again
      }
    });
    EXPECT_EQ(c.code, dialog.DoModal()) << c.what;
    user.join();
    EXPECT_FALSE(dialog.hadParent) << c.what;
    EXPECT_TRUE(dialog.enabledFirst) << c.what;
    EXPECT_FALSE(dialog.enabledMissing) << c.what;
    ASSERT_FALSE(seen.empty()) << c.what;
    EXPECT_EQ("button: Cancel\nbutton: &First\nbutton: Second\nstatic: Probing the dialog\n", seen[0])
        << c.what;
  }
}

TEST(ModalDialog, AMissingTemplateGivesMinusOne) {
  CProbeDialog dialog(4711);
  EXPECT_EQ(-1, dialog.DoModal());
}

}  // namespace
