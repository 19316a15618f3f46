// The parts of IndexedImage that need Windows: resources and drawing.
#include "app/indexed_image.h"
#include "app/panel_palette.h"
#include "app/resource_view.h"

void IndexedImage::LoadFromResource(int bitmapId) {
  const ResourceView bitmap(panelPalette.module, bitmapId, RT_BITMAP);
  if (bitmap.Bytes() == nullptr) {
    SetSize(0, 0);
    return;
  }
  LoadFromDib(bitmap.Bytes(), bitmap.Size());
}

int IndexedImage::Draw(HDC dc, int x, int y) const {
  BITMAPINFO* header = panelPalette.drawingHeader;
  if (pixels == nullptr || header == nullptr) return 0;
  // The rest of the header and the colour table stay bitmap 100's.
  header->bmiHeader.biWidth = width;
  header->bmiHeader.biHeight = height;
  header->bmiHeader.biSizeImage = static_cast<DWORD>(byteCount);
  const int lines = SetDIBitsToDevice(dc, x, y, width, height, 0, 0, 0, height, pixels, header,
                                      DIB_RGB_COLORS);
  return lines > 0 ? 1 : 0;
}
