#pragma once

#include <windows.h>

// Shows information dialog `dialogId` of `instance` modally, owned by
// `owner` (may be null), centred: 205 (the screensaver is not installed) or
// 206 (installation succeeded). OK and Esc end it.
void ShowInfoDialog(HINSTANCE instance, HWND owner, int dialogId);
