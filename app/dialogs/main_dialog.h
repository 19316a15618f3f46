#pragma once

#include <windows.h>

// Dialog procedure of the main dialog (dialog 200), run modally without an
// owner; the dialog's creation parameter is the InstallFunction (see
// app/installer_program.h) behind "&Installieren". Ends the dialog with 1
// after that function succeeded and with 0
// on a close request (Esc, close box, "&Schließen") while no installation
// runs; close requests during an installation are ignored. Keeps the dialog
// handle in appState.mainDialog. While an installation runs it refuses to
// let the session end (WM_QUERYENDSESSION answered FALSE, string 9 given as
// the reason); idle, it lets it end.
//
// It marks itself (a window property) so that IsMainDialog finds it from
// another process.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Whether `window`, of any process, is an installer's main dialog.
bool IsMainDialog(HWND window);
