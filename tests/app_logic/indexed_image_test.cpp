#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/dib_layout.h"
#include "app/indexed_image.h"
#include "tests/app_logic/transparent_index_stub.h"

namespace {

// Fills an image from rows of text, top row first, one digit per pixel.
void Paint(IndexedImage& image, const std::vector<const char*>& rows) {
  image.CreateBlank(static_cast<int32_t>(std::strlen(rows[0])), static_cast<int32_t>(rows.size()));
  image.Fill(0);
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; rows[r][c] != '\0'; ++c) image.Row(int32_t(r))[c] = uint8_t(rows[r][c] - '0');
}

std::vector<std::string> Rows(const IndexedImage& image) {
  std::vector<std::string> rows;
  for (int32_t r = 0; r < image.Height(); ++r) {
    std::string row;
    for (int32_t c = 0; c < image.Width(); ++c) row += char('0' + image.Row(r)[c]);
    rows.push_back(row);
  }
  return rows;
}

TEST(RowStride, RoundsWidthUpToWholeWords) {
  const int32_t cases[][2] = {{1, 4}, {3, 4}, {4, 4}, {5, 8}, {38, 40}, {168, 168}, {169, 172}, {0, 0}, {-5, 0}};
  for (const auto& c : cases) EXPECT_EQ(RowStride(c[0]), c[1]) << c[0];
  IndexedImage flower;
  flower.CreateBlank(38, 38);
  EXPECT_EQ(flower.ByteCount(), 1520);
}

TEST(IndexedImage, FillReachesEveryByteIncludingTheTailAfterWholeWords) {
  // Byte counts are multiples of 4 (the stride is); a word of which only
  // the first 0 to 3 bytes are set shows as the wrong value at the end.
  for (int32_t height = 1; height <= 7; ++height) {
    IndexedImage image;
    image.CreateBlank(1, height);
    image.Fill(0x1A5);  // only the low 8 bits count
    for (int32_t i = 0; i < image.ByteCount(); ++i) ASSERT_EQ(image.Pixels()[i], 0xA5) << height;
  }
  // A second fill replaces every byte of the first.
  IndexedImage big;
  big.CreateBlank(168, 30);
  big.Fill(7);
  big.Fill(200);
  for (int32_t i = 0; i < big.ByteCount(); ++i) ASSERT_EQ(big.Pixels()[i], 200);
}

TEST(IndexedImage, RowsAreAddressedTopDownOverBottomUpStorage) {
  IndexedImage image;
  Paint(image, {"123", "456"});
  // Stride 4: the bottom row comes first in memory, padding after each row.
  EXPECT_EQ(image.Stride(), 4);
  EXPECT_EQ(image.Row(1), image.Pixels());
  EXPECT_EQ(image.Row(0), image.Pixels() + 4);
  EXPECT_EQ(image.Pixels()[0], 4);
  EXPECT_EQ(image.Pixels()[4], 1);
  EXPECT_EQ(image.Row(2), nullptr);
  EXPECT_EQ(image.Row(-1), nullptr);
}

TEST(IndexedImage, BlitClipsAtTheLeftEdgeAndMirrorsWithinTheSameRectangle) {
  testTransparentIndex = 9;
  IndexedImage source;
  Paint(source, {"1234", "5678"});
  for (int mirrored : {0, 1}) {
    IndexedImage target;
    Paint(target, {"0000", "0000", "0000", "0000"});
    ASSERT_EQ(target.BlitTransparent(source, -2, 0, mirrored), 1);
    const std::vector<std::string> want =
        mirrored ? std::vector<std::string>{"2100", "6500", "0000", "0000"}
                 : std::vector<std::string>{"3400", "7800", "0000", "0000"};
    EXPECT_EQ(Rows(target), want) << "mirrored " << mirrored;
  }
}

TEST(IndexedImage, BlitClipsOnEverySide) {
  testTransparentIndex = 9;
  IndexedImage source;
  Paint(source, {"123", "456", "781"});
  struct Case {
    int x, y, mirrored;
    std::vector<std::string> want;
  } cases[] = {
      {2, 2, 0, {"0000", "0000", "0012", "0045"}},
      {2, 2, 1, {"0000", "0000", "0032", "0065"}},
      {-1, -2, 0, {"8100", "0000", "0000", "0000"}},
      {-1, -2, 1, {"8700", "0000", "0000", "0000"}},
      {1, -1, 0, {"0456", "0781", "0000", "0000"}},
      {1, -1, 1, {"0654", "0187", "0000", "0000"}},
  };
  for (const Case& c : cases) {
    IndexedImage target;
    Paint(target, {"0000", "0000", "0000", "0000"});
    EXPECT_EQ(target.BlitTransparent(source, c.x, c.y, c.mirrored), 1);
    EXPECT_EQ(Rows(target), c.want) << c.x << "," << c.y << " mirrored " << c.mirrored;
  }
}

TEST(IndexedImage, BlitOutsideTheTargetChangesNothing) {
  IndexedImage source, target;
  Paint(source, {"12", "34"});
  Paint(target, {"000", "000"});
  const int places[][2] = {{3, 0}, {-2, 0}, {0, 2}, {0, -2}, {-1000000000, 0}, {2000000000, 2000000000}};
  for (const auto& p : places)
    for (int mirrored : {0, 1}) {
      EXPECT_EQ(target.BlitTransparent(source, p[0], p[1], mirrored), 0) << p[0] << "," << p[1];
      EXPECT_EQ(Rows(target), (std::vector<std::string>{"000", "000"}));
    }
  IndexedImage empty;
  EXPECT_EQ(target.BlitTransparent(empty, 0, 0, 0), 0);
  EXPECT_EQ(empty.BlitTransparent(source, 0, 0, 0), 0);
}

TEST(IndexedImage, TransparentSourcePixelsKeepTheTarget) {
  IndexedImage source;
  Paint(source, {"5155", "1515"});
  testTransparentIndex = 5;
  for (int mirrored : {0, 1}) {
    IndexedImage target;
    Paint(target, {"2222", "3333"});
    ASSERT_EQ(target.BlitTransparent(source, 0, 0, mirrored), 1);
    const std::vector<std::string> want = mirrored ? std::vector<std::string>{"2212", "3131"}
                                                   : std::vector<std::string>{"2122", "1313"};
    EXPECT_EQ(Rows(target), want) << "mirrored " << mirrored;
  }
  // The index is the module-wide one at the time of the copy.
  testTransparentIndex = 1;
  IndexedImage target;
  Paint(target, {"2222", "3333"});
  target.BlitTransparent(source, 0, 0, 0);
  EXPECT_EQ(Rows(target), (std::vector<std::string>{"5255", "3535"}));
}

// An 8-bit DIB as a resource holds it: header, colour table, rows.
std::vector<unsigned char> MakeDib(int32_t width, int32_t height, uint32_t clrUsed, size_t tableEntries,
                                   size_t pixelBytes) {
  std::vector<unsigned char> dib(kInfoHeaderSize + tableEntries * 4 + pixelBytes, 0);
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) dib[at + i] = uint8_t(v >> (8 * i));
  };
  put(0, 40);
  put(4, uint32_t(width));
  put(8, uint32_t(height));
  dib[12] = 1;
  dib[14] = 8;
  put(32, clrUsed);
  for (size_t i = 0; i < pixelBytes; ++i) dib[kInfoHeaderSize + tableEntries * 4 + i] = uint8_t(i);
  return dib;
}

TEST(IndexedImage, LoadsRowsThatFollowTheColourTable) {
  // biClrUsed 0 means 256 entries; 2 means the rows start after 8 bytes.
  for (uint32_t clrUsed : {0u, 2u}) {
    const size_t entries = clrUsed == 0 ? 256 : clrUsed;
    const auto dib = MakeDib(5, 3, clrUsed, entries, 8 * 3);
    IndexedImage image;
    ASSERT_EQ(image.LoadFromDib(dib.data(), dib.size()), 1);
    EXPECT_EQ(image.Width(), 5);
    EXPECT_EQ(image.Stride(), 8);
    EXPECT_EQ(image.Row(2)[0], 0) << "first stored row is the bottom one";
    EXPECT_EQ(image.Row(0)[4], 20);
  }
}

TEST(IndexedImage, RefusesBitmapsThatWouldBeReadPastTheirEnd) {
  IndexedImage image;
  const auto shortRows = MakeDib(5, 3, 0, 256, 8 * 3 - 1);
  EXPECT_EQ(image.LoadFromDib(shortRows.data(), shortRows.size()), 0);
  EXPECT_EQ(image.Pixels(), nullptr);
  EXPECT_EQ(image.Width(), 0);
  const auto hugeTable = MakeDib(5, 3, 0xFFFFFFF0u, 256, 24);
  EXPECT_EQ(image.LoadFromDib(hugeTable.data(), hugeTable.size()), 0);
  const auto topDown = MakeDib(5, -3, 0, 256, 24);
  EXPECT_EQ(image.LoadFromDib(topDown.data(), topDown.size()), 0);
  const auto giant = MakeDib(100000, 100000, 0, 256, 24);
  EXPECT_EQ(image.LoadFromDib(giant.data(), giant.size()), 0);
  EXPECT_EQ(image.LoadFromDib(shortRows.data(), 39), 0);
}

TEST(DibLayout, PaletteSwapsBlueAndRedAndReadsAllEntriesWhenClrUsedIsZero) {
  auto dib = MakeDib(1, 1, 0, 256, 4);
  dib[40 + 4 * 7 + 0] = 0x10;  // blue
  dib[40 + 4 * 7 + 1] = 0x20;  // green
  dib[40 + 4 * 7 + 2] = 0x30;  // red
  dib[40 + 4 * 7 + 3] = 0x77;  // reserved, not taken over
  PaletteColour entries[kMaxPaletteEntries];
  ASSERT_EQ(PaletteFromDib(dib.data(), dib.size(), entries), 256);
  EXPECT_EQ(entries[7].red, 0x30);
  EXPECT_EQ(entries[7].green, 0x20);
  EXPECT_EQ(entries[7].blue, 0x10);
  EXPECT_EQ(entries[7].flags, 0);

  auto many = MakeDib(1, 1, 300, 300, 4);
  EXPECT_EQ(PaletteFromDib(many.data(), many.size(), entries), 0) << "more entries than a palette holds";
}

}  // namespace
