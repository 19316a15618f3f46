// The installer's portable logic where the real program cannot take it:
// blits off every edge and mirrored, damaged bitmaps, the banner's bounds,
// the chooser's corner cases. What the program draws and walks in ordinary
// use, the GUI and end-to-end suites see on the screen.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>
#include <vector>

#include "app/dialogs/chooser_walk.h"
#include "app/install/change_record.h"
#include "app/install/payload_table.h"
#include "app/picture/banner.h"
#include "app/picture/dib_layout.h"
#include "app/picture/indexed_image.h"
#include "tests/support/test_files.h"

namespace {

// A name that begins like another's, a line cut short before the next one,
// signs, overlong figures, trailing bytes, the last line without a line feed.
TEST(PayloadTable, OnlyAWholeLineOfExactlyTheNameCounts) {
  const std::string table =
      "p00461 11 b\np0046 3072 A1B2C3D4\nq1 5\nc1 1 2\nm1 -5 7\nm2 5 -7\nm3 4294967296 1\nm4 1 123456789\n"
      "m5 1 2 3\nm6 01 0a\np004 4294967295  FFFFFFFF";
  const struct {
    const char* name;
    bool found;
    std::uint32_t size;
    std::uint32_t crc;
  } cases[] = {{"p0046", true, 3072, 0xA1B2C3D4u}, {"p004", true, 4294967295u, 0xFFFFFFFFu}, {"m6", true, 1, 10},
               {"p00461", true, 11, 0xB}, {"q1", false, 0, 0}, {"m1", false, 0, 0}, {"m2", false, 0, 0},
               {"m3", false, 0, 0}, {"m4", false, 0, 0}, {"m5", false, 0, 0}, {"x9", false, 0, 0}};
  for (const auto& c : cases) {
    std::uint32_t size = 99;
    std::uint32_t crc = 99;
    EXPECT_EQ(FindPayload(table.data(), table.size(), c.name, &size, &crc), c.found) << c.name;
    EXPECT_EQ(size, c.found ? c.size : 99u) << c.name;
    EXPECT_EQ(crc, c.found ? c.crc : 99u) << c.name;
  }
  // Only the bytes given are read: a table cut after "p0046 30".
  std::uint32_t size = 0;
  std::uint32_t crc = 0;
  EXPECT_FALSE(FindPayload(table.data(), table.find("3072") + 2, "p0046", &size, &crc));
}

// A record comes back as it was written, and cut short at any point, longer
// or with any byte changed it is no record.
TEST(ChangeRecord, ReadsBackWholeOrNotAtAll) {
  const ChangeRecord record{3072, 0xA1B2C3D4u,
                            {{"plants", "p0046", true, 1, {'O', 0, 'l', 0, 'd', 0, 0, 0}},
                             {"seeds", "p0046", false, 0, {}},
                             {"aniint", "p0046-0", true, 3, std::vector<unsigned char>(26, 7)}}};
  const std::vector<unsigned char> bytes = EncodeChangeRecord(record);
  ChangeRecord read;
  ASSERT_TRUE(DecodeChangeRecord(bytes.data(), bytes.size(), &read));
  EXPECT_EQ(read.moduleSize, 3072u);
  EXPECT_EQ(read.moduleCrc32, 0xA1B2C3D4u);
  ASSERT_EQ(read.previous.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read.previous[i].subKey, record.previous[i].subKey);
    EXPECT_EQ(read.previous[i].name, record.previous[i].name);
    EXPECT_EQ(read.previous[i].existed, record.previous[i].existed);
    EXPECT_EQ(read.previous[i].type, record.previous[i].type);
    EXPECT_EQ(read.previous[i].data, record.previous[i].data);
  }
  for (size_t length = 0; length < bytes.size(); ++length) {
    EXPECT_FALSE(DecodeChangeRecord(bytes.data(), length, &read)) << "cut at " << length;
  }
  std::vector<unsigned char> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DecodeChangeRecord(longer.data(), longer.size(), &read));
  for (size_t at = 0; at < bytes.size(); ++at) {
    std::vector<unsigned char> changed = bytes;
    changed[at] ^= 0x01;
    EXPECT_FALSE(DecodeChangeRecord(changed.data(), changed.size(), &read)) << "byte " << at;
  }
  // A value too large to keep makes no record (nothing may change then).
  const ChangeRecord large{1, 1, {{"plants", "p0046", true, 1, std::vector<unsigned char>(kMaxRecordedValueSize + 1)}}};
  EXPECT_TRUE(EncodeChangeRecord(large).empty());
}

// Records go to a new file at the first free name and are read back only
// from a plain file there: a link at a name is passed over and never read
// through; a file cut short is told from one that cannot be read.
TEST(ChangeRecord, IsWrittenNewAndReadOnlyFromAPlainFile) {
  TempFolder folder;
  const std::string module = folder.File("m.dll");
  WriteWholeFile(folder.File("victim"), "not a record");
  std::filesystem::create_symlink(folder.File("victim"), ChangeRecordName(module, 0));
  const ChangeRecord record{7, 9, {{"plants", "m", false, 0, {}}}};
  std::string path;
  ASSERT_EQ(WriteChangeRecord(module, record, &path), 0);
  EXPECT_EQ(path, ChangeRecordName(module, 1));
  EXPECT_EQ(ReadWholeFile(folder.File("victim")), "not a record");
  ChangeRecord read;
  EXPECT_EQ(ReadChangeRecord(path, &read), RecordFound::Whole);
  EXPECT_EQ(read.moduleCrc32, 9u);
  EXPECT_EQ(ReadChangeRecord(ChangeRecordName(module, 0), &read), RecordFound::Unreadable);
  EXPECT_EQ(ReadChangeRecord(ChangeRecordName(module, 2), &read), RecordFound::None);
  const std::string whole = ReadWholeFile(path);
  WriteWholeFile(ChangeRecordName(module, 3), whole.substr(0, whole.size() - 1));
  EXPECT_EQ(ReadChangeRecord(ChangeRecordName(module, 3), &read), RecordFound::Torn);
  // A whole record that another user made is none of the installer's (it
  // would decide what goes into the registry); giving it away needs root.
  WriteWholeFile(ChangeRecordName(module, 4), whole);
  if (chown(ChangeRecordName(module, 4).c_str(), 54321, 54321) == 0) {
    EXPECT_EQ(ReadChangeRecord(ChangeRecordName(module, 4), &read), RecordFound::Unreadable);
  }
  EXPECT_EQ(RemoveChangeRecord(path), 0);
  EXPECT_FALSE(FileExists(path));
}

// Restoring from a record touches only the values of the component it names.
TEST(ChangeRecord, OnlyTheComponentsOwnValuesAreItsValues) {
  const char* const ours[][2] = {{"plants", "p0046"}, {"seeds", "P0046"}, {"specials", "p0046"},
                                 {"aniint", "p0046-0"}, {"soundint", "P0046-12"}};
  const char* const others[][2] = {{"general", "dir"},    {"plants", "p00461"},  {"aniint", "p0046-"},
                                   {"aniint", "p0046-01"}, {"aniint", "p00461-0"}, {"aniint", "p0046-x"},
                                   {"Plants", "p0046"},    {"plants\\x", "p0046"}};
  for (const auto& [subKey, name] : ours) EXPECT_TRUE(IsComponentValue({subKey, name}, "p0046")) << subKey << name;
  for (const auto& [subKey, name] : others) EXPECT_FALSE(IsComponentValue({subKey, name}, "p0046")) << subKey << name;
  // Record names keep 20 characters of a longer base name.
  EXPECT_TRUE(IsComponentValue({"aniint", "abcdefghijklmnopqrst-3"}, "abcdefghijklmnopqrstuvwxy"));
}

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
