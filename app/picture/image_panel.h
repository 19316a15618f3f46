#pragma once

#include <windows.h>

#include "app/picture/panel_palette.h"

// Draws the banner (bitmap 100 of `palette`'s module) one pixel right of and
// below control 216 and the flower (bitmap 101) likewise at control 217 of
// `dialog`, in `palette`'s colours, each composed over the palette entry
// nearest to the dialog face colour so that the flower's transparent
// background takes the face colour. At 96 pixels per inch each is drawn
// pixel for pixel; at more, it grows by the same factor (nearest neighbour,
// in the picture's own colours), but the banner never reaches down into the
// status line (214) nor the flower right into the description (213): there
// it grows only as far as they leave room. Draws on the whole client area
// and leaves the update region to the default dialog painting; call it on
// WM_PAINT and return FALSE. A missing control or picture leaves only that
// picture out; a palette that is not usable, both.
void PaintImagePanel(HWND dialog, const PanelPalette& palette);
