#pragma once

#include <windows.h>

// Process-wide state of the installer: one instance each, zero at start.
// (The banner lives in banner.h, the palette state in panel_palette.h.)
struct AppState {
  HINSTANCE instance;  // the program's own module: its dialogs, strings, RCDATA
  HWND mainDialog;     // dialog 200, saved on WM_INITDIALOG; the status line lives there
  HPALETTE palette;    // the panel palette made at start-up; null: nothing is shown
  int busy;            // 1 while the install sequence runs: close requests are ignored
};

extern AppState appState;
