// addon-setup.exe: installs the add-on components this build carries.
#include <windows.h>

#include "app/app_state.h"
#include "app/info_dialog.h"
#include "app/main_dialog.h"
#include "app/panel_palette.h"
#include "resources/resource.h"

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

// Takes no arguments and always ends with exit code 0: the user sees every
// outcome in the dialogs.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  appState.instance = instance;
  // Without the palette there is nothing to draw the pictures with, so
  // nothing is shown at all.
  appState.palette = InitPanelPalette(instance, IDB_BANNER, RGB(0, 0, 0));
  if (appState.palette != nullptr) {
    // Only a successful installation (1) leads to the success dialog; -1,
    // a template that could not be shown, does not.
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0) == 1)
      DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SUCCESS), nullptr, InfoDialogProc, 0);
  }
  FreePanelPalette();
  return 0;
}
