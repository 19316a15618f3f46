#pragma once

// What the installer takes for a component's name and for a product folder,
// apart from the driver so that it is tested anywhere.

#include <cstddef>

// Room for the registry value "dir" and for a folder picked in the chooser,
// terminator included.
constexpr int kFolderBufferSize = 260;
// Room for the path of a component's module or package: a folder of
// kFolderBufferSize bytes, a backslash, a base name and its extension.
constexpr std::size_t kComponentPathSize = 2 * kFolderBufferSize;

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
