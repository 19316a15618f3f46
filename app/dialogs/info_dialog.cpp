#include "app/dialogs/info_dialog.h"

#include "app/dialogs/center_on_screen.h"

namespace {

INT_PTR CALLBACK InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterOnScreen(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowInfoDialog(HINSTANCE instance, HWND owner, int dialogId) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(dialogId), owner, InfoDialogProc, 0);
}
