#pragma once

#include <cstddef>
#include <cstdint>

// Reading of 8-bit device-independent bitmaps as stored in bitmap resources:
// a BITMAPINFOHEADER (its first field is its own size, the offset of the
// colour table), the colour table (blue, green, red, reserved per entry;
// biClrUsed 0 means 256) and the bottom-up pixel rows. Only the fields the
// panel uses are read; the bit count and compression are taken to be 8 and
// BI_RGB. Portable, so that the rules can be tested anywhere.

constexpr size_t kInfoHeaderSize = 40;
// An 8-bit picture has at most this many colours, and a palette as many entries.
constexpr int kMaxPaletteEntries = 256;
// Bytes per colour-table entry: blue, green, red, reserved.
constexpr size_t kColourEntrySize = 4;
// Each row of pixels is padded to a multiple of this many bytes.
constexpr int32_t kRowAlignment = 4;
// A complete BITMAPINFO for 8 bits per pixel: header and 256 colours.
constexpr size_t kDrawingHeaderSize = kInfoHeaderSize + kMaxPaletteEntries * kColourEntrySize;
// Larger pictures are refused, which also keeps stride x height in range.
constexpr int32_t kMaxPictureSide = 8192;

struct DibLayout {
  int32_t width = 0;
  int32_t height = 0;       // positive: rows are stored bottom-up
  uint32_t headerSize = 0;  // biSize, where the colour table starts
  uint32_t colours = 0;     // entries in the colour table (biClrUsed, 0 -> 256)
  size_t rowsOffset = 0;    // where the pixel rows start: after the colour table
};

// Reads the header fields from `size` bytes at `dib`. Returns false when the
// bytes are too few for a 40-byte header or the stated header and colour
// table run past `size`; `out` is then left as it was.
[[nodiscard]] bool ReadDibLayout(const unsigned char* dib, size_t size, DibLayout* out);

// A logical palette entry: the layout of PALETTEENTRY.
struct PaletteColour {
  uint8_t red, green, blue, flags;
};

// Converts the colour table of the bitmap at `dib` into palette entries
// (flags 0). Returns the number of entries written to `entries` (room for
// kMaxPaletteEntries), or 0 when the layout cannot be read or states more
// than kMaxPaletteEntries colours.
[[nodiscard]] int PaletteFromDib(const unsigned char* dib, size_t size, PaletteColour* entries);
