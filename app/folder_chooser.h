#pragma once

#include <windows.h>

// The folder chooser (dialog 1000): a list of drives and sub-folders that the
// user walks by double-clicking, a line showing the folder, a prompt, and the
// buttons "OK" and "Abbrechen". Listing a folder also makes it the process's
// current directory, so a later run (and a later relative look-up) starts
// from the last folder listed.

// Size of the chooser's folder texts (the current folder and the copy handed
// to the listing call) and the longest current directory taken at the start.
constexpr int kChooserFolderSize = 272;
constexpr int kChooserStartMaxChars = 267;

// Runs dialog 1000 modally, owned by `owner`, starting in the process's
// current directory, with string `promptId` of `instance` as the prompt.
// On "OK" writes the folder shown, always ending with one backslash, into
// `output` (at most `outputSize` characters; `output` must hold
// `outputSize` + 1 bytes, and byte `outputSize` is always set to zero) and
// returns 1. Returns 0 without touching `output` when the user cancels
// ("Abbrechen", Esc, close box), when the dialog cannot be shown, or when no
// folder is known.
[[nodiscard]] int ChooseFolder(HINSTANCE instance, HWND owner, char* output, int outputSize,
                               int promptId);

// One step of the double-click walk: the folder reached from `current` by
// the list entry whose path form (as DlgDirSelectExA gives it) is
// `converted`. A drive entry ("x:") leads to that drive's root ("x:\"); the
// parent entry ("..\") to `current` without its last component ("C:\Daten"
// from "C:\Daten\Pakete", "C:\" from "C:\Daten"); any other entry to
// `current`, a backslash if needed, and `converted`.
// Writes the folder into `out` (`outSize` bytes, zero-terminated) and returns
// 1; returns 0 and leaves `out` empty when it would not fit.
[[nodiscard]] int NextChooserFolder(const char* current, const char* converted, bool driveEntry,
                                    char* out, int outSize);
