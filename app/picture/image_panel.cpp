#include "app/picture/image_panel.h"

#include <cstdint>

#include "app/picture/indexed_image.h"
#include "resources/resource.h"

namespace {

// The pixels per inch the pictures are made for: drawn pixel for pixel there.
constexpr int kPictureDpi = 96;
// A picture starts this many pixels right of and below its anchor's corner.
constexpr int kAnchorGap = 1;

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

// Where a picture goes: kAnchorGap right of and below its anchor's corner.
// It grows with the screen's pixels per inch, as the dialog does, but not
// into the control that follows it (below it, or right of it): the
// dialog's font need not grow by quite the same factor.
struct PicturePlace {
  int anchorId;
  int bitmapId;
  int neighbourId;
  bool neighbourBelow;
};

// The top-left corner of control `controlId` in the dialog's client
// coordinates; false when there is no such control.
bool ClientCorner(HWND dialog, int controlId, POINT* corner) {
  HWND control = GetDlgItem(dialog, controlId);
  RECT bounds;
  if (control == nullptr || !GetWindowRect(control, &bounds)) return false;
  *corner = {bounds.left, bounds.top};
  return ScreenToClient(dialog, corner) != FALSE;
}

// The factor (numerator / denominator) by which the picture at `corner`,
// `width` x `height` pixels at kPictureDpi, is drawn: never below 1.
void PictureScale(HWND dialog, HDC dc, const PicturePlace& place, POINT corner, int32_t width,
                  int32_t height, int* numerator, int* denominator) {
  *numerator = GetDeviceCaps(dc, LOGPIXELSY);
  *denominator = kPictureDpi;
  POINT neighbour;
  const int extent = place.neighbourBelow ? height : width;
  if (extent > 0 && ClientCorner(dialog, place.neighbourId, &neighbour)) {
    const int room = (place.neighbourBelow ? neighbour.y - corner.y : neighbour.x - corner.x) - kAnchorGap;
    if (MulDiv(extent, *numerator, *denominator) > room) *numerator = room, *denominator = extent;
  }
  if (*numerator < *denominator) *numerator = *denominator = 1;
}

void PaintPicture(HWND dialog, HDC dc, const PanelPalette& palette, const PicturePlace& place,
                  uint8_t background) {
  POINT corner;
  if (!ClientCorner(dialog, place.anchorId, &corner)) return;

  IndexedImage picture;
  picture.LoadFromResource(palette.Module(), place.bitmapId);
  int32_t width = 0, height = 0;
  picture.GetSize(&width, &height);
  // Compose on the face colour so that transparent pixels show it.
  IndexedImage composite;
  composite.CreateBlank(width, height);
  composite.Fill(background);
  composite.BlitTransparent(picture, 0, 0, false, palette.TransparentIndex());
  int numerator = 1, denominator = 1;
  PictureScale(dialog, dc, place, corner, width, height, &numerator, &denominator);
  if (numerator == denominator) {
    composite.Draw(dc, corner.x + kAnchorGap, corner.y + kAnchorGap, palette);
    return;
  }
  IndexedImage scaled;
  scaled.ScaleFrom(composite, MulDiv(width, numerator, denominator), MulDiv(height, numerator, denominator));
  scaled.Draw(dc, corner.x + kAnchorGap, corner.y + kAnchorGap, palette);
}

}  // namespace

void PaintImagePanel(HWND dialog, const PanelPalette& palette) {
  if (!palette.IsUsable()) return;
  const WindowDc dc(dialog);
  if (dc.Get() == nullptr) return;
  const UINT nearest = GetNearestPaletteIndex(palette.Handle(), GetSysColor(COLOR_BTNFACE));
  const uint8_t background = static_cast<uint8_t>(nearest == CLR_INVALID ? 0 : nearest);

  HPALETTE previous = SelectPalette(dc.Get(), palette.Handle(), FALSE);
  RealizePalette(dc.Get());
  UpdateColors(dc.Get());
  PaintPicture(dialog, dc.Get(), palette, {IDC_BANNER_PICTURE_ANCHOR, IDB_BANNER, IDC_STATUS, true}, background);
  PaintPicture(dialog, dc.Get(), palette, {IDC_FLOWER_PICTURE_ANCHOR, IDB_FLOWER, IDC_DESCRIPTION, false},
               background);
  if (previous != nullptr) SelectPalette(dc.Get(), previous, FALSE);
}
