#pragma once

#include <windows.h>

// Process-wide state of the installer: one instance each, zero at start.
struct AppState {
  HINSTANCE instance;  // the program's own module: its dialogs, strings, RCDATA
  HWND mainDialog;     // dialog 200, saved on WM_INITDIALOG; the status line lives there
};

extern AppState appState;
