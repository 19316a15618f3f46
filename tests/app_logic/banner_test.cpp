#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/banner.h"
#include "app/centering.h"

namespace {

TEST(Banner, ScrambleAndDescrambleRoundTripForEveryKeyCycle) {
  const char* texts[] = {"", "a", "Verdanelle", "Gr\xfc\xdf" "e \xe4\xf6\xfc \xff\x01"};
  for (const char* text : texts)
    for (int count : {1, 2, 7, 255, 256}) {
      uint8_t bytes[kBannerCapacity] = {};
      const size_t written = ScrambleBanner(text, 0xF0, count, bytes, sizeof bytes);
      ASSERT_EQ(written, std::strlen(text) + 1);
      ASSERT_EQ(DescrambleBanner(bytes, sizeof bytes, 0xF0, count), int(std::strlen(text)));
      EXPECT_STREQ(reinterpret_cast<char*>(bytes), text) << "count " << count;
    }
}

TEST(Banner, KeyRunsThroughCountValuesFromStart) {
  uint8_t bytes[8] = {};
  ASSERT_EQ(ScrambleBanner("\x01\x01\x01\x01\x01", 10, 3, bytes, sizeof bytes), 6u);
  const uint8_t want[] = {11, 12, 13, 11, 12, 12};  // keys 10 11 12 10 11 12
  EXPECT_EQ(std::memcmp(bytes, want, sizeof want), 0);
}

TEST(Banner, TextThatDoesNotFitIsRefusedAndTheArrayUntouched) {
  uint8_t bytes[4] = {9, 9, 9, 9};
  EXPECT_EQ(ScrambleBanner("four", 1, 3, bytes, sizeof bytes), 0u);
  EXPECT_EQ(bytes[0], 9);
  EXPECT_EQ(ScrambleBanner("abc", 1, 0, bytes, sizeof bytes), 0u);
}

TEST(Banner, DescramblingAnArrayWithoutTerminatorStopsAtItsEnd) {
  uint8_t bytes[6] = {0x50, 0x51, 0x52, 0x53, 0x54, 0x55};  // never turns into zero with key 1
  EXPECT_EQ(DescrambleBanner(bytes, sizeof bytes, 1, 1), -1);
  EXPECT_EQ(bytes[5], 0);
}

TEST(Banner, ProcessBannerIsStoredScrambledAndDescrambledOnlyOnce) {
  const std::string plain = "Verdanelle Zusatzkomponenten - Version 1.0 - www.verdanelle.example";
  ASSERT_EQ(BannerDescrambled(), 0);
  const char* stored = reinterpret_cast<const char*>(BannerStoredBytes());
  EXPECT_EQ(std::string(stored, plain.size()).find("Verdanelle"), std::string::npos);

  const char* first = BannerText();
  EXPECT_EQ(first, plain);
  EXPECT_EQ(BannerDescrambled(), 1);
  // A second pass over the same bytes would garble them; the flag prevents it.
  const char* second = BannerText();
  EXPECT_EQ(second, first);
  EXPECT_EQ(std::string(second), plain);

  uint8_t copy[kBannerCapacity];
  std::memcpy(copy, BannerStoredBytes(), sizeof copy);
  DescrambleBanner(copy, sizeof copy, kBannerStart, kBannerCount);
  EXPECT_NE(std::string(reinterpret_cast<char*>(copy)), plain);
}

TEST(CentredEdge, HalvesTruncateTowardsZero) {
  EXPECT_EQ(CentredEdge(1280, 474), 403);
  EXPECT_EQ(CentredEdge(1281, 475), 640 - 237);  // odd screen and window
  EXPECT_EQ(CentredEdge(800, 1001), 400 - 500);  // window larger than the screen
  EXPECT_EQ(CentredEdge(-7, 3), -3 - 1);         // negative half truncates up, not down
  EXPECT_EQ(CentredEdge(10, -3), 5 + 1);
  EXPECT_EQ(CentredEdge(0, 0), 0);
}

}  // namespace
