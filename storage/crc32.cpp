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
// bytes, so sixteen bytes fold into the register with sixteen independent
// lookups at once.
constexpr int kSliceCount = 16;

constexpr std::array<Table, kSliceCount> MakeSlices() {
  std::array<Table, kSliceCount> slices{};
  slices[0] = kCrc32Table;
  for (int k = 1; k < kSliceCount; ++k) {
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t previous = slices[k - 1][i];
      slices[k][i] = (previous >> 8) ^ kCrc32Table[previous & 0xFFu];
    }
  }
  return slices;
}

constexpr std::array<Table, kSliceCount> kSlices = MakeSlices();

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
  // Whole groups of sixteen: the first four bytes meet the register, the
  // other twelve are looked up on their own.
  while (length >= 16) {
    const std::uint32_t w0 = crc ^ LoadLittleEndian32(data);
    const std::uint32_t w1 = LoadLittleEndian32(data + 4);
    const std::uint32_t w2 = LoadLittleEndian32(data + 8);
    const std::uint32_t w3 = LoadLittleEndian32(data + 12);
    crc = kSlices[15][w0 & 0xFFu] ^ kSlices[14][(w0 >> 8) & 0xFFu] ^
          kSlices[13][(w0 >> 16) & 0xFFu] ^ kSlices[12][w0 >> 24] ^
          kSlices[11][w1 & 0xFFu] ^ kSlices[10][(w1 >> 8) & 0xFFu] ^
          kSlices[9][(w1 >> 16) & 0xFFu] ^ kSlices[8][w1 >> 24] ^
          kSlices[7][w2 & 0xFFu] ^ kSlices[6][(w2 >> 8) & 0xFFu] ^
          kSlices[5][(w2 >> 16) & 0xFFu] ^ kSlices[4][w2 >> 24] ^
          kSlices[3][w3 & 0xFFu] ^ kSlices[2][(w3 >> 8) & 0xFFu] ^
          kSlices[1][(w3 >> 16) & 0xFFu] ^ kSlices[0][w3 >> 24];
    data += 16;
    length -= 16;
  }
  // The tail, byte by byte.
  for (; length > 0; --length, ++data) crc = kCrc32Table[(crc ^ *data) & 0xFFu] ^ (crc >> 8);
  return crc;
}
