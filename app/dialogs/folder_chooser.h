#pragma once

#include <windows.h>

// The folder chooser (dialog 1000): a list of drives and sub-folders that the
// user walks by double-clicking, a line showing the folder, a prompt, and the
// buttons "OK" and "Abbrechen". Listing a folder also makes it the process's
// current directory, so a later run (and a later relative look-up) starts
// from the last folder listed. The walk itself is in chooser_walk.h.

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
