#pragma once

#include <windows.h>

// Moves `window`, keeping its size and z-order, so that it is centred on the
// primary screen (see CentredEdge for the rounding).
void CenterOnScreen(HWND window);
