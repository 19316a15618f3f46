// The parts of IndexedImage that need Windows: resources and drawing.
#include "app/picture/indexed_image.h"
#include "app/app_state.h"
#include "app/picture/panel_palette.h"
#include "app/install/resource_view.h"

void IndexedImage::LoadFromResource(int bitmapId) {
  const ResourceView bitmap(appState.panel.module, bitmapId, RT_BITMAP);
  if (bitmap.Bytes() == nullptr) {
    SetSize(0, 0);
    return;
  }
  LoadFromDib(bitmap.Bytes(), bitmap.Size());
}

int IndexedImage::Draw(HDC dc, int x, int y) const {
  BITMAPINFO* header = appState.panel.drawingHeader;
  if (pixels == nullptr || header == nullptr) return 0;
  // The rest of the header and the colour table stay bitmap 100's.
  header->bmiHeader.biWidth = width;
  header->bmiHeader.biHeight = height;
  header->bmiHeader.biSizeImage = static_cast<DWORD>(byteCount);
  const int lines = SetDIBitsToDevice(dc, x, y, width, height, 0, 0, 0, height, pixels, header,
                                      DIB_RGB_COLORS);
  return lines > 0 ? 1 : 0;
}

int IndexedImage::BlitTransparent(const IndexedImage& source, int x, int y, int mirrored) {
  return BlitTransparentKeyed(source, x, y, mirrored, PanelTransparentIndex());
}
