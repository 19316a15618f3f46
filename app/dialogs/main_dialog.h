#pragma once

#include <windows.h>

// Dialog procedure of the main dialog (dialog 200), run modally without an
// owner; the dialog's creation parameter is the InstallFunction (see
// app/installer_program.h) behind "&Installieren". Ends the dialog with 1
// after that function succeeded and with 0
// on a close request (Esc, close box, "&Schließen") while no installation
// runs; close requests during an installation are ignored. Keeps the dialog
// handle in appState.mainDialog.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
