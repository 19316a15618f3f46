#pragma once

#include <windows.h>

#include <cstdint>

// The application palette and the colour description of every picture draw,
// made once at start-up from bitmap 100 and released at exit; the one
// instance is appState.panel.
struct PanelPalette {
  HMODULE module;               // whose bitmap resources the pictures come from
  HPALETTE palette;             // made from bitmap 100's colour table; owned
  BITMAPINFO* drawingHeader;    // kDrawingHeaderSize bytes: bitmap 100's header
                                // and colour table; width, height and image
                                // size are those of the last draw; owned
  uint8_t transparentIndex;     // palette index the transparent copy leaves out
};

// The palette index that BlitTransparent leaves out: the one nearest to the
// transparent colour, 0 until InitPanelPalette sets it.
[[nodiscard]] uint8_t PanelTransparentIndex();

// Sets up appState.panel (written nowhere else): keeps `module`, copies the
// first kDrawingHeaderSize bytes of its bitmap `bitmapId` as the drawing
// header, builds the palette from the bitmap's colour table and sets the
// transparent index to the palette entry nearest to `transparentColour`. Returns the palette, or null (no palette) when the
// header cannot be allocated or the bitmap is missing, shorter than the
// drawing header, or its colour table is unusable. Call once.
[[nodiscard]] HPALETTE InitPanelPalette(HMODULE module, int bitmapId, COLORREF transparentColour);

// Deletes the palette and frees the drawing header, whichever exist. Safe
// after a failed InitPanelPalette and when called twice.
void FreePanelPalette();
