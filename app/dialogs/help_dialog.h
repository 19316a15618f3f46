#pragma once

#include <windows.h>

// Shows the help dialog (dialog 207 of `instance`) modally, owned by
// `owner`, centred: RCDATA 400 (Windows-1252 text) in control 200, empty
// when it is missing. OK and Esc end it.
void ShowHelpDialog(HINSTANCE instance, HWND owner);
