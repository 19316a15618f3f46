// The installer's portable logic: banner scrambling, centring, images, the
// reading of bitmap resources and the folder chooser's walk.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/dialogs/chooser_walk.h"
#include "app/picture/banner.h"
#include "app/dialogs/centering.h"
#include "app/picture/dib_layout.h"
#include "app/picture/indexed_image.h"

namespace {

using Rows = std::vector<std::string>;

// An image from rows of text, top row first, one digit per pixel.
void Paint(IndexedImage& image, const Rows& rows) {
  image.CreateBlank(int32_t(rows[0].size()), int32_t(rows.size()));
  image.Fill(0);
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) image.Row(int32_t(r))[c] = uint8_t(rows[r][c] - '0');
}

Rows RowsOf(const IndexedImage& image) {
  Rows rows(image.Height());
  for (int32_t r = 0; r < image.Height(); ++r)
    for (int32_t c = 0; c < image.Width(); ++c) rows[r] += char('0' + image.Row(r)[c]);
  return rows;
}

TEST(Banner, ScrambleAndDescrambleRoundTripForEveryKeyCycle) {
  for (const char* text : {"", "a", "Verdanelle", "Gr\xfc\xdf" "e \xe4\xf6\xfc \xff\x01"})
    for (int count : {1, 2, 7, 255, 256}) {
      SCOPED_TRACE(std::string(text) + " count " + std::to_string(count));
      uint8_t bytes[kBannerCapacity] = {};
      ASSERT_EQ(ScrambleBanner(text, 0xF0, count, bytes, sizeof bytes), std::strlen(text) + 1);
      ASSERT_EQ(DescrambleBanner(bytes, sizeof bytes, 0xF0, count), int(std::strlen(text)));
      EXPECT_STREQ(reinterpret_cast<char*>(bytes), text);
    }
  // The key runs through `count` values from the start value: 10 11 12 10 11 12.
  uint8_t bytes[8] = {};
  ASSERT_EQ(ScrambleBanner("\x01\x01\x01\x01\x01", 10, 3, bytes, sizeof bytes), 6u);
  const uint8_t want[] = {11, 12, 13, 11, 12, 12};
  EXPECT_EQ(std::memcmp(bytes, want, sizeof want), 0);
}

TEST(Banner, NoWriteOrReadBeyondTheArray) {
  uint8_t bytes[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(ScrambleBanner("sixsix", 1, 3, bytes, sizeof bytes), 0u) << "no room for the terminator";
  EXPECT_EQ(bytes[0], 9);
  EXPECT_EQ(ScrambleBanner("abc", 1, 0, bytes, sizeof bytes), 0u);
  const uint8_t noTerminator[] = {0x50, 0x51, 0x52, 0x53, 0x54, 0x55};  // never zero with key 1
  std::memcpy(bytes, noTerminator, sizeof bytes);
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
  EXPECT_EQ(BannerText(), first);
  EXPECT_EQ(std::string(first), plain);
}

TEST(CentredEdge, HalvesTruncateTowardsZero) {
  EXPECT_EQ(CentredEdge(1280, 474), 403);
  EXPECT_EQ(CentredEdge(1281, 475), 640 - 237);  // odd screen and window
  EXPECT_EQ(CentredEdge(800, 1001), 400 - 500);  // window larger than the screen
  EXPECT_EQ(CentredEdge(-7, 3), -3 - 1);         // negative half truncates up, not down
  EXPECT_EQ(CentredEdge(10, -3), 5 + 1);
}

TEST(RowStride, RoundsWidthUpToWholeWords) {
  const int32_t cases[][2] = {{1, 4}, {3, 4}, {4, 4}, {5, 8}, {38, 40}, {168, 168}, {169, 172}, {0, 0}, {-5, 0}};
  for (const auto& c : cases) EXPECT_EQ(RowStride(c[0]), c[1]) << c[0];
  IndexedImage flower;
  flower.CreateBlank(38, 38);
  EXPECT_EQ(flower.ByteCount(), 1520);
}

TEST(IndexedImage, FillReachesEveryByteIncludingTheTailAfterWholeWords) {
  // A word of which only the first 0 to 3 bytes are set shows at the end;
  // the first fill must be wholly replaced by the second.
  for (int32_t height : {1, 2, 3, 4, 5, 6, 7, 30}) {
    IndexedImage image;
    image.CreateBlank(height == 30 ? 168 : 1, height);
    image.Fill(7);
    image.Fill(0x1A5);  // only the low 8 bits count
    for (int32_t i = 0; i < image.ByteCount(); ++i) ASSERT_EQ(image.Pixels()[i], 0xA5) << height;
  }
}

TEST(IndexedImage, RowsAreAddressedTopDownOverBottomUpStorage) {
  IndexedImage image;
  Paint(image, {"123", "456"});
  // Stride 4: the bottom row comes first in memory, padding after each row.
  EXPECT_EQ(image.Row(1), image.Pixels());
  EXPECT_EQ(image.Row(0), image.Pixels() + 4);
  EXPECT_EQ(image.Pixels()[0], 4);
  EXPECT_EQ(image.Row(2), nullptr);
  EXPECT_EQ(image.Row(-1), nullptr);
}

TEST(IndexedImage, BlitClipsOnEverySideMirrorsInPlaceAndKeepsTargetUnderTransparentPixels) {
  const Rows zeros = {"0000", "0000", "0000", "0000"}, twoRows = {"2222", "3333"};
  const Rows square = {"123", "456", "781"}, holes = {"5155", "1515"};
  const struct {
    Rows source, target;
    uint8_t transparent;
    int x, y, mirrored;
    Rows want;
  } cases[] = {
      // 4 x 2 at (-2, 0): columns 0 and 1 take source columns 2 and 3, mirrored 1 and 0.
      {{"1234", "5678"}, zeros, 9, -2, 0, 0, {"3400", "7800", "0000", "0000"}},
      {{"1234", "5678"}, zeros, 9, -2, 0, 1, {"2100", "6500", "0000", "0000"}},
      {square, zeros, 9, 2, 2, 0, {"0000", "0000", "0012", "0045"}},
      {square, zeros, 9, 2, 2, 1, {"0000", "0000", "0032", "0065"}},
      {square, zeros, 9, -1, -2, 0, {"8100", "0000", "0000", "0000"}},
      {square, zeros, 9, -1, -2, 1, {"8700", "0000", "0000", "0000"}},
      {square, zeros, 9, 1, -1, 0, {"0456", "0781", "0000", "0000"}},
      {square, zeros, 9, 1, -1, 1, {"0654", "0187", "0000", "0000"}},
      // The transparent index is the module-wide one at the time of the copy.
      {holes, twoRows, 5, 0, 0, 0, {"2122", "1313"}},
      {holes, twoRows, 5, 0, 0, 1, {"2212", "3131"}},
      {holes, twoRows, 1, 0, 0, 0, {"5255", "3535"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + " mirrored " + std::to_string(c.mirrored) +
                 " transparent " + std::to_string(c.transparent));
    IndexedImage source, target;
    Paint(source, c.source);
    Paint(target, c.target);
    EXPECT_EQ(target.BlitTransparentKeyed(source, c.x, c.y, c.mirrored, c.transparent), 1);
    EXPECT_EQ(RowsOf(target), c.want);
  }
}

TEST(IndexedImage, BlitOutsideTheTargetReturnsZeroAndChangesNothing) {
  IndexedImage source, target, empty;
  Paint(source, {"12", "34"});
  Paint(target, {"000", "000"});
  const int places[][2] = {{3, 0}, {-2, 0}, {0, 2}, {0, -2}, {-1000000000, 0}, {2000000000, 2000000000}};
  for (const auto& p : places)
    for (int mirrored : {0, 1}) {
      EXPECT_EQ(target.BlitTransparentKeyed(source, p[0], p[1], mirrored, 0), 0) << p[0] << "," << p[1];
      EXPECT_EQ(RowsOf(target), (Rows{"000", "000"}));
    }
  EXPECT_EQ(target.BlitTransparentKeyed(empty, 0, 0, 0, 0), 0);
  EXPECT_EQ(empty.BlitTransparentKeyed(source, 0, 0, 0, 0), 0);
}

// An 8-bit DIB as a resource holds it: header, colour table, rows.
std::vector<unsigned char> MakeDib(int32_t width, int32_t height, uint32_t clrUsed, size_t entries, size_t pixels) {
  std::vector<unsigned char> dib(kInfoHeaderSize + entries * 4 + pixels, 0);
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) dib[at + i] = uint8_t(v >> (8 * i));
  };
  put(0, 40);
  put(4, uint32_t(width));
  put(8, uint32_t(height));
  dib[12] = 1;
  dib[14] = 8;
  put(32, clrUsed);
  for (size_t i = 0; i < pixels; ++i) dib[kInfoHeaderSize + entries * 4 + i] = uint8_t(i);
  return dib;
}

TEST(IndexedImage, LoadsRowsThatFollowTheColourTable) {
  // biClrUsed 0 means 256 entries; 2 means the rows start after 8 bytes.
  for (uint32_t clrUsed : {0u, 2u}) {
    const auto dib = MakeDib(5, 3, clrUsed, clrUsed == 0 ? 256 : clrUsed, 8 * 3);
    IndexedImage image;
    ASSERT_EQ(image.LoadFromDib(dib.data(), dib.size()), 1);
    EXPECT_EQ(image.Width(), 5);
    EXPECT_EQ(image.Stride(), 8);
    EXPECT_EQ(image.Row(2)[0], 0) << "first stored row is the bottom one";
    EXPECT_EQ(image.Row(0)[4], 20);
  }
}

TEST(IndexedImage, RefusesBitmapsThatWouldBeReadPastTheirEnd) {
  const auto shortRows = MakeDib(5, 3, 0, 256, 8 * 3 - 1);
  const std::vector<unsigned char> refused[] = {shortRows, MakeDib(5, 3, 0xFFFFFFF0u, 256, 24),
                                                MakeDib(5, -3, 0, 256, 24), MakeDib(100000, 100000, 0, 256, 24),
                                                std::vector<unsigned char>(shortRows.begin(), shortRows.begin() + 39)};
  for (const auto& dib : refused) {
    IndexedImage image;
    Paint(image, {"1"});  // a failed load leaves the image empty
    EXPECT_EQ(image.LoadFromDib(dib.data(), dib.size()), 0) << &dib - refused;
    EXPECT_EQ(image.Pixels(), nullptr);
    EXPECT_EQ(image.Width(), 0);
  }
}

TEST(DibLayout, PaletteSwapsBlueAndRedAndReadsAllEntriesWhenClrUsedIsZero) {
  auto dib = MakeDib(1, 1, 0, 256, 4);
  const unsigned char table7[] = {0x10, 0x20, 0x30, 0x77};  // blue, green, red, reserved (not taken over)
  std::memcpy(&dib[40 + 4 * 7], table7, 4);
  PaletteColour entries[kMaxPaletteEntries];
  ASSERT_EQ(PaletteFromDib(dib.data(), dib.size(), entries), 256);
  EXPECT_EQ((std::vector<int>{entries[7].red, entries[7].green, entries[7].blue, entries[7].flags}),
            (std::vector<int>{0x30, 0x20, 0x10, 0}));
  auto many = MakeDib(1, 1, 300, 300, 4);
  EXPECT_EQ(PaletteFromDib(many.data(), many.size(), entries), 0) << "more entries than a palette holds";
}

std::string Walk(const std::string& current, const char* entry) {
  char converted[260] = "garbage";
  if (!ChooserEntryPath(entry, converted, sizeof converted)) return "<no entry>";
  char out[kChooserFolderSize] = "garbage";
  if (!NextChooserFolder(current.c_str(), converted, out, sizeof out)) return "<none>";
  return out;
}

TEST(ChooserWalk, EachEntryLeadsToTheFolderItNames) {
  // [..] drops exactly one component, also after the backslash that folders
  // reached through the list end with; a drive's root keeps its backslash.
  EXPECT_EQ(Walk("C:\\Daten\\Pakete", "[..]"), "C:\\Daten");
  EXPECT_EQ(Walk("C:\\Daten", "[..]"), "C:\\");
  EXPECT_EQ(Walk("C:\\Daten\\Pakete\\", "[..]"), "C:\\Daten");
  EXPECT_EQ(Walk("C:\\", "[..]"), "C:\\");
  // A sub-folder, without a doubled backslash.
  EXPECT_EQ(Walk("C:\\Daten", "[Pakete]"), "C:\\Daten\\Pakete\\");
  EXPECT_EQ(Walk("C:\\", "[Daten]"), "C:\\Daten\\");
  EXPECT_EQ(Walk("", "[Daten]"), "Daten\\");
  // Only [..] is the parent and only [-x-] a drive: folders named ".cache",
  // "..alt", "-x" are entered like any other.
  EXPECT_EQ(Walk("C:\\Daten", "[.cache]"), "C:\\Daten\\.cache\\");
  EXPECT_EQ(Walk("C:\\Daten\\", "[..alt]"), "C:\\Daten\\..alt\\");
  EXPECT_EQ(Walk("C:\\Daten", "[-x]"), "C:\\Daten\\-x\\");
  EXPECT_EQ(Walk("C:\\Daten\\Pakete", "[-d-]"), "d:\\");
  EXPECT_EQ(Walk("C:\\", "Daten"), "<no entry>");
}

TEST(ChooserWalk, FolderTooLongForTheBufferIsRefused) {
  EXPECT_EQ(Walk("C:\\" + std::string(kChooserFolderSize - 10, 'a'), "[bbbbbbbbbbbbbbbb]"), "<none>");
  char small[8] = "xxxxxxx";
  EXPECT_EQ(NextChooserFolder("C:\\", "Daten\\", small, sizeof small), 0);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(NextChooserFolder("C:\\", "Dat\\", small, sizeof small), 1);
  EXPECT_STREQ(small, "C:\\Dat\\");
}

}  // namespace
