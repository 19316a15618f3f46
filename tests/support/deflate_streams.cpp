#include "tests/support/deflate_streams.h"

namespace deflate_streams {

Bytes ModuleLike(std::size_t size, std::uint32_t seed) {
  Bytes out;
  std::uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    return state ^= state << 5;
  };
  while (out.size() < size) {
    const std::uint32_t kind = next() % 4;
    for (std::size_t i = 0, run = 16 + next() % 300; i < run && out.size() < size; ++i) {
      const std::size_t at = out.size();
      if (kind == 0) {
        out.push_back(static_cast<unsigned char>(next()));  // noise
      } else if (kind == 1 && at > 40000) {
        out.push_back(out[at - 40000 + i % 100]);  // beyond a 32 KiB window
      } else if (kind == 2 && at > 300) {
        out.push_back(out[at - 300]);  // near repeat
      } else {
        out.push_back(static_cast<unsigned char>("\x55\x8b\xec\x83\xec\x10\x00\x00"[i % 8]));
      }
    }
  }
  return out;
}

Bytes Deflate(const Bytes& data, int level, int windowBits, int strategy) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, windowBits, 8, strategy) != Z_OK) return {};
  Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16);
  zs.next_in = const_cast<unsigned char*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return rc == Z_STREAM_END ? out : Bytes{};
}

Reference RawInflate(const unsigned char* packed, std::size_t size) {
  Reference ref;
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) return ref;
  zs.next_in = const_cast<unsigned char*>(packed);
  zs.avail_in = static_cast<uInt>(size);
  unsigned char chunk[16384];
  int rc;
  do {
    zs.next_out = chunk;
    zs.avail_out = sizeof chunk;
    rc = inflate(&zs, Z_NO_FLUSH);
    ref.output.insert(ref.output.end(), chunk, chunk + (sizeof chunk - zs.avail_out));
  } while (rc == Z_OK);
  inflateEnd(&zs);
  ref.complete = rc == Z_STREAM_END;
  return ref;
}

}  // namespace deflate_streams
