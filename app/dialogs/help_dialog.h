#pragma once

#include <windows.h>

// Dialog procedure of the help dialog (dialog 207): shows the installer's
// RCDATA 400 (Windows-1252 text) in control 200, empty when it is missing;
// OK and Esc end it with 0.
INT_PTR CALLBACK HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
