// addon-setup-hold.exe: the installer with an installation that waits for
// the test, so that a test can look at the main dialog while it is under way.
//
// The installation shows "busy" in the status line and then dispatches
// messages, as the storage layer does between buffers, until the event
// "addon-setup-hold-<process id>" is set. It returns the number in the
// environment variable ADDON_HOLD_RESULT (0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/installer_program.h"
#include "resources/resource.h"

namespace {

int HoldInstallation(HWND mainDialog) {
  char name[64];
  std::snprintf(name, sizeof name, "addon-setup-hold-%lu", GetCurrentProcessId());
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, name);
  if (release == nullptr) return 0;
  SetDlgItemTextA(mainDialog, IDC_STATUS, "busy");
  while (MsgWaitForMultipleObjects(1, &release, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  CloseHandle(release);
  SetDlgItemTextA(mainDialog, IDC_STATUS, "");
  const char* result = std::getenv("ADDON_HOLD_RESULT");
  return result != nullptr ? std::atoi(result) : 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return RunInstaller(instance, HoldInstallation);
}
