#include "app/installer_program.h"

#include "app/app_state.h"
#include "app/dialogs/info_dialog.h"
#include "app/dialogs/main_dialog.h"
#include "app/picture/panel_palette.h"
#include "resources/resource.h"

AppState appState = {};

namespace {

// Run from a downloads folder, the program must not pick up DLLs planted
// beside it: load system DLLs from the system folder only. Looked up at run
// time because older systems lack the call.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (restrict != nullptr) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int RunInstaller(HINSTANCE instance, InstallFunction install) {
  RestrictDllSearch();
  appState.instance = instance;
  // Without the palette there is nothing to draw the pictures with, so
  // nothing is shown at all.
  if (InitPanelPalette(instance, IDB_BANNER, RGB(0, 0, 0)) != nullptr) {
    // Only a successful installation (1) leads to the success dialog; -1,
    // a template that could not be shown, does not.
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                        reinterpret_cast<LPARAM>(install)) == 1)
      DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SUCCESS), nullptr, InfoDialogProc, 0);
  }
  FreePanelPalette();
  return 0;
}
