#include "app/picture/dib_layout.h"

namespace {

// Where BITMAPINFOHEADER keeps the fields read here (biSize is at 0).
constexpr size_t kWidthAt = 4;
constexpr size_t kHeightAt = 8;
constexpr size_t kColoursUsedAt = 32;

uint32_t Read32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

bool ReadDibLayout(const unsigned char* dib, size_t size, DibLayout* out) {
  if (dib == nullptr || out == nullptr || size < kInfoHeaderSize) return false;
  DibLayout layout;
  layout.headerSize = Read32(dib);
  layout.width = static_cast<int32_t>(Read32(dib + kWidthAt));
  layout.height = static_cast<int32_t>(Read32(dib + kHeightAt));
  const uint32_t used = Read32(dib + kColoursUsedAt);
  layout.colours = used == 0 ? kMaxPaletteEntries : used;
  // The colour table must lie inside the resource; compare in 64 bits so
  // that huge stated sizes cannot wrap.
  const uint64_t tableEnd = uint64_t(layout.headerSize) + uint64_t(layout.colours) * kColourEntrySize;
  if (layout.headerSize < kInfoHeaderSize || tableEnd > size) return false;
  layout.rowsOffset = static_cast<size_t>(tableEnd);
  *out = layout;
  return true;
}

int PaletteFromDib(const unsigned char* dib, size_t size, PaletteColour* entries) {
  DibLayout layout;
  if (entries == nullptr || !ReadDibLayout(dib, size, &layout)) return 0;
  if (layout.colours > kMaxPaletteEntries) return 0;
  const unsigned char* table = dib + layout.headerSize;
  for (uint32_t i = 0; i < layout.colours; ++i) {
    // The table stores blue, green, red, reserved.
    const unsigned char* entry = table + kColourEntrySize * i;
    entries[i] = PaletteColour{entry[2], entry[1], entry[0], 0};
  }
  return static_cast<int>(layout.colours);
}
