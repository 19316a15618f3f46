#include "storage/crc32.h"

namespace {

using Table = std::array<std::uint32_t, 256>;

constexpr Table MakeBytewiseTable() {
  Table table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1u) != 0 ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[i] = value;
  }
  return table;
}

}  // namespace

constexpr Table kCrc32Table = MakeBytewiseTable();
static_assert(kCrc32Table[1] == 0x77073096u && kCrc32Table[255] == 0x2D02EF8Du,
              "not the standard reflected CRC-32 table");

namespace {

// slices[k][b]: the register contribution of byte b followed by k zero
// bytes, so eight bytes fold into the register with eight lookups at once.
constexpr std::array<Table, 8> MakeSlices() {
  std::array<Table, 8> slices{};
  slices[0] = kCrc32Table;
  for (int k = 1; k < 8; ++k) {
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t previous = slices[k - 1][i];
      slices[k][i] = (previous >> 8) ^ kCrc32Table[previous & 0xFFu];
    }
  }
  return slices;
}

constexpr std::array<Table, 8> kSlices = MakeSlices();

std::uint32_t LoadLittleEndian32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::uint32_t UpdateCrc32Bytewise(std::uint32_t crc, const unsigned char* data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) crc = kCrc32Table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  return crc;
}

std::uint32_t UpdateCrc32(std::uint32_t crc, const unsigned char* data, std::size_t length) {
  // Whole groups of eight: the first four bytes meet the register, the
  // next four are looked up on their own.
  while (length >= 8) {
    const std::uint32_t low = crc ^ LoadLittleEndian32(data);
    const std::uint32_t high = LoadLittleEndian32(data + 4);
    crc = kSlices[7][low & 0xFFu] ^ kSlices[6][(low >> 8) & 0xFFu] ^
          kSlices[5][(low >> 16) & 0xFFu] ^ kSlices[4][low >> 24] ^
          kSlices[3][high & 0xFFu] ^ kSlices[2][(high >> 8) & 0xFFu] ^
          kSlices[1][(high >> 16) & 0xFFu] ^ kSlices[0][high >> 24];
    data += 8;
    length -= 8;
  }
  // The tail, byte by byte.
  for (; length > 0; --length, ++data) crc = kCrc32Table[(crc ^ *data) & 0xFFu] ^ (crc >> 8);
  return crc;
}
