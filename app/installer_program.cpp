#include "app/installer_program.h"

#include "app/app_state.h"
#include "app/dialogs/info_dialog.h"
#include "app/dialogs/main_dialog.h"
#include "app/install/recovery.h"
#include "app/picture/panel_palette.h"
#include "resources/resource.h"

AppState appState = {};

namespace {

// Held for the whole run, so that a second installer started meanwhile
// knows of this one. Per session: a second user's installer waits for
// nothing it could not see.
constexpr char kInstanceMutexName[] = "Local\\Lumora.Verdanelle.AddonSetup";

// Run from a downloads folder, the program must not pick up DLLs planted
// beside it: load system DLLs from the system folder only. Looked up at run
// time because older systems lack the call; there, at least the current
// folder (where the package lies) leaves the search.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto restrict = kernel == nullptr
                      ? nullptr
                      : reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                            GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (restrict == nullptr || !restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryA("");
}

// Closes the instance mutex when the run ends, however it ends.
class InstanceMutex {
 public:
  InstanceMutex() : handle(CreateMutexA(nullptr, FALSE, kInstanceMutexName)) {
    alreadyRunning = handle != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  }
  ~InstanceMutex() {
    if (handle != nullptr) CloseHandle(handle);
  }
  InstanceMutex(const InstanceMutex&) = delete;
  InstanceMutex& operator=(const InstanceMutex&) = delete;
  bool AlreadyRunning() const { return alreadyRunning; }

 private:
  HANDLE handle;
  bool alreadyRunning = false;
};

BOOL CALLBACK BringMainDialogForward(HWND window, LPARAM) {
  if (!IsMainDialog(window)) return TRUE;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  // The chooser or a message may be open over it: that one takes the input.
  SetForegroundWindow(GetLastActivePopup(window));
  return FALSE;
}

}  // namespace

int RunInstaller(HINSTANCE instance, InstallFunction install) {
  RestrictDllSearch();
  // Two installers at once would write the same files: the second one only
  // brings the first one's dialog to the front.
  const InstanceMutex instanceMutex;
  if (instanceMutex.AlreadyRunning()) {
    EnumWindows(BringMainDialogForward, 0);
    return 0;
  }
  appState.instance = instance;
  // What a run cut off on its way left, now that no other run can be using it.
  RecoverCutOffRuns(instance);
  // Without the palette there is nothing to draw the pictures with, so
  // nothing is shown at all.
  if (InitPanelPalette(instance, IDB_BANNER, RGB(0, 0, 0)) != nullptr) {
    // Only a successful installation leads to the success dialog.
    if (RunMainDialog(instance, install)) ShowInfoDialog(instance, nullptr, IDD_SUCCESS);
  }
  FreePanelPalette();
  return 0;
}
