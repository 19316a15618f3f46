#pragma once

#include <cstddef>
#include <cstdint>

// The one-line banner at the bottom of the main dialog. The program carries
// it only in scrambled form, so that it does not show up as plain text in
// the executable, and descrambles it in place once per process.
//
// Scrambling adds a running key to each byte: k starts at `start`, goes up
// by one per byte and wraps back to `start` after `count` values. The text's
// terminating zero is scrambled too; descrambling stops at the byte that
// comes out as zero.

// Capacity of the stored banner, terminator included: the banner's 67
// characters and its terminator, and a few bytes to spare for a change of
// wording (the build fails when the banner does not fit).
constexpr size_t kBannerCapacity = 72;

// Writes the scrambled form of `text` and its terminator into `out`.
// Returns the number of bytes written (length + 1), or 0 when `count` < 1 or
// the text and its terminator do not fit into `capacity` bytes; `out` is
// then left as it was.
constexpr size_t ScrambleBanner(const char* text, uint8_t start, int count, uint8_t* out,
                                size_t capacity) {
  if (count < 1) return 0;
  size_t length = 0;
  while (text[length] != '\0') ++length;
  if (length + 1 > capacity) return 0;
  int k = start;
  for (size_t i = 0; i <= length; ++i) {
    out[i] = static_cast<uint8_t>(static_cast<uint8_t>(text[i]) + k);
    k = (k + 1 == start + count) ? start : k + 1;
  }
  return length + 1;
}

// Descrambles `bytes` in place up to and including the terminator, never
// looking past `capacity` bytes. Returns the text's length, or -1 when no
// terminator came out within `capacity` bytes: the last byte is then set to
// zero, so that the array is still a terminated (if garbled) string.
// Running it twice over the same array garbles the text.
int DescrambleBanner(uint8_t* bytes, size_t capacity, uint8_t start, int count);

// The banner text of this process: descrambled on the first call, the same
// pointer and text on every later call.
const char* BannerText();

// The banner's scrambling parameters and stored bytes, for the tests.
constexpr uint8_t kBannerStart = 0x3D;
constexpr int kBannerCount = 11;
const uint8_t* BannerStoredBytes();
