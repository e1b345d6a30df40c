// CSetupDialog: the dialog of an interactive run (template IDD_SETUP). It offers only the action that fits
// the machine, "Remove" when the system is installed and "Install" when it is not, besides "Cancel", and
// ends with the identifier of the button clicked.
#ifndef RUNEFLOW_SETUP_SETUP_DIALOG_H
#define RUNEFLOW_SETUP_SETUP_DIALOG_H

#include "server/framework/modal_dialog.h"

class CSetupDialog : public CModalDialog {
 public:
  explicit CSetupDialog(bool installed);

 protected:
  void OnInitDialog() override;
  void OnCommand(int id) override;

 private:
  bool m_installed;  // the uninstall key exists: "Remove" is offered
};

#endif
