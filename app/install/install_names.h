#pragma once

// What the installer takes for a component's name and for a product folder,
// apart from the driver so that it is tested anywhere.

// Whether the file system takes the base name `name` for a device, in any
// case and whatever extension follows: CON, PRN, AUX, NUL, COM1 to COM9 and
// LPT1 to LPT9 ("nul.ppk" is the null device, "C:\Verdanelle\con.dll" the
// console). Other names, "COM10", "com0" or "CONX" among them, are not.
[[nodiscard]] bool IsDeviceName(const char* name);

// Whether `folder` is a product folder the installer may write into:
// absolute, on a drive ("C:\...", any letter A to Z in either case) or a
// share ("\\server..."). An empty or relative "dir" ("Verdanelle", "C:",
// "C:Verdanelle", "\Verdanelle") would put the modules below whatever the
// current folder happens to be; "\\" and "\\\..." name no server.
[[nodiscard]] bool IsAbsoluteFolder(const char* folder);
