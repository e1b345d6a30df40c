// Both action buttons are disabled in the template; one of them is enabled here.
#include "setup/setup_dialog.h"

#include "setup/resource.h"

CSetupDialog::CSetupDialog(bool installed) : CModalDialog(IDD_SETUP), m_installed(installed) {}

void CSetupDialog::OnInitDialog() { EnableControl(m_installed ? IDC_REMOVE : IDC_INSTALL, true); }

void CSetupDialog::OnCommand(int id) {
  if (id == IDC_INSTALL || id == IDC_REMOVE) {
    EndDialog(id);
  } else {
    CModalDialog::OnCommand(id);
  }
}
