// The parts of IndexedImage that need Windows: resources and drawing.
#include "app/picture/indexed_image.h"
#include "app/picture/panel_palette.h"
#include "app/install/resource_view.h"

void IndexedImage::LoadFromResource(HMODULE module, int bitmapId) {
  const ResourceView bitmap(module, bitmapId, RT_BITMAP);
  if (bitmap.Bytes() == nullptr) {
    SetSize(0, 0);
    return;
  }
  LoadFromDib(bitmap.Bytes(), bitmap.Size());
}

bool IndexedImage::Draw(HDC dc, int x, int y, const PanelPalette& palette) const {
  if (pixels == nullptr || !palette.IsUsable()) return false;
  // The rest of the header and the colour table stay the palette bitmap's.
  DrawingHeader description = palette.Description();
  description.header.biWidth = width;
  description.header.biHeight = height;
  description.header.biSizeImage = static_cast<DWORD>(byteCount);
  const int lines = SetDIBitsToDevice(dc, x, y, width, height, 0, 0, 0, height, pixels,
                                      reinterpret_cast<const BITMAPINFO*>(&description), DIB_RGB_COLORS);
  return lines > 0;
}
