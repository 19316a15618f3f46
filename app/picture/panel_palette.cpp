#include "app/picture/panel_palette.h"

#include <cstring>

#include "app/install/resource_view.h"

namespace {

// The version every logical palette states.
constexpr WORD kLogPaletteVersion = 0x300;

HPALETTE PaletteFromBitmap(const ResourceView& bitmap) {
  PaletteColour colours[kMaxPaletteEntries];
  const int count = PaletteFromDib(bitmap.Bytes(), bitmap.Size(), colours);
  if (count == 0) return nullptr;
  // LOGPALETTE ends in a one-entry array; room for all entries follows it.
  alignas(LOGPALETTE) unsigned char storage[sizeof(LOGPALETTE) + kMaxPaletteEntries * sizeof(PALETTEENTRY)];
  LOGPALETTE* logical = reinterpret_cast<LOGPALETTE*>(storage);
  logical->palVersion = kLogPaletteVersion;
  logical->palNumEntries = static_cast<WORD>(count);
  static_assert(sizeof(PaletteColour) == sizeof(PALETTEENTRY), "same layout");
  std::memcpy(logical->palPalEntry, colours, count * sizeof(PALETTEENTRY));
  return CreatePalette(logical);
}

}  // namespace

PanelPalette::PanelPalette(HMODULE module, int bitmapId, COLORREF transparentColour) : module(module) {
  const ResourceView bitmap(module, bitmapId, RT_BITMAP);
  // The drawing header is taken whole from the bitmap: one that is shorter
  // would leave it half filled, so it gives no palette at all.
  if (bitmap.Bytes() == nullptr || bitmap.Size() < kDrawingHeaderSize) return;
  std::memcpy(&description, bitmap.Bytes(), kDrawingHeaderSize);

  palette = PaletteFromBitmap(bitmap);
  if (palette == nullptr) return;
  const UINT nearest = GetNearestPaletteIndex(palette, transparentColour);
  if (nearest != CLR_INVALID) transparentIndex = static_cast<uint8_t>(nearest);
}

PanelPalette::~PanelPalette() {
  if (palette != nullptr) DeleteObject(palette);
}
