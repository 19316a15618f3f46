#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>

class PanelPalette;
#endif

// Bytes per row of an 8-bit picture: `width` rounded up to a multiple of 4
// (38 -> 40, 168 -> 168). Widths below 1 give 0.
[[nodiscard]] int32_t RowStride(int32_t width);

// A small in-memory picture of one byte (a palette index) per pixel, rows
// bottom-up as in a device-independent bitmap, each row padded to RowStride.
// Coordinates given to the operations count rows from the top. The image
// owns its pixel buffer; an image without a buffer is empty, and every
// operation on it does nothing.
class IndexedImage {
 public:
  IndexedImage() = default;
  ~IndexedImage() { Release(); }
  IndexedImage(const IndexedImage&) = delete;
  IndexedImage& operator=(const IndexedImage&) = delete;

  // Makes a width x height image with an uninitialised buffer. Sizes below 1
  // or above kMaxPictureSide, or no memory, leave the size set and no pixels.
  void CreateBlank(int32_t width, int32_t height);

  // Makes this a width x height copy of `source` by nearest neighbour, so
  // that a scaled picture keeps exactly its own palette indices (pixel art
  // must not blur into other colours). `source` is another image. Sizes as
  // in CreateBlank; an empty source gives an empty 0 x 0 image.
  void ScaleFrom(const IndexedImage& source, int32_t width, int32_t height);

  // Replaces the image by the picture of a bitmap resource's bytes (header,
  // colour table, bottom-up rows; see dib_layout.h). Returns true on
  // success. Returns false with an empty 0 x 0 image when the header or the
  // pixel rows do not fit into `size` bytes or the sides are not within
  // 1..kMaxPictureSide; returns false with the size kept but no pixels when
  // no memory is left.
  bool LoadFromDib(const unsigned char* dib, size_t size);

#ifdef _WIN32
  // LoadFromDib on bitmap resource `bitmapId` (low 16 bits) of `module`.
  // Empty (0 x 0) when the resource cannot be found, loaded or locked.
  void LoadFromResource(HMODULE module, int bitmapId);

  // Draws the whole image at (x, y) of `dc` in the colours of `palette`'s
  // drawing header, with this image's width, height and size set in a copy
  // of it. Returns true when rows were drawn, false when the image is
  // empty, the palette is not usable or the draw failed.
  bool Draw(HDC dc, int x, int y, const PanelPalette& palette) const;
#endif

  // Sets every byte of the buffer, padding included, to `index` (low 8 bits).
  void Fill(int index);

  // Writes the size into both outputs; nothing unless both are given.
  void GetSize(int32_t* widthOut, int32_t* heightOut) const;

  // Copies `source` onto this image with its top-left corner at (x, y),
  // leaving out source pixels equal to `transparent` (the palette's
  // transparent index) and clipping to this image. `mirrored` flips the
  // source left to right within the same rectangle (rows are never
  // flipped). Returns true when any pixel position was covered, false when
  // either image is empty or nothing overlaps.
  bool BlitTransparent(const IndexedImage& source, int x, int y, bool mirrored, uint8_t transparent);

  // Frees the pixel buffer; the image is empty afterwards.
  void Release();

  // Start of row `row` counted from the top, or null when empty or out of range.
  uint8_t* Row(int32_t row);
  const uint8_t* Row(int32_t row) const;

  const uint8_t* Pixels() const { return pixels; }
  int32_t Width() const { return width; }
  int32_t Height() const { return height; }
  int32_t Stride() const { return stride; }
  int32_t ByteCount() const { return byteCount; }

 private:
  void SetSize(int32_t newWidth, int32_t newHeight);

  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  int32_t byteCount = 0;
};
