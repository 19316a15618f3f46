#include "app/dialogs/help_dialog.h"

#include "app/dialogs/center_on_screen.h"
#include "app/install/resource_blob.h"
#include "resources/resource.h"

namespace {

INT_PTR CALLBACK HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      // The copy carries the terminating zero that the resource lacks.
      const ResourceBlob text(reinterpret_cast<HINSTANCE>(lParam), IDR_HELP_TEXT, RT_RCDATA);
      CenterOnScreen(dialog);
      const unsigned char* bytes = nullptr;
      uint32_t size = 0;
      if (text.GetData(&bytes, &size)) SetDlgItemTextA(dialog, IDC_HELP_TEXT, reinterpret_cast<const char*>(bytes));
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowHelpDialog(HINSTANCE instance, HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_HELP), owner, HelpDialogProc,
                  reinterpret_cast<LPARAM>(instance));
}
