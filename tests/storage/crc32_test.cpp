#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "storage/crc32.h"

namespace {

std::uint32_t Standard(std::uint32_t (*update)(std::uint32_t, const unsigned char*, std::size_t),
                       const char* text) {
  return ~update(0xFFFFFFFFu, reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

TEST(Crc32, ReferenceIsTheStandardReflectedCrc) {
  EXPECT_EQ(0x77073096u, kCrc32Table[1]);
  EXPECT_EQ(0x2D02EF8Du, kCrc32Table[255]);
  EXPECT_EQ(0xCBF43926u, Standard(UpdateCrc32Bytewise, "123456789"));
  EXPECT_EQ(0x352441C2u, Standard(UpdateCrc32Bytewise, "abc"));
  EXPECT_EQ(0x00000000u, Standard(UpdateCrc32Bytewise, ""));
}

TEST(Crc32, FastFormGivesTheReferenceRegisterForEveryLengthAndAlignment) {
  std::vector<unsigned char> data(4096 + 16);
  std::uint32_t seed = 12345;
  for (unsigned char& byte : data) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<unsigned char>(seed >> 16);
  }
  // Lengths around every multiple of the eight-byte step, at every offset,
  // from registers other than the usual start too.
  for (const std::uint32_t start : {0xFFFFFFFFu, 0u, 0x12345678u}) {
    for (std::size_t offset = 0; offset < 8; ++offset) {
      for (std::size_t length = 0; length <= 300; ++length) {
        ASSERT_EQ(UpdateCrc32Bytewise(start, data.data() + offset, length),
                  UpdateCrc32(start, data.data() + offset, length))
            << "offset " << offset << " length " << length;
      }
      ASSERT_EQ(UpdateCrc32Bytewise(start, data.data() + offset, 4096),
                UpdateCrc32(start, data.data() + offset, 4096));
    }
  }
  // Split anywhere, the pieces chain to the same register.
  const std::uint32_t whole = UpdateCrc32(0xFFFFFFFFu, data.data(), 1000);
  for (std::size_t split = 0; split <= 1000; split += 7) {
    const std::uint32_t first = UpdateCrc32(0xFFFFFFFFu, data.data(), split);
    ASSERT_EQ(whole, UpdateCrc32(first, data.data() + split, 1000 - split)) << split;
  }
}

}  // namespace
