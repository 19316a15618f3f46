#include "app/installer_program.h"

#include "app/app_state.h"
#include "app/dialogs/info_dialog.h"
#include "app/dialogs/main_dialog.h"
#include "app/install/recovery.h"
#include "app/instance_lock.h"
#include "app/message_text.h"
#include "app/picture/panel_palette.h"
#include "resources/resource.h"

AppState appState = {};

namespace {

// The message and caption of the note about the lock, in characters.
constexpr int kMessageBufferSize = 200;

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

BOOL CALLBACK BringMainDialogForward(HWND window, LPARAM) {
  if (!IsMainDialog(window)) return TRUE;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  // The chooser or a message may be open over it: that one takes the input.
  SetForegroundWindow(GetLastActivePopup(window));
  return FALSE;
}

// Says that the single-instance lock cannot be made (string 11, caption
// string 20).
void ShowLockUnavailable(HINSTANCE instance) {
  char text[kMessageBufferSize] = {};
  char caption[kMessageBufferSize] = {};
  LoadText(instance, IDS_LOCK_UNAVAILABLE, text, kMessageBufferSize);
  LoadText(instance, IDS_FAILURE_CAPTION, caption, kMessageBufferSize);
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR);
}

}  // namespace

int RunInstaller(HINSTANCE instance, InstallFunction install) {
  RestrictDllSearch();
  // Two installers at once would write the same files: the second one only
  // brings the first one's dialog to the front.
  const InstanceLock lock;
  if (lock.Get() == InstanceLock::State::HeldByAnother) {
    EnumWindows(BringMainDialogForward, 0);
    return 0;
  }
  // Never unlocked: whatever holds the lock's name, the user is told.
  if (lock.Get() != InstanceLock::State::Held) {
    ShowLockUnavailable(instance);
    return 0;
  }
  // What a run cut off on its way left, now that no other run can be using it.
  RecoverCutOffRuns(instance);
  // Without the palette there is nothing to draw the pictures with, so
  // nothing is shown at all.
  const PanelPalette palette(instance, IDB_BANNER, RGB(0, 0, 0));
  if (!palette.IsUsable()) return 0;
  // Only a successful installation leads to the success dialog.
  if (RunMainDialog(instance, palette, install)) ShowInfoDialog(instance, nullptr, IDD_SUCCESS);
  return 0;
}
