// The installer's portable logic where the real program cannot take it:
// blits off every edge and mirrored, damaged bitmaps, the banner's bounds,
// the chooser's corner cases. What the program draws and walks in ordinary
// use, the GUI and end-to-end suites see on the screen.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/dialogs/chooser_walk.h"
#include "app/picture/banner.h"
#include "app/picture/dib_layout.h"
#include "app/picture/indexed_image.h"

namespace {

TEST(Banner, IsStoredScrambledAndRoundTripsWithoutGoingPastItsArray) {
  const std::string stored(reinterpret_cast<const char*>(BannerStoredBytes()), kBannerCapacity);
  EXPECT_EQ(stored.find("Verdanelle"), std::string::npos) << "the program carries the banner in plain text";
  // The key wraps after `count` values, also past 255.
  for (const char* text : {"", "Verdanelle", "Gr\xfc\xdf" "e \xff\x01"})
    for (int count : {1, 7, 256}) {
      uint8_t bytes[kBannerCapacity] = {};
      ASSERT_EQ(ScrambleBanner(text, 0xF0, count, bytes, sizeof bytes), std::strlen(text) + 1);
      EXPECT_EQ(DescrambleBanner(bytes, sizeof bytes, 0xF0, count), int(std::strlen(text)));
      EXPECT_STREQ(reinterpret_cast<char*>(bytes), text) << count;
    }
  uint8_t bytes[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(ScrambleBanner("sixsix", 1, 3, bytes, sizeof bytes), 0u) << "no room for the end";
  EXPECT_EQ(bytes[0], 9) << "written without room for the end";
  std::memcpy(bytes, "\x50\x51\x52\x53\x54\x55", 6);  // no byte comes out zero with key 1
  EXPECT_EQ(DescrambleBanner(bytes, sizeof bytes, 1, 1), -1);
  EXPECT_EQ(bytes[5], 0) << "left without a terminator";
}

using Rows = std::vector<std::string>;

// An image from rows of text, top row first, one digit per pixel.
void Paint(IndexedImage& image, const Rows& rows) {
  image.CreateBlank(int32_t(rows[0].size()), int32_t(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) image.Row(int32_t(r))[c] = uint8_t(rows[r][c] - '0');
}

Rows RowsOf(const IndexedImage& image) {
  Rows rows(image.Height());
  for (int32_t r = 0; r < image.Height(); ++r)
    for (int32_t c = 0; c < image.Width(); ++c) rows[r] += char('0' + image.Row(r)[c]);
  return rows;
}

TEST(IndexedImage, BlitIsClippedOnEverySideMirroredAndKeepsTheTargetUnderTransparentPixels) {
  const Rows square = {"123", "456", "781"}, two = {"12", "34"}, zeros = {"0000", "0000", "0000", "0000"};
  // Placed just off each edge or far off, a source covers nothing.
  const struct { Rows source; int x, y; uint8_t transparent; Rows want, wantMirrored; } cases[] = {
      {{"1234", "5678"}, -2, 0, 9, {"3400", "7800", "0000", "0000"}, {"2100", "6500", "0000", "0000"}},
      {square, 2, 2, 9, {"0000", "0000", "0012", "0045"}, {"0000", "0000", "0032", "0065"}},
      {square, -1, -2, 9, {"8100", "0000", "0000", "0000"}, {"8700", "0000", "0000", "0000"}},
      {square, 1, -1, 9, {"0456", "0781", "0000", "0000"}, {"0654", "0187", "0000", "0000"}},
      {{"5155", "1515"}, 0, 0, 5, {"0100", "1010", "0000", "0000"}, {"0010", "0101", "0000", "0000"}},
      {{"5155", "1515"}, 0, 0, 1, {"5055", "0505", "0000", "0000"}, {"5505", "5050", "0000", "0000"}},
      {two, 4, 0, 0, zeros, zeros}, {two, -2, 0, 0, zeros, zeros}, {two, 0, 4, 0, zeros, zeros},
      {two, 0, -2, 0, zeros, zeros}, {two, -1000000000, 0, 0, zeros, zeros},
      {two, 2000000000, 2000000000, 0, zeros, zeros},
  };
  for (const auto& c : cases)
    for (bool mirrored : {false, true}) {
      SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + " mirrored " + std::to_string(mirrored));
      IndexedImage source, target;
      Paint(source, c.source);
      Paint(target, zeros);
      EXPECT_EQ(target.BlitTransparent(source, c.x, c.y, mirrored, c.transparent), c.want != zeros);
      EXPECT_EQ(RowsOf(target), mirrored ? c.wantMirrored : c.want);
    }
}

// An 8-bit DIB as a bitmap resource holds it: header, `table` bytes of
// colour table, then `rows` bytes whose values count up from 0.
std::vector<unsigned char> MakeDib(int32_t width, int32_t height, uint32_t clrUsed, size_t table, size_t rows) {
  // biSize, width, height, planes 1 and 8 bits, ..., biClrUsed; little-endian as on the target
  const uint32_t header[10] = {40, uint32_t(width), uint32_t(height), 0x80001, 0, 0, 0, 0, clrUsed, 0};
  std::vector<unsigned char> dib(40 + table + rows);
  std::memcpy(dib.data(), header, sizeof header);
  for (size_t i = 0; i < rows; ++i) dib[40 + table + i] = uint8_t(i);
  return dib;
}

TEST(BitmapResource, RowsFollowTheColourTableColoursTurnRoundAndBitmapsReadPastTheirEndAreRefused) {
  // biClrUsed 0 stands for 256 colours; 2 puts the rows 8 bytes on.
  auto whole = MakeDib(5, 3, 0, 1024, 24);
  for (const auto& dib : {whole, MakeDib(5, 3, 2, 8, 24)}) {
    IndexedImage image;
    ASSERT_TRUE(image.LoadFromDib(dib.data(), dib.size()));
    EXPECT_EQ(image.Row(0)[4], 20) << "the top row is stored last, after two rows of 8 bytes";
  }
  const std::vector<unsigned char> refused[] = {
      {whole.begin(), whole.end() - 1}, {whole.begin(), whole.begin() + 39}, MakeDib(5, 3, 0xFFFFFFF0u, 1024, 24),
      MakeDib(5, -3, 0, 1024, 24), MakeDib(100000, 100000, 0, 1024, 24)};
  for (const auto& dib : refused) {
    IndexedImage image;
    Paint(image, {"1"});  // a failed load leaves the image empty
    EXPECT_FALSE(image.LoadFromDib(dib.data(), dib.size())) << &dib - refused;
    EXPECT_EQ(image.Pixels(), nullptr) << &dib - refused;
    EXPECT_EQ(image.Width(), 0) << &dib - refused;
  }
  std::memcpy(&whole[40 + 4 * 255], "\x10\x20\x30\x77", 4);  // blue, green, red, reserved (not taken over)
  PaletteColour entries[kMaxPaletteEntries] = {};
  ASSERT_EQ(PaletteFromDib(whole.data(), whole.size(), entries), 256);
  EXPECT_EQ(std::memcmp(&entries[255], "\x30\x20\x10\x00", 4), 0) << "red, green, blue, flags 0";
  const auto many = MakeDib(1, 1, 300, 1200, 4);
  EXPECT_EQ(PaletteFromDib(many.data(), many.size(), entries), 0) << "more entries than a palette holds";
}

TEST(ChooserWalk, EachEntryLeadsToTheFolderItNamesAndOverlongFoldersAreRefused) {
  // The end-to-end suite walks [..], [name] and a drive from ordinary
  // folders; these are the corners, [..] after a trailing backslash too. Only [..] is the parent and only [-x-]
  // a drive.
  // "C:\aaa...\b\" just fits the folder buffer, one "a" more does not.
  const std::wstring fits = L"C:\\" + std::wstring(kChooserFolderSize - 7, L'a');
  const std::wstring longer = fits + L"a", fitted = fits + L"\\b\\", overlongEntry = L"[" + fits + L"aaa]";
  const wchar_t* const walks[][3] = {
      {L"C:\\Daten", L"[..]", L"C:\\"}, {L"C:\\", L"[..]", L"C:\\"}, {L"C:\\Daten\\Pakete\\", L"[..]", L"C:\\Daten"},
      {L"C:\\", L"[\u0141\u00f3d\u017a]", L"C:\\\u0141\u00f3d\u017a\\"},
      {L"", L"[Daten]", L"Daten\\"}, {L"C:\\Daten", L"[.cache]", L"C:\\Daten\\.cache\\"},
      {L"C:\\Daten\\", L"[..alt]", L"C:\\Daten\\..alt\\"}, {L"C:\\Daten", L"[-x]", L"C:\\Daten\\-x\\"},
      {L"C:\\Daten", L"Daten", L""}, {fits.c_str(), L"[b]", fitted.c_str()}, {longer.c_str(), L"[b]", L""},
      {L"C:\\Daten", L"[-d-]", L"d:\\"}, {L"C:\\", L"[-ab]", L"C:\\-ab\\"}, {L"C:\\", L"[ab-]", L"C:\\ab-\\"},
      {L"C:\\", L"[-a-b]", L"C:\\-a-b\\"}, {L"", overlongEntry.c_str(), L""}};
  for (const auto& w : walks) {
    wchar_t converted[kChooserFolderSize] = L"garbage", next[kChooserFolderSize] = L"garbage";
    const bool moved = ChooserEntryPath(w[1], converted, kChooserFolderSize) &&
                      NextChooserFolder(w[0], converted, next, kChooserFolderSize);
    EXPECT_EQ(std::wstring(moved ? next : L""), w[2]) << &w - walks;
  }
}

}  // namespace
