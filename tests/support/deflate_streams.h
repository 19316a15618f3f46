#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "storage/status_record.h"

// Raw deflate streams made on the spot, so decoder tests need no blobs.
namespace deflate_streams {

using Bytes = std::vector<unsigned char>;

// `size` bytes that compress like a module: runs of code-like patterns,
// repeats at distances near and beyond a 32 KiB window, and stretches of
// noise. Same seed, same bytes.
Bytes ModuleLike(std::size_t size, std::uint32_t seed = 1);

// `data` compressed as one raw deflate stream (no header, no trailer) with
// the given zlib level, window bits (-9 .. -15) and strategy.
Bytes Deflate(const Bytes& data, int level = 9, int windowBits = -15, int strategy = Z_DEFAULT_STRATEGY);

// `count` empty non-final stored blocks (5 bytes each, byte-aligned), which
// decode to nothing; a complete stream may follow them.
inline Bytes EmptyStoredBlocks(std::size_t count) {
  Bytes out;
  // Header bits 0 (not final), 00 (stored), padding; LEN 0, NLEN 0xFFFF.
  while (count-- > 0) out.insert(out.end(), {0x00, 0x00, 0x00, 0xFF, 0xFF});
  return out;
}

// What zlib alone makes of `packed`: the bytes it delivers and whether it
// reached the end of the final block.
struct Reference { Bytes output; bool complete = false; };
Reference RawInflate(const unsigned char* packed, std::size_t size);

// Standard CRC-32 of `data` (zlib's).
inline std::uint32_t Crc32(const Bytes& data) {
  return static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

// `a` followed by `b`.
inline Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace deflate_streams

// The status text, "" when there is none.
inline std::string StatusText(const ALStatusRecord& status) { return status.Text() ? status.Text() : ""; }
