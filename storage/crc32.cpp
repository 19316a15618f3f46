#include "storage/crc32.h"

#if ADDON_CRC32_FOLDING
#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>
#endif

namespace {

constexpr std::uint32_t kReflectedPolynomial = 0xEDB88320u;

using Table = std::array<std::uint32_t, 256>;

constexpr Table MakeBytewiseTable() {
  Table table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1u) != 0 ? (value >> 1) ^ kReflectedPolynomial : value >> 1;
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

std::uint32_t UpdateCrc32Slicing16(std::uint32_t crc, const unsigned char* data, std::size_t length) {
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

#if ADDON_CRC32_FOLDING

namespace {

// Polynomial arithmetic behind the folding form, done at compile time from
// the polynomial alone.
//
// A reflected value of "top" t stands for the polynomial whose coefficient
// of x^(t - i) is bit i. The CRC register has top 31; sixteen message bytes
// loaded little-endian have top 127 (the first byte's low bit is the highest
// power). A carry-less multiply of a top-a and a top-b value is the product
// polynomial with top a + b, which is all the bookkeeping the steps need.

// x^n mod P with top 31: multiplying by x is one step of the bitwise CRC.
constexpr std::uint32_t XPowerModP(int n) {
  std::uint32_t value = 0x80000000u;  // x^0
  for (int i = 0; i < n; ++i) value = (value >> 1) ^ ((value & 1u) != 0 ? kReflectedPolynomial : 0u);
  return value;
}

constexpr std::uint64_t ReverseBits(std::uint64_t value, int bits) {
  std::uint64_t reversed = 0;
  for (int i = 0; i < bits; ++i) reversed = (reversed << 1) | ((value >> i) & 1u);
  return reversed;
}

// P itself, 33 coefficients with top 32.
constexpr std::uint64_t kPolynomial33 = (std::uint64_t{kReflectedPolynomial} << 1) | 1u;

// floor(x^64 / P), degree 32, with top 32: the Barrett multiplier. Long
// division in the plain bit order (bit i = x^i), then reflected.
constexpr std::uint64_t BarrettQuotient() {
  const std::uint64_t divisor = ReverseBits(kPolynomial33, 33);
  std::uint64_t remainder = 0;
  std::uint64_t quotient = 0;
  for (int power = 64; power >= 0; --power) {
    remainder = (remainder << 1) | (power == 64 ? 1u : 0u);
    if ((remainder >> 32) & 1u) {
      remainder ^= divisor;
      quotient |= std::uint64_t{1} << power;
    }
  }
  return ReverseBits(quotient, 33);
}
constexpr std::uint64_t kBarrettQuotient33 = BarrettQuotient();
static_assert((kBarrettQuotient33 & 1u) != 0, "the quotient of x^64 by P has degree 32");

// Moving a 128-bit lane (top 127) on by `distance` bits multiplies it by
// x^distance. Its first eight bytes are H * x^64 and its last eight L, both
// with top 63 as loaded. A carry-less multiply by (x^k mod P, top 31) read
// back with top 127 gives the product times x^33, so H * x^(64 + distance)
// needs k = distance + 31 and L * x^distance needs k = distance - 33.
struct FoldConstants {
  std::uint32_t forFirstHalf;
  std::uint32_t forSecondHalf;
};
constexpr FoldConstants FoldBy(int distanceBits) {
  return {XPowerModP(distanceBits + 31), XPowerModP(distanceBits - 33)};
}

#define ADDON_CRC32_FOLDING_TARGET __attribute__((target("sse2,pclmul")))

constexpr std::size_t kLaneBytes = 16;
constexpr std::size_t kLaneCount = 4;
constexpr std::size_t kStrideBytes = kLaneBytes * kLaneCount;
constexpr int kLaneBits = 8 * static_cast<int>(kLaneBytes);

constexpr FoldConstants kFoldByStride = FoldBy(kLaneBits * kLaneCount);
constexpr FoldConstants kFoldByThreeLanes = FoldBy(kLaneBits * 3);
constexpr FoldConstants kFoldByTwoLanes = FoldBy(kLaneBits * 2);
constexpr FoldConstants kFoldByOneLane = FoldBy(kLaneBits);
// The final reduction: x^95 takes 128 bits to 96, x^63 takes 96 to 64.
constexpr std::uint32_t kX95 = XPowerModP(95);
constexpr std::uint32_t kX63 = XPowerModP(63);

ADDON_CRC32_FOLDING_TARGET inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

ADDON_CRC32_FOLDING_TARGET inline __m128i Pair(FoldConstants constants) {
  return _mm_set_epi32(0, static_cast<int>(constants.forSecondHalf), 0,
                       static_cast<int>(constants.forFirstHalf));
}

ADDON_CRC32_FOLDING_TARGET inline __m128i Pair64(std::uint64_t low, std::uint64_t high) {
  return _mm_set_epi32(static_cast<int>(high >> 32), static_cast<int>(high & 0xFFFFFFFFu),
                       static_cast<int>(low >> 32), static_cast<int>(low & 0xFFFFFFFFu));
}

// The lane moved on by the distance `constants` were made for, congruent
// mod P and again 128 bits wide.
ADDON_CRC32_FOLDING_TARGET inline __m128i Fold(__m128i lane, __m128i constants) {
  return _mm_xor_si128(_mm_clmulepi64_si128(lane, constants, 0x00),
                       _mm_clmulepi64_si128(lane, constants, 0x11));
}

// The register of a message whose remaining polynomial is `lane` (top 127):
// lane * x^32 mod P, with top 31.
ADDON_CRC32_FOLDING_TARGET inline std::uint32_t Reduce(__m128i lane) {
  const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
  // 128 -> 96 bits (top 95): H * x^96 becomes H * (x^95 mod P) * x, and
  // L * x^32 is L moved down eight bytes.
  __m128i value = _mm_xor_si128(_mm_clmulepi64_si128(lane, Pair64(kX95, 0), 0x00), _mm_srli_si128(lane, 8));
  // 96 -> 64 bits (top 63): the first 32 bits times x^64 the same way.
  value = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(value, low32), Pair64(kX63, 0), 0x00),
                        _mm_srli_si128(value, 4));
  // Barrett: the quotient by P is floor(floor(value / x^32) * mu / x^32),
  // and value + quotient * P keeps only its low 32 coefficients.
  const __m128i multipliers = Pair64(kBarrettQuotient33, kPolynomial33);
  const __m128i quotient = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(value, low32), multipliers, 0x00), low32);
  value = _mm_xor_si128(value, _mm_clmulepi64_si128(quotient, multipliers, 0x10));
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(value, 4)));
}

}  // namespace

ADDON_CRC32_FOLDING_TARGET std::uint32_t UpdateCrc32Folding(std::uint32_t crc, const unsigned char* data,
                                                            std::size_t length) {
  if (length < kLaneBytes) return UpdateCrc32Bytewise(crc, data, length);
  // The register enters as the first 32 message bits, so from here on the
  // lanes hold the message polynomial itself.
  const __m128i start = _mm_cvtsi32_si128(static_cast<int>(crc));
  __m128i lane;
  if (length >= kStrideBytes) {
    __m128i lane0 = _mm_xor_si128(Load(data), start);
    __m128i lane1 = Load(data + 16);
    __m128i lane2 = Load(data + 32);
    __m128i lane3 = Load(data + 48);
    data += kStrideBytes;
    length -= kStrideBytes;
    // Four independent chains, each moved on past the other three.
    const __m128i byStride = Pair(kFoldByStride);
    while (length >= kStrideBytes) {
      lane0 = _mm_xor_si128(Fold(lane0, byStride), Load(data));
      lane1 = _mm_xor_si128(Fold(lane1, byStride), Load(data + 16));
      lane2 = _mm_xor_si128(Fold(lane2, byStride), Load(data + 32));
      lane3 = _mm_xor_si128(Fold(lane3, byStride), Load(data + 48));
      data += kStrideBytes;
      length -= kStrideBytes;
    }
    // Each lane moved on to the end of the last one.
    lane = _mm_xor_si128(_mm_xor_si128(Fold(lane0, Pair(kFoldByThreeLanes)), Fold(lane1, Pair(kFoldByTwoLanes))),
                         _mm_xor_si128(Fold(lane2, Pair(kFoldByOneLane)), lane3));
  } else {
    lane = _mm_xor_si128(Load(data), start);
    data += kLaneBytes;
    length -= kLaneBytes;
  }
  // Whole lanes left over, one at a time.
  const __m128i byLane = Pair(kFoldByOneLane);
  for (; length >= kLaneBytes; data += kLaneBytes, length -= kLaneBytes) {
    lane = _mm_xor_si128(Fold(lane, byLane), Load(data));
  }
  // Fewer than sixteen bytes are cheaper through the table than a fold.
  return UpdateCrc32Bytewise(Reduce(lane), data, length);
}

bool Crc32FoldingAvailable() {
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
}

#else

bool Crc32FoldingAvailable() { return false; }

#endif

Crc32Form Crc32DispatchForm() {
  static const Crc32Form form = Crc32FoldingAvailable() ? Crc32Form::Folding : Crc32Form::Slicing16;
  return form;
}

std::uint32_t UpdateCrc32(std::uint32_t crc, const unsigned char* data, std::size_t length) {
#if ADDON_CRC32_FOLDING
  if (Crc32DispatchForm() == Crc32Form::Folding) return UpdateCrc32Folding(crc, data, length);
#endif
  return UpdateCrc32Slicing16(crc, data, length);
}
