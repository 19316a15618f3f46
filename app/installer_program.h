#pragma once

#include <windows.h>

// The work behind "&Installieren": given the main dialog, returns true when
// every component went in (the main dialog then closes and the success
// dialog follows), false otherwise (the main dialog stays open). The shipped
// program hands in InstallComponents (app/install/install_driver.h); test
// builds hand in their own to hold or script an installation.
using InstallFunction = bool (*)(HWND mainDialog);

// The whole program after WinMain: keeps `instance`, builds the palette
// from bitmap 100 (without it nothing is shown), runs the main dialog with
// `install` behind its "&Installieren" and, when that ends with 1, the
// success dialog; releases the palette. Always returns 0, the exit code:
// the user sees every outcome in the dialogs.
int RunInstaller(HINSTANCE instance, InstallFunction install);
