// CModalDialog: a dialog made from a template of the program's resources, created without a parent and
// run as a modal loop. It ends with the code a button handler gives to EndDialog, or with IDCANCEL
// when its cancel button is pressed (or Escape); a program derives from it to handle its buttons.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_MODAL_DIALOG_H
#define RUNEFLOW_SERVER_FRAMEWORK_MODAL_DIALOG_H

#include <windows.h>

class CModalDialog {
 public:
  explicit CModalDialog(int templateId) : m_templateId(templateId) {}
  CModalDialog(const CModalDialog &) = delete;
  CModalDialog &operator=(const CModalDialog &) = delete;
  virtual ~CModalDialog() = default;

  // Creates the dialog and runs it until it ends; returns its end code, or -1 when it could not be
  // created.
  INT_PTR DoModal();

 protected:
  // Called once the dialog and its controls exist, before it is shown.
  virtual void OnInitDialog() {}
  // A button (or a control sending a command) with identifier id was clicked. The base ends the dialog
  // with IDCANCEL for the cancel button and does nothing for the others.
  virtual void OnCommand(int id);

  // Ends the modal loop with code.
  void EndDialog(INT_PTR code);
  // Enables or disables the control id; false when the dialog has no such control.
  bool EnableControl(int id, bool enable);
  // The dialog's window, while it runs.
  HWND Handle() const { return m_window; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  int m_templateId;         // dialog resource of the program
  HWND m_window = nullptr;  // while the dialog runs
};

#endif
