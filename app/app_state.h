#pragma once

#include <windows.h>

// Everything the installer keeps for the whole process, in one place. One
// thread only; zero at start. (The one other piece is the banner line,
// descrambled once per process: app/picture/banner.h keeps it, since it is
// portable and tested without Windows.)
struct AppState {
  // The program's own module: its dialogs, strings and RCDATA.
  HINSTANCE instance;
  // Dialog 200, saved on WM_INITDIALOG; the status line lives there.
  HWND mainDialog;
  // 1 while the install sequence runs: close requests are ignored then.
  int busy;
};

extern AppState appState;
