// The install layer's portable logic: the payload table, the change
// records a cut-off run is set right from, and which names and folders the
// driver takes. What the driver does with them, the end-to-end tests show
// through the real installer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/install/change_record.h"
#include "app/install/install_names.h"
#include "app/install/payload_table.h"
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

// The driver passes device names over (the end-to-end list holds two) and
// installs only into an absolute folder.
TEST(InstallNames, DeviceNamesAndAbsoluteFoldersAreKnown) {
  for (const char* name : {"CON", "prn", "aUx", "Nul", "COM1", "com9", "lPt1", "LPT9"}) EXPECT_TRUE(IsDeviceName(name)) << name;
  for (const char* name : {"com0", "COM10", "CONX", "lpt", "NU", "p0046", "LPT0", "NULL"}) EXPECT_FALSE(IsDeviceName(name)) << name;
  for (const char* dir : {"A:\\", "Z:\\V", "a:\\", "z:\\", "\\\\s"}) EXPECT_TRUE(IsAbsoluteFolder(dir)) << dir;
  for (const char* dir : {"", "C:", "C:V", "@:\\", "[:\\", "`:\\", "{:\\", "\\Ve", "\\\\", "\\\\\\s", "V", "ab\\"})
    EXPECT_FALSE(IsAbsoluteFolder(dir)) << dir;
}

}  // namespace
