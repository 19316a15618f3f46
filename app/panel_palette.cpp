#include "app/panel_palette.h"

#include <cstring>
#include <new>

#include "app/dib_layout.h"
#include "app/indexed_image.h"
#include "app/resource_view.h"

PanelPalette panelPalette = {};

uint8_t PanelTransparentIndex() { return panelPalette.transparentIndex; }

namespace {

HPALETTE PaletteFromBitmap(const ResourceView& bitmap) {
  PaletteColour colours[kMaxPaletteEntries];
  const int count = PaletteFromDib(bitmap.Bytes(), bitmap.Size(), colours);
  if (count == 0) return nullptr;
  // LOGPALETTE ends in a one-entry array; room for all entries follows it.
  alignas(LOGPALETTE) unsigned char storage[sizeof(LOGPALETTE) + kMaxPaletteEntries * sizeof(PALETTEENTRY)];
  LOGPALETTE* logical = reinterpret_cast<LOGPALETTE*>(storage);
  logical->palVersion = 0x300;
  logical->palNumEntries = static_cast<WORD>(count);
  static_assert(sizeof(PaletteColour) == sizeof(PALETTEENTRY), "same layout");
  std::memcpy(logical->palPalEntry, colours, count * sizeof(PALETTEENTRY));
  return CreatePalette(logical);
}

}  // namespace

HPALETTE InitPanelPalette(HMODULE module, int bitmapId, COLORREF transparentColour) {
  panelPalette.module = module;
  panelPalette.drawingHeader = reinterpret_cast<BITMAPINFO*>(new (std::nothrow) unsigned char[kDrawingHeaderSize]());
  if (panelPalette.drawingHeader == nullptr) return nullptr;

  const ResourceView bitmap(module, bitmapId, RT_BITMAP);
  // The drawing header is taken whole from the bitmap: one that is shorter
  // would leave it half filled, so it gives no palette at all.
  if (bitmap.Bytes() == nullptr || bitmap.Size() < kDrawingHeaderSize) return nullptr;
  std::memcpy(panelPalette.drawingHeader, bitmap.Bytes(), kDrawingHeaderSize);

  panelPalette.palette = PaletteFromBitmap(bitmap);
  if (panelPalette.palette == nullptr) return nullptr;
  const UINT nearest = GetNearestPaletteIndex(panelPalette.palette, transparentColour);
  if (nearest != CLR_INVALID) panelPalette.transparentIndex = static_cast<uint8_t>(nearest);
  return panelPalette.palette;
}

void FreePanelPalette() {
  if (panelPalette.palette != nullptr) DeleteObject(panelPalette.palette);
  panelPalette.palette = nullptr;
  delete[] reinterpret_cast<unsigned char*>(panelPalette.drawingHeader);
  panelPalette.drawingHeader = nullptr;
}
