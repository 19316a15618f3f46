#pragma once

#include <windows.h>

#include "app/dialogs/main_dialog.h"

// The whole program after WinMain: keeps `instance`, builds the palette
// from bitmap 100 (without it nothing is shown), runs the main dialog with
// `install` behind its "&Installieren" and, when that ends in a successful
// installation, the success dialog; releases the palette. Always returns 0, the exit code:
// the user sees every outcome in the dialogs.
int RunInstaller(HINSTANCE instance, InstallFunction install);
