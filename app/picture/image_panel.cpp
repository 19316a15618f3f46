#include "app/picture/image_panel.h"

#include <cstdint>

#include "app/app_state.h"
#include "app/picture/indexed_image.h"
#include "app/picture/panel_palette.h"
#include "resources/resource.h"

namespace {

// The pixels per inch the pictures are drawn for, pixel for pixel.
constexpr int kPictureDpi = 96;

// Releases a window's device context on every path.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window(window), dc(GetDC(window)) {}
  ~WindowDc() {
    if (dc != nullptr) ReleaseDC(window, dc);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc; }

 private:
  HWND window;
  HDC dc;
};

void PaintPicture(HWND dialog, HDC dc, int anchorId, int bitmapId, uint8_t background) {
  HWND anchor = GetDlgItem(dialog, anchorId);
  if (anchor == nullptr) return;
  RECT bounds;
  if (!GetWindowRect(anchor, &bounds)) return;
  POINT corner = {bounds.left, bounds.top};
  if (!ScreenToClient(dialog, &corner)) return;

  IndexedImage picture;
  picture.LoadFromResource(bitmapId);
  int32_t width = 0, height = 0;
  picture.GetSize(&width, &height);
  // Compose on the face colour so that transparent pixels show it.
  IndexedImage composite;
  composite.CreateBlank(width, height);
  composite.Fill(background);
  composite.BlitTransparent(picture, 0, 0, 0);
  // The dialog grows with the screen's pixels per inch, and so must the
  // picture to fill its place: the pictures are made for 96.
  const int scaledWidth = MulDiv(width, GetDeviceCaps(dc, LOGPIXELSX), kPictureDpi);
  const int scaledHeight = MulDiv(height, GetDeviceCaps(dc, LOGPIXELSY), kPictureDpi);
  if (scaledWidth == width && scaledHeight == height) {
    composite.Draw(dc, corner.x + 1, corner.y + 1);
    return;
  }
  IndexedImage scaled;
  scaled.ScaleFrom(composite, scaledWidth, scaledHeight);
  scaled.Draw(dc, corner.x + 1, corner.y + 1);
}

}  // namespace

void PaintImagePanel(HWND dialog) {
  const WindowDc dc(dialog);
  if (dc.Get() == nullptr) return;
  HPALETTE palette = appState.panel.palette;
  const UINT nearest = palette != nullptr ? GetNearestPaletteIndex(palette, GetSysColor(COLOR_BTNFACE)) : 0;
  const uint8_t background = static_cast<uint8_t>(nearest == CLR_INVALID ? 0 : nearest);

  HPALETTE previous = nullptr;
  if (palette != nullptr) {
    previous = SelectPalette(dc.Get(), palette, FALSE);
    RealizePalette(dc.Get());
    UpdateColors(dc.Get());
  }
  PaintPicture(dialog, dc.Get(), IDC_BANNER_PICTURE_ANCHOR, IDB_BANNER, background);
  PaintPicture(dialog, dc.Get(), IDC_FLOWER_PICTURE_ANCHOR, IDB_FLOWER, background);
  if (previous != nullptr) SelectPalette(dc.Get(), previous, FALSE);
}
