#pragma once

#include <windows.h>

// The work behind "&Installieren": installs every component of the list in
// string 2 into the product's folder and registers it.
// Returns 1 when the list was walked to its end, 0 otherwise (product not
// installed, list missing, or the user cancelled the folder chooser).
// Runs with the main dialog's busy flag set and its buttons 210/211 disabled.
int InstallComponents(HWND mainDialog);
