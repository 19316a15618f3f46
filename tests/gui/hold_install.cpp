// addon-setup-hold.exe: the installer with an installation that waits for
// the test, so that a test can act on the main dialog while it is under way.
//
// The installation shows "busy" in the status line and dispatches messages,
// as the storage layer does between buffers, until the test writes anything
// else there. It returns 0 and leaves the status line empty, or "ran again"
// once a second installation has run, which only a dialog that lets one
// start while busy allows.
#include <windows.h>

#include <cstring>

#include "app/installer_program.h"
#include "platform/message_pump.h"
#include "resources/resource.h"

namespace {

bool HoldInstallation(HINSTANCE, HWND mainDialog) {
  static int runs = 0;
  ++runs;
  char status[8] = "busy";
  SetDlgItemTextA(mainDialog, IDC_STATUS, status);
  while (std::strcmp(status, "busy") == 0) {
    WaitMessage();
    platform::PumpMessages();
    GetDlgItemTextA(mainDialog, IDC_STATUS, status, sizeof status);
  }
  SetDlgItemTextA(mainDialog, IDC_STATUS, runs == 1 ? "" : "ran again");
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return RunInstaller(instance, HoldInstallation);
}
