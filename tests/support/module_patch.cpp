#include "tests/support/module_patch.h"

#include <cstdint>

namespace module_patch {

std::size_t DataEntry(const Bytes& image, unsigned type, unsigned id) {
  auto u16 = [&](size_t at) { return at + 2 <= image.size() ? image[at] | image[at + 1] << 8 : 0; };
  auto u32 = [&](size_t at) { return at + 4 <= image.size() ? uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16 : 0; };
  const size_t pe = u32(0x3C);
  const size_t optional = pe + 24;
  const size_t sections = optional + u16(pe + 20);
  const uint32_t rva = u32(optional + (u16(optional) == 0x20B ? 112 : 96) + 2 * 8);
  size_t root = 0;
  for (size_t s = sections; s < sections + 40 * u16(pe + 6); s += 40) {
    if (rva >= u32(s + 12) && rva < u32(s + 12) + u32(s + 16)) root = u32(s + 20) + rva - u32(s + 12);
  }
  // Type, name and language level: each an entry pointing further down.
  auto find = [&](size_t directory, unsigned wanted) -> size_t {
    const size_t entries = u16(directory + 12) + u16(directory + 14);
    for (size_t e = directory + 16; e < directory + 16 + 8 * entries; e += 8) {
      if (u32(e) == wanted) return root + (u32(e + 4) & 0x7FFFFFFFu);
    }
    return 0;
  };
  const size_t names = root ? find(root, type) : 0;
  const size_t languages = names ? find(names, id) : 0;
  if (languages == 0 || u16(languages + 14) == 0) return 0;
  return root + u32(languages + 20);
}

}  // namespace module_patch
