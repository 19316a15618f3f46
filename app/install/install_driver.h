#pragma once

#include <windows.h>

// The work behind "&Installieren": installs every component of the list in
// string 2 into the product's folder and registers it.
//
// For each base name of the list (runs of ASCII letters and digits; every
// other byte separates names, leading ones included) the package
// <name>.ppk is looked for in the current folder, or in the folder last
// picked in the folder chooser, which opens whenever a package is missing.
// The package is decompressed into a temporary file in the product folder;
// only a complete, sound result replaces <name>.dll there, so an installed
// module never gets truncated or half-written. The module is then loaded
// and registered below HKLM\SOFTWARE\Lumora\Verdanelle.
//
// Returns 1 when every component of the list was installed and registered.
// Returns 0 otherwise:
//  - list missing or holding no name: nothing is shown;
//  - product not installed ("dir" of sub-key "general" missing, not REG_SZ
//    or longer than the folder buffer): dialog 205, owned by `mainDialog`;
//  - the user cancelled the folder chooser: the walk ends there;
//  - one or more components failed (package damaged or unreadable, module
//    not writable or not replaceable, not loadable, or its display name not
//    registered): the walk still goes on with the other names, and at its
//    end one error message owned by `mainDialog` names the failed ones.
// The status line (control 214) is empty whenever this returns.
// Runs with the main dialog's busy flag set and its buttons 210/211 disabled.
int InstallComponents(HWND mainDialog);
