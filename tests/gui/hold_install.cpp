// Stands in for the installation driver in addon-setup-hold.exe, so that a
// test can look at the main dialog while an installation is under way.
//
// It shows "busy" in the status line and then dispatches messages, as the
// storage layer does between buffers, until the event
// "addon-setup-hold-<process id>" is set. It returns the number in the
// environment variable ADDON_HOLD_RESULT (0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/install_driver.h"
#include "resources/resource.h"

int InstallComponents(HWND mainDialog) {
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
