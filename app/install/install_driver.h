#pragma once

#include <windows.h>

#include <cstdint>

#include "app/install/install_names.h"
#include "app/install/registry_key.h"

// The work behind "&Installieren": installs every component of the list in
// string 2 into the product's folder and registers it.
//
// For each base name of the list (runs of ASCII letters and digits; every
// other byte separates names, leading ones included) the package
// <name>.ppk is looked for in the current folder, or in the folder last
// picked in the folder chooser, which opens whenever a package is missing.
// Each component goes in whole or not at all: the package (only ever read)
// is decompressed into <name>.dll.tmp in the product folder and synced to
// disk; the result must match the size and CRC-32 the build recorded for
// the name (when the installer carries them), pass as a component module
// (read as data, so no code of it runs) and be registered below
// HKLM\SOFTWARE\Lumora\Verdanelle before it replaces <name>.dll in one
// step. A failure at any step leaves the installed module and the
// component's registry values as they were.
//
// Returns true when every component of the list was installed and
// registered. Returns false otherwise:
//  - list missing or holding no name: nothing is shown;
//  - product not installed ("dir" of sub-key "general" missing, not REG_SZ,
//    longer than the folder buffer, not an absolute folder such as
//    "C:\..." or "\\server\share...", or naming no existing folder): dialog
//    205, owned by `mainDialog`; nothing is created;
//  - the product folder is a link or lies behind one (its final path is not
//    the folder "dir" names; see pinned_folder.h): every component fails
//    with that reason, and nothing is written;
//  - the user cancelled the folder chooser: the walk ends there;
//  - one or more components failed (package unreadable, damaged or not the
//    one recorded, too large, not a usable component module, disk full,
//    module not writable or held by another process, registration failed,
//    name too long for the folder or a device name (IsDeviceName; passed
//    over before any file is looked at)): the walk still goes on with the
//    other names, and at its end one error message owned by `mainDialog`
//    names each failed component with its reason (string 8, a line
//    "<name>: <reason>" each; past what the message can show, string 21
//    counts the rest).
// A read-only installed module is replaced all the same; one that the
// screensaver (its settings or preview) has loaded is moved aside and
// replaced (see decode/pending_file.h). When another process holds the
// installed module open, the move is tried again for about two seconds;
// then dialog 208 asks whether to try again: "&Wiederholen" moves the
// already decoded and registered module again, "Abbrechen" counts the
// component as failed and puts its values back.
// The status line (control 214) is empty whenever this returns.
// Runs with the main dialog's busy flag set and its buttons 210/211
// disabled. `instance` is the installer's module: its strings, dialogs and
// payload table.
[[nodiscard]] bool InstallComponents(HINSTANCE instance, HWND mainDialog);

// Reads the product folder, the value "dir" of sub-key "general" of
// `productKey`, into `folder`. True when it is a REG_SZ that fits and is an
// absolute folder (IsAbsoluteFolder); false otherwise (the screensaver
// counts as not installed), `folder` then holding whatever was read or the
// empty text. Whether the folder is there, and is itself the folder its
// path names, is PinnedFolder's to tell.
[[nodiscard]] bool ReadProductFolder(RegistryKey& productKey, char (&folder)[kFolderBufferSize]);

// The size and CRC-32 that the build recorded for `baseName`'s module, from
// the payload table (RCDATA IDR_PAYLOAD_TABLE) of `installer`, the
// installer's own module (see payload_table.h). False, storing nothing,
// when there is no table or no whole line of that name: a package made
// elsewhere, which installs unchecked up to kMaxUncheckedModuleSize.
[[nodiscard]] bool ExpectedPayload(HMODULE installer, const char* baseName, uint32_t* size, uint32_t* crc);

// A module that the payload table does not name is decoded up to this size
// and no further: large enough for a component with pictures and sounds of
// its own, small enough that a package cannot fill the disk with one.
constexpr int32_t kMaxUncheckedModuleSize = 256 << 20;
