#pragma once

#include <windows.h>

#include <cstdint>

#include "app/picture/dib_layout.h"

// The colour description of an 8-bit picture as SetDIBitsToDevice takes it:
// a BITMAPINFO with room for the whole colour table (BITMAPINFO itself
// declares one entry).
struct DrawingHeader {
  BITMAPINFOHEADER header;
  RGBQUAD colours[kMaxPaletteEntries];
};
static_assert(sizeof(DrawingHeader) == kDrawingHeaderSize, "header and colour table, no padding");

// The application palette and the colour description of every picture
// draw, made from one bitmap of a module (the installer: its bitmap 100).
// Every picture is drawn with that bitmap's colour table, so the pictures
// share it and come from the same module. The owner (RunInstaller) keeps it
// for as long as a dialog may paint, and hands it to whoever paints.
class PanelPalette {
 public:
  // Keeps `module`, copies the first kDrawingHeaderSize bytes of its bitmap
  // `bitmapId` (low 16 bits) as the drawing header, builds the palette from
  // the bitmap's colour table and takes the palette entry nearest to
  // `transparentColour` as the transparent index (0 when the lookup fails).
  // Without the bitmap, with one shorter than the drawing header or with an
  // unusable colour table, no palette is made: IsUsable says so.
  PanelPalette(HMODULE module, int bitmapId, COLORREF transparentColour);
  // Deletes the palette, if one was made.
  ~PanelPalette();
  PanelPalette(const PanelPalette&) = delete;
  PanelPalette& operator=(const PanelPalette&) = delete;

  // Whether the palette was made; without it nothing can be drawn.
  [[nodiscard]] bool IsUsable() const { return palette != nullptr; }

  // The module whose bitmaps are drawn with this palette.
  HMODULE Module() const { return module; }
  // The palette, owned here; null when it was not made.
  HPALETTE Handle() const { return palette; }
  // The bitmap's header and colour table as read (all zero when none was
  // read); each draw copies it and sets its own size in the copy.
  const DrawingHeader& Description() const { return description; }
  // The palette index that the transparent copy leaves out.
  uint8_t TransparentIndex() const { return transparentIndex; }

 private:
  HMODULE module;
  HPALETTE palette = nullptr;
  DrawingHeader description = {};
  uint8_t transparentIndex = 0;
};
