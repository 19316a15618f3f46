#include "app/dialogs/main_dialog.h"

#include "app/app_state.h"
#include "app/picture/banner.h"
#include "app/dialogs/center_on_screen.h"
#include "app/dialogs/help_dialog.h"
#include "app/message_text.h"
#include "app/picture/image_panel.h"
#include "resources/resource.h"

namespace {

// String 1, the description.
constexpr int kDescriptionBufferSize = kBuildTextBufferSize;
// The shutdown reason, string 9, in characters: the longest reason Windows keeps.
constexpr int kShutdownReasonBufferSize = MAX_STR_BLOCKREASON;

// Marks the main dialog for a second installer started meanwhile, which
// looks for it among the top-level windows.
constexpr char kMainDialogMark[] = "Lumora.Verdanelle.AddonSetup.Main";

// While a component is written, logging off would leave it half done: the
// session is asked to wait, with string 9 as the reason it shows. The
// reason goes when the run ends, whatever its result.
class ShutdownBlock {
 public:
  ShutdownBlock(HINSTANCE instance, HWND dialog) : dialog(dialog) {
    wchar_t reason[kShutdownReasonBufferSize] = {};
    if (LoadStringW(instance, IDS_SHUTDOWN_BLOCKED, reason, kShutdownReasonBufferSize) > 0)
      created = ShutdownBlockReasonCreate(dialog, reason) != FALSE;
  }
  ~ShutdownBlock() {
    if (created) ShutdownBlockReasonDestroy(dialog);
  }
  ShutdownBlock(const ShutdownBlock&) = delete;
  ShutdownBlock& operator=(const ShutdownBlock&) = delete;

 private:
  HWND dialog;
  bool created = false;
};

// What RunMainDialog hands the dialog; it lives as long as the dialog.
struct MainDialogData {
  HINSTANCE instance;
  const PanelPalette& palette;
  InstallFunction install;
};

const MainDialogData& DataOf(HWND dialog) {
  return *reinterpret_cast<const MainDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void OnInitDialog(HWND dialog, LPARAM data) {
  SetPropA(dialog, kMainDialogMark, dialog);
  SetWindowLongPtrA(dialog, DWLP_USER, data);
  CenterOnScreen(dialog);
  char description[kDescriptionBufferSize] = {};
  LoadText(DataOf(dialog).instance, IDS_DESCRIPTION, description, kDescriptionBufferSize);
  SetDlgItemTextA(dialog, IDC_DESCRIPTION, description);
  SetDlgItemTextA(dialog, IDC_BANNER, BannerText());
}

// "&Installieren". Messages are dispatched while the installation runs, so
// this procedure is re-entered: the busy flag and the disabled buttons keep
// that from closing the dialog or starting a second installation.
void RunInstallSequence(HWND dialog) {
  if (appState.busy) return;
  EnableWindow(GetDlgItem(dialog, IDC_INSTALL), FALSE);
  EnableWindow(GetDlgItem(dialog, IDC_CLOSE), FALSE);
  appState.busy = true;
  const MainDialogData& data = DataOf(dialog);
  {
    const ShutdownBlock block(data.instance, dialog);
    // On success the dialog closes once control is back in its loop.
    if (data.install != nullptr && data.install(data.instance, dialog)) EndDialog(dialog, 1);
  }
  EnableWindow(GetDlgItem(dialog, IDC_INSTALL), TRUE);
  EnableWindow(GetDlgItem(dialog, IDC_CLOSE), TRUE);
  SetFocus(GetDlgItem(dialog, IDC_INSTALL));
  appState.busy = false;
}

void OnCommand(HWND dialog, int id) {
  switch (id) {
    case IDCANCEL:
    case IDC_CLOSE:
      if (!appState.busy) EndDialog(dialog, 0);
      return;
    case IDC_INSTALL:
      RunInstallSequence(dialog);
      return;
    case IDC_HELP_BUTTON:
      ShowHelpDialog(DataOf(dialog).instance, dialog);
      return;
    default:
      return;
  }
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, lParam);
      return TRUE;  // focus goes to the first tab stop, "&Installieren"
    case WM_PAINT:
      // An uncovered part of the dialog is erased only when the default
      // painting begins, which would wipe the pictures drawn here: erase
      // first, so that the default painting finds nothing left to erase.
      RedrawWindow(dialog, nullptr, nullptr, RDW_ERASENOW | RDW_NOCHILDREN);
      PaintImagePanel(dialog, DataOf(dialog).palette);
      return FALSE;  // the default painting still runs and validates
    case WM_CTLCOLORSTATIC: {
      // The picture anchors are empty statics lying over the pictures' top
      // left corners, and the description reaches down over the banner's
      // top row; they paint after the dialog, and their background would
      // wipe those pixels out. A hollow brush leaves the pictures. (The
      // description is set once, so nothing old shows through its text.)
      const HWND control = reinterpret_cast<HWND>(lParam);
      if (control != GetDlgItem(dialog, IDC_BANNER_PICTURE_ANCHOR) &&
          control != GetDlgItem(dialog, IDC_FLOWER_PICTURE_ANCHOR) &&
          control != GetDlgItem(dialog, IDC_DESCRIPTION))
        return FALSE;
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    case WM_QUERYENDSESSION:
      // Busy: the session must wait (FALSE); idle: it may end.
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, appState.busy ? FALSE : TRUE);
      return TRUE;
    case WM_DESTROY:
      RemovePropA(dialog, kMainDialogMark);
      return FALSE;
    case WM_CLOSE:
      // Swallowed while busy; otherwise the default handling sends IDCANCEL.
      return appState.busy ? TRUE : FALSE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

bool RunMainDialog(HINSTANCE instance, const PanelPalette& palette, InstallFunction install) {
  MainDialogData data{instance, palette, install};
  // -1, a template that could not be shown, is no success either.
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                         reinterpret_cast<LPARAM>(&data)) == 1;
}

bool IsMainDialog(HWND window) { return GetPropA(window, kMainDialogMark) != nullptr; }
