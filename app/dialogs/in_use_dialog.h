#pragma once

#include <windows.h>

// The question asked when the installed module cannot be replaced because
// another process holds it (dialog 208): string 22 naming `modulePath`, and
// the buttons "&Wiederholen" and "Abbrechen". Centred, owned by `owner`.
// Returns true for "&Wiederholen"; false for "Abbrechen", Esc, the close box,
// or when the dialog cannot be shown.
[[nodiscard]] bool AskRetryHeldModule(HINSTANCE instance, HWND owner, const char* modulePath);
