#include "app/picture/indexed_image.h"

#include <cstring>
#include <new>

#include "app/picture/dib_layout.h"

int32_t RowStride(int32_t width) {
  if (width < 1) return 0;
  return (width + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

void IndexedImage::SetSize(int32_t newWidth, int32_t newHeight) {
  Release();
  width = newWidth;
  height = newHeight;
  const bool usable = newWidth >= 1 && newHeight >= 1 && newWidth <= kMaxPictureSide &&
                      newHeight <= kMaxPictureSide;
  stride = usable ? RowStride(newWidth) : 0;
  byteCount = stride * (usable ? newHeight : 0);
}

void IndexedImage::CreateBlank(int32_t newWidth, int32_t newHeight) {
  SetSize(newWidth, newHeight);
  if (byteCount > 0) pixels = new (std::nothrow) uint8_t[static_cast<size_t>(byteCount)];
}

void IndexedImage::ScaleFrom(const IndexedImage& source, int32_t newWidth, int32_t newHeight) {
  SetSize(0, 0);
  if (source.pixels == nullptr) return;
  CreateBlank(newWidth, newHeight);
  if (pixels == nullptr) return;
  // Each target pixel takes the source pixel its centre falls on: only the
  // picture's own indices, no blend of neighbours.
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* from = source.Row(int32_t((int64_t(2 * row + 1) * source.height) / (2 * int64_t(height))));
    uint8_t* to = Row(row);
    for (int32_t column = 0; column < width; ++column)
      to[column] = from[(int64_t(2 * column + 1) * source.width) / (2 * int64_t(width))];
  }
}

bool IndexedImage::LoadFromDib(const unsigned char* dib, size_t size) {
  SetSize(0, 0);
  DibLayout layout;
  if (!ReadDibLayout(dib, size, &layout)) return false;
  if (layout.width < 1 || layout.height < 1 || layout.width > kMaxPictureSide ||
      layout.height > kMaxPictureSide)
    return false;
  // A resource that stops short of its rows must not be read past its end.
  const uint64_t rowBytes = uint64_t(RowStride(layout.width)) * uint64_t(layout.height);
  if (uint64_t(layout.rowsOffset) + rowBytes > size) return false;
  CreateBlank(layout.width, layout.height);
  if (pixels == nullptr) return false;
  std::memcpy(pixels, dib + layout.rowsOffset, static_cast<size_t>(byteCount));
  return true;
}

void IndexedImage::Fill(int index) {
  if (pixels == nullptr) return;
  const uint8_t value = static_cast<uint8_t>(index);
  // Whole words holding the index in each of their four bytes first, then
  // the 0 to 3 bytes left over.
  const uint32_t word = value * 0x01010101u;
  const size_t words = static_cast<size_t>(byteCount) / 4;
  for (size_t i = 0; i < words; ++i) std::memcpy(pixels + 4 * i, &word, 4);
  for (size_t i = words * 4; i < static_cast<size_t>(byteCount); ++i) pixels[i] = value;
}

void IndexedImage::GetSize(int32_t* widthOut, int32_t* heightOut) const {
  if (widthOut == nullptr || heightOut == nullptr) return;
  *widthOut = width;
  *heightOut = height;
}

bool IndexedImage::BlitTransparent(const IndexedImage& source, int x, int y, bool mirrored,
                                   uint8_t transparent) {
  if (pixels == nullptr || source.pixels == nullptr) return false;
  // Visible part: the placed source clipped to this image. 64-bit edges so
  // that far-off placements cannot overflow.
  const int64_t left = x < 0 ? 0 : x;
  const int64_t top = y < 0 ? 0 : y;
  const int64_t right = int64_t(x) + source.width < width ? int64_t(x) + source.width : width;
  const int64_t bottom = int64_t(y) + source.height < height ? int64_t(y) + source.height : height;
  if (left >= right || top >= bottom) return false;

  const int32_t visibleWidth = static_cast<int32_t>(right - left);
  const int32_t visibleHeight = static_cast<int32_t>(bottom - top);
  const int32_t sourceTop = static_cast<int32_t>(top - y);
  // Mirrored, the visible part's right edge meets the source's left columns.
  const int32_t sourceLeft =
      static_cast<int32_t>(mirrored ? (int64_t(x) + source.width) - right : left - x);

  for (int32_t k = 0; k < visibleHeight; ++k) {
    uint8_t* to = Row(static_cast<int32_t>(top) + k) + left;
    const uint8_t* from = source.Row(sourceTop + k) + sourceLeft;
    for (int32_t j = 0; j < visibleWidth; ++j) {
      const uint8_t pixel = mirrored ? from[visibleWidth - 1 - j] : from[j];
      if (pixel != transparent) to[j] = pixel;
    }
  }
  return true;
}

void IndexedImage::Release() {
  delete[] pixels;
  pixels = nullptr;
}

uint8_t* IndexedImage::Row(int32_t row) {
  if (pixels == nullptr || row < 0 || row >= height) return nullptr;
  return pixels + (byteCount - (row + 1) * stride);
}

const uint8_t* IndexedImage::Row(int32_t row) const {
  return const_cast<IndexedImage*>(this)->Row(row);
}
