// The dialog procedure finds the CModalDialog through the window's user data, set when the dialog is
// initialised; messages before that are left to the system.
#include "server/framework/modal_dialog.h"

#include "server/framework/application.h"

INT_PTR CModalDialog::DoModal() {
  CApplication *application = CApplication::Current();
  HINSTANCE instance = application != nullptr ? application->Instance() : GetModuleHandleA(nullptr);
  INT_PTR code = DialogBoxParamA(instance, MAKEINTRESOURCEA(m_templateId), nullptr, &CModalDialog::DialogProc,
                                 reinterpret_cast<LPARAM>(this));
  m_window = nullptr;
  return code;
}

void CModalDialog::OnCommand(int id) {
  if (id == IDCANCEL) EndDialog(IDCANCEL);
}

void CModalDialog::EndDialog(INT_PTR code) { ::EndDialog(m_window, code); }

bool CModalDialog::EnableControl(int id, bool enable) {
  HWND control = GetDlgItem(m_window, id);
  if (control == nullptr) return false;
  EnableWindow(control, enable ? TRUE : FALSE);
  return true;
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    CModalDialog *dialog = reinterpret_cast<CModalDialog *>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    dialog->m_window = window;
    dialog->OnInitDialog();
    return TRUE;
  }
  CModalDialog *dialog = reinterpret_cast<CModalDialog *>(GetWindowLongPtrA(window, DWLP_USER));
  if (dialog != nullptr && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    dialog->OnCommand(LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}
