#include "app/picture/panel_palette.h"

#include <cstring>
#include <new>

#include "app/app_state.h"
#include "app/install/resource_view.h"
#include "app/picture/dib_layout.h"

uint8_t PanelTransparentIndex() { return appState.panel.transparentIndex; }

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
  appState.panel.module = module;
  appState.panel.drawingHeader = reinterpret_cast<BITMAPINFO*>(new (std::nothrow) unsigned char[kDrawingHeaderSize]());
  if (appState.panel.drawingHeader == nullptr) return nullptr;

  const ResourceView bitmap(module, bitmapId, RT_BITMAP);
  // The drawing header is taken whole from the bitmap: one that is shorter
  // would leave it half filled, so it gives no palette at all.
  if (bitmap.Bytes() == nullptr || bitmap.Size() < kDrawingHeaderSize) return nullptr;
  std::memcpy(appState.panel.drawingHeader, bitmap.Bytes(), kDrawingHeaderSize);

  appState.panel.palette = PaletteFromBitmap(bitmap);
  if (appState.panel.palette == nullptr) return nullptr;
  const UINT nearest = GetNearestPaletteIndex(appState.panel.palette, transparentColour);
  if (nearest != CLR_INVALID) appState.panel.transparentIndex = static_cast<uint8_t>(nearest);
  return appState.panel.palette;
}

void FreePanelPalette() {
  if (appState.panel.palette != nullptr) DeleteObject(appState.panel.palette);
  appState.panel.palette = nullptr;
  delete[] reinterpret_cast<unsigned char*>(appState.panel.drawingHeader);
  appState.panel.drawingHeader = nullptr;
}
