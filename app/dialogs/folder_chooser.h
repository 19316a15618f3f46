#pragma once

#include <windows.h>

// The folder chooser (dialog 1000): a list of drives and sub-folders that the
// user walks by double-clicking, a line showing the folder, a prompt, and the
// buttons "OK" and "Abbrechen". Listing a folder also makes it the process's
// current directory, so a later run (and a later relative look-up) starts
// from the last folder listed. The walk itself is in chooser_walk.h.

// Runs dialog 1000 modally, owned by `owner`, starting in the process's
// current directory, with string `promptId` of `instance` as the prompt.
// Folders are listed and entered through the wide calls, so that a folder
// whose name has no ANSI form can be chosen too; the folder line shows such
// a name with "?" for the characters that have none.
// On "OK" writes the folder shown, in ANSI and always ending with one
// backslash, into `output` (`output` must hold `outputSize` + 1 bytes) and
// returns true; for a folder without an ANSI name it writes an empty text
// instead: that folder is then the process's current directory. A folder
// longer than `outputSize` bytes is never cut: "OK" then changes the prompt
// to string 10 and the chooser stays open. Returns false without touching
// `output` when the user cancels ("Abbrechen", Esc, close box), when the
// dialog cannot be shown, or when `output` is null or `outputSize` negative.
[[nodiscard]] bool ChooseFolder(HINSTANCE instance, HWND owner, char* output, int outputSize,
                                int promptId);
