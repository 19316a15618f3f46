#pragma once

#include <windows.h>

// Dialog procedure of the two information dialogs: 205 (the screensaver is
// not installed) and 206 (installation succeeded). Centres the dialog; OK
// and Esc end it with 0. Run it with DialogBoxParamA from appState.instance.
INT_PTR CALLBACK InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
