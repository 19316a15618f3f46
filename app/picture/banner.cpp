#include "app/picture/banner.h"

namespace {

struct BannerStore {
  uint8_t bytes[kBannerCapacity];
};

constexpr BannerStore Scrambled(const char* text) {
  BannerStore store{};
  // A text that does not fit leaves the store all zero, which the check
  // below turns into a build error.
  ScrambleBanner(text, kBannerStart, kBannerCount, store.bytes, kBannerCapacity);
  return store;
}

// Only the scrambled bytes reach the executable: the plain text is used at
// compile time alone.
constexpr BannerStore kScrambledBanner =
    Scrambled("Verdanelle Zusatzkomponenten - Version 1.0 - www.verdanelle.example");
static_assert(kScrambledBanner.bytes[0] != 0, "the banner must fit into kBannerCapacity bytes");

BannerStore banner = kScrambledBanner;
bool bannerDescrambled = false;

}  // namespace

int DescrambleBanner(uint8_t* bytes, size_t capacity, uint8_t start, int count) {
  if (capacity == 0 || count < 1) return -1;
  int k = start;
  for (size_t i = 0; i < capacity; ++i) {
    bytes[i] = static_cast<uint8_t>(bytes[i] - k);
    if (bytes[i] == 0) return static_cast<int>(i);
    k = (k + 1 == start + count) ? start : k + 1;
  }
  // No terminator: a damaged array must not send readers past its end.
  bytes[capacity - 1] = 0;
  return -1;
}

const char* BannerText() {
  if (!bannerDescrambled) {
    DescrambleBanner(banner.bytes, kBannerCapacity, kBannerStart, kBannerCount);
    bannerDescrambled = true;
  }
  return reinterpret_cast<const char*>(banner.bytes);
}

const uint8_t* BannerStoredBytes() { return banner.bytes; }
