#pragma once

#include <windows.h>

#include "app/picture/panel_palette.h"

// The work behind "&Installieren": given the program's instance (its
// strings and dialogs) and the main dialog, returns true when every
// component went in (the main dialog then closes and the success dialog
// follows), false otherwise (the main dialog stays open). The shipped
// program hands in InstallComponents (app/install/install_driver.h); test
// builds hand in their own to hold or script an installation.
using InstallFunction = bool (*)(HINSTANCE instance, HWND mainDialog);

// Runs the main dialog (dialog 200 of `instance`) modally without an owner,
// with `install` behind "&Installieren", and paints its pictures with
// `palette`, which must outlive the dialog. Returns true when it ended
// because `install` succeeded; false when it ended on a close request (Esc,
// close box, "&Schließen") while no installation ran (close requests during
// an installation are ignored), or could not be shown. While an
// installation runs it refuses to let the session end (WM_QUERYENDSESSION answered FALSE, string 9 given as
// the reason); idle, it lets it end.
//
// It marks itself (a window property) so that IsMainDialog finds it from
// another process.
bool RunMainDialog(HINSTANCE instance, const PanelPalette& palette, InstallFunction install);

// Whether `window`, of any process, is an installer's main dialog.
bool IsMainDialog(HWND window);
