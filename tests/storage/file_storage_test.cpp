#ifdef _WIN32
// Before the storage headers: <windows.h> defines a Yield() macro that they undo.
#include <windows.h>
#include <io.h>
#include <share.h>
#include <fcntl.h>
#endif

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/file_storage.h"
#include "tests/storage/storage_test_util.h"

namespace {

constexpr std::int32_t kBuffer = 4096;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

TEST(FileStorage, ReadOnlyFileOpensThroughTheFallbackAndReadsFromAnyPosition) {
  TempFolder folder;
  const std::string path = folder.File("package.ppk");
  const std::string data = Pattern(10000);
  WriteWholeFile(path, data);
  // 2001-02-03 04:05:07 UTC: an odd second, which a DOS stamp cannot keep.
  const long long modified = 981173107;
  SetModificationTimeUtc(path, modified);
  MakeReadOnly(path);

  ALFileStorage input(path.c_str(), kBuffer, CaseInsensitive);
  ASSERT_EQ(0, input.Open());
  EXPECT_EQ(10000, input.size);
  EXPECT_NE(0, input.attributes.bits & ALAttributeFlags::kReadOnly);
  const std::time_t seconds = static_cast<std::time_t>(modified);
  const std::tm local = *std::localtime(&seconds);
  const ALTimeStamp& t = input.timeDate;
  EXPECT_EQ((std::vector<int>{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                              local.tm_sec}),
            (std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}));
  std::string read;
  for (int c; (c = input.ReadChar()) >= 0;) read.push_back(static_cast<char>(c));
  EXPECT_EQ(data, read);

  const auto buffered = [&input] { return std::string(reinterpret_cast<const char*>(input.buffer.get()), kBuffer); };
  ASSERT_EQ(kBuffer, input.LoadBuffer(100));
  EXPECT_EQ(100 + kBuffer, input.filePosition);
  EXPECT_EQ(data.substr(100, kBuffer), buffered());
  // Back to the start; at filePosition the next buffer follows without a seek.
  ASSERT_EQ(kBuffer, input.LoadBuffer(0));
  ASSERT_EQ(kBuffer, input.LoadBuffer(input.filePosition));
  EXPECT_EQ(data.substr(kBuffer, kBuffer), buffered());
  EXPECT_EQ(10000 - 2 * kBuffer, input.LoadBuffer(input.filePosition));
  EXPECT_EQ(-1, input.LoadBuffer(input.filePosition));
  EXPECT_EQ(10000, input.filePosition);
  EXPECT_EQ(0, input.Close());
  EXPECT_EQ(modified, ModificationTimeUtc(path));  // Close of an opened file stamps nothing
}

TEST(FileStorage, CreateMakesMissingFoldersTruncatesAndReportsWhatItCannotCreate) {
  TempFolder folder;
#ifdef _WIN32
  // Both separators count on Windows.
  const std::string path = folder.Path() + "\\new one/two\\three/module.dll";
#else
  const std::string path = folder.Path() + "/new one/two/three/module.dll";
#endif
  for (const std::string& content : {std::string("first and longer"), std::string("second")}) {
    ALFileStorage output(path.c_str(), kBuffer, CaseInsensitive);
    ASSERT_EQ(0, output.Create(-1)) << (output.status.Text() ? output.status.Text() : "");
    for (const char c : content) output.WriteChar(c);
    EXPECT_EQ(0, output.Close());
    EXPECT_EQ(content, ReadWholeFile(path));
  }

  // Over a read-only file: refused at once, the file kept.
  MakeReadOnly(path);
  ALFileStorage output(path.c_str(), kBuffer, CaseInsensitive);
  EXPECT_EQ(StatusOpenFailed, output.Create(-1));
  ExpectStatus(output, StatusOpenFailed, "File creation failure.  Open of " + path + " returned errno = 13");
  EXPECT_EQ("second", ReadWholeFile(path));

  // A name ending in a separator: whatever the system's errno, it is reported.
  const std::string dir = folder.Path() + kSeparator + "newdir" + kSeparator;
  ALFileStorage onDir(dir.c_str(), kBuffer, CaseInsensitive);
  EXPECT_EQ(StatusOpenFailed, onDir.Create(-1));
  ASSERT_NE(nullptr, onDir.status.Text());
  const std::string prefix = "File creation failure.  Open of " + dir + " returned errno = ";
  EXPECT_EQ(prefix, std::string(onDir.status.Text()).substr(0, prefix.size()));
  EXPECT_NE("0", std::string(onDir.status.Text()).substr(prefix.size()));
}

// Temporary names in a folder that does not exist: every open fails with
// errno 2, which is no reason to try the next number.
class TempNameInMissingFolder : public ALFileStorage {
 public:
  TempNameInMissingFolder() : ALFileStorage("", kBuffer, CaseInsensitive) {}
  void SetTempName(int number) override {
    ++calls;
    char temp[64];
    std::snprintf(temp, sizeof temp, "missing%c~al~%03d.tmp", kSeparator, number);
    name.SetName(temp);
  }
  int calls = 0;
};

TEST(FileStorage, TemporaryNamesSkipTakenNumbersOnlyAndGiveUpAfter1000) {
  TempFolder folder;
  CurrentFolder inside(folder.Path());
  {
    TempNameInMissingFolder output;
    EXPECT_EQ(StatusOpenFailed, output.Create(-1));
    ExpectStatus(output, StatusOpenFailed,
                 std::string("Temporary file creation failure.  Open of missing") + kSeparator +
                     "~al~000.tmp returned errno = 2");
    EXPECT_EQ(1, output.calls);
    EXPECT_STREQ("", output.name.GetName());
  }
  WriteWholeFile("~al~000.tmp", "taken");
  WriteWholeFile("~al~001.tmp", "taken");
  {
    ALFileStorage output("", kBuffer, CaseInsensitive);
    ASSERT_EQ(0, output.Create(-1));
    EXPECT_STREQ("~al~002.tmp", output.name.GetName());
    output.WriteChar('!');
    EXPECT_EQ(0, output.Close());
  }
  EXPECT_EQ("!", ReadWholeFile("~al~002.tmp"));
  EXPECT_EQ("taken", ReadWholeFile("~al~001.tmp"));

  for (int i = 3; i < 1000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "~al~%03d.tmp", i);
    WriteWholeFile(name, "");
  }
  ALFileStorage output("", kBuffer, CaseInsensitive);
  EXPECT_EQ(StatusOpenFailed, output.Create(-1));
  ExpectStatus(output, StatusOpenFailed,
               "Temporary file creation failure.  Tried 1000 times to open ~al~999.tmp (or a name something "
               "like that).");
  EXPECT_STREQ("", output.name.GetName());
}

TEST(FileStorage, WriteAndSeekFailuresAreReportedWithCountersKept) {
  TempFolder folder;
  const std::string path = folder.File("data.bin");
  WriteWholeFile(path, "0123456789");
  // Opened for reading only, the handle refuses writes (EBADF, 9).
  RecordingMonitor monitor;
  ALFileStorage storage(path.c_str(), kBuffer, CaseInsensitive);
  storage.readOnly = 1;
  ASSERT_EQ(0, storage.Open());
  storage.monitor = &monitor;
  for (int i = 0; i < 5; ++i) storage.WriteChar('w');
  EXPECT_EQ(StatusWriteFailed, storage.FlushBuffer());
  ExpectStatus(storage, StatusWriteFailed, "Write failure on " + path + ".  result = -1, errno = 9");
  EXPECT_EQ(5, storage.writeCount);
  EXPECT_EQ(0, storage.filePosition);
  EXPECT_TRUE(monitor.calls.empty());
  EXPECT_EQ(StatusWriteFailed, storage.Close());
  EXPECT_EQ("0123456789", ReadWholeFile(path));

  for (const bool bySeek : {true, false}) {
    ALFileStorage seeking(path.c_str(), kBuffer, CaseInsensitive);
    ASSERT_EQ(0, seeking.Open());
    EXPECT_EQ(StatusSeekFailed, bySeek ? seeking.Seek(-1) : seeking.LoadBuffer(-4096));
    ExpectStatus(seeking, StatusSeekFailed, "Seek failure on " + path + ".  errno = 22");
  }
#ifndef _WIN32
  // A device that is always full (ENOSPC, 28); WriteChar on a full buffer
  // returns the code and stores nothing.
  ALFileStorage full("/dev/full", 16, CaseInsensitive);
  ASSERT_EQ(0, full.Create(-1));
  for (int i = 0; i < 16; ++i) full.WriteChar(i);
  EXPECT_EQ(StatusWriteFailed, full.WriteChar('x'));
  ExpectStatus(full, StatusWriteFailed, "Write failure on /dev/full.  result = -1, errno = 28");
  EXPECT_EQ(16, full.writeCount);
  // Data that cannot be made to reach a disk (a device refuses to sync,
  // EINVAL) is a write failure too, not a success.
  ALFileStorage unsyncable("/dev/null", 16, CaseInsensitive);
  ASSERT_EQ(0, unsyncable.Create(-1));
  unsyncable.WriteChar('x');
  EXPECT_EQ(StatusWriteFailed, unsyncable.Commit());
  ExpectStatus(unsyncable, StatusWriteFailed, "Write failure on /dev/null.  result = -1, errno = 22");
  EXPECT_EQ(0, unsyncable.writeCount) << "the pending byte was written before the sync";
#endif
}

TEST(FileStorage, ReadFailureIsReported) {
  TempFolder folder;
#ifdef _WIN32
  // A handle that may only write cannot be read (EBADF, 9): the storage's
  // handle is replaced by one opened for writing only.
  const std::string path = folder.File("write-only.bin");
  WriteWholeFile(path, Pattern(100));
  const std::string expectedErrno = "9";
#else
  // A folder opens for reading but cannot be read (EISDIR, 21).
  const std::string path = folder.Path();
  const std::string expectedErrno = "21";
#endif
  ALFileStorage input(path.c_str(), kBuffer, CaseInsensitive);
  input.readOnly = 1;
  ASSERT_EQ(0, input.Open());
#ifdef _WIN32
  const int writer = _sopen(path.c_str(), _O_WRONLY | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(0, _dup2(writer, input.handle));
  _close(writer);
#endif
  EXPECT_EQ(StatusReadFailed, input.ReadChar());
  ExpectStatus(input, StatusReadFailed, "Read failure on " + path + ".  errno = " + expectedErrno);
}

TEST(FileStorage, PositionsBeyond2GiBAreRefusedInsteadOfWrapping) {
  TempFolder folder;
  const std::string path = folder.File("big.bin");
  {
    ALFileStorage output(path.c_str(), kBuffer, CaseInsensitive);
    ASSERT_EQ(0, output.Create(-1));
    output.filePosition = INT32_MAX - 10;  // as if 2 GiB had been written
    for (int i = 0; i < 10; ++i) output.WriteChar('a');
    ASSERT_EQ(0, output.FlushBuffer());  // exactly up to the last position
    EXPECT_EQ(INT32_MAX, output.filePosition);
    output.WriteChar('b');
    EXPECT_EQ(StatusWriteFailed, output.FlushBuffer());
    ExpectStatus(output, StatusWriteFailed, "Write failure on " + path + ".  result = -1, errno = 27");
    EXPECT_EQ(INT32_MAX, output.filePosition);
  }
  EXPECT_EQ(std::string(10, 'a'), ReadWholeFile(path));
  for (const std::int32_t room : {10, 9}) {
    ALFileStorage input(path.c_str(), kBuffer, CaseInsensitive);
    ASSERT_EQ(0, input.Open());
    input.filePosition = INT32_MAX - room;  // the file pointer is still at 0
    const int result = input.LoadBuffer(input.filePosition);
    if (room == 10) {
      EXPECT_EQ(10, result);
      EXPECT_EQ(INT32_MAX, input.filePosition);
    } else {
      EXPECT_EQ(StatusReadFailed, result);
      ExpectStatus(input, StatusReadFailed, "Read failure on " + path + ".  errno = 27");
      EXPECT_EQ(INT32_MAX - room, input.filePosition);
    }
  }
}

TEST(FileStorage, RenameToTheSameNameIsRefusedUnlessCaseCounts) {
  for (const ALCaseMode mode : {CaseUpper, CaseLower, CaseInsensitive, CaseSensitive}) {
    TempFolder folder;
    CurrentFolder inside(folder.Path());
    WriteWholeFile(mode == CaseUpper ? "A.DLL" : "a.dll", "module");
    ALFileStorage storage("a.dll", kBuffer, mode);
    const std::string source = storage.name.GetName();
    const int result = storage.Rename("A.DLL", 1);
    if (mode != CaseSensitive) {
      EXPECT_EQ(StatusRenameFailed, result) << mode;
      ExpectStatus(storage, StatusRenameFailed,
                   "Error attempting to rename " + source + " to A.DLL.  Can't rename to the same name!");
      EXPECT_EQ("module", ReadWholeFile(source));
      EXPECT_STREQ(source.c_str(), storage.name.GetName());
      continue;
    }
    // The names differ, so the target is deleted and the file renamed; where
    // the file system ignores case the target is the file itself and must
    // survive.
    EXPECT_EQ(0, result) << (storage.status.Text() ? storage.status.Text() : "");
    EXPECT_STREQ("A.DLL", storage.name.GetName());
    EXPECT_STREQ("a.dll", storage.name.GetOldName());
    EXPECT_EQ("module", ReadWholeFile("A.DLL"));
    std::string listed;
    for (const auto& entry : std::filesystem::directory_iterator(".")) listed += entry.path().filename().string() + ";";
#ifdef _WIN32
    // Which case the file system shows is its business; one file it is.
    for (char& c : listed) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
#endif
    EXPECT_EQ("A.DLL;", listed);
  }
}

TEST(FileStorage, RenameToBakBackAndDeleteMoveTheFileOrReportWhyNot) {
  TempFolder folder;
  const std::string dll = folder.File("p0046.dll");
  const std::string bak = folder.File("p0046.bak");
  WriteWholeFile(dll, "module");
  WriteWholeFile(bak, "stale backup");
  ALFileStorage storage(dll.c_str(), kBuffer, CaseInsensitive);
  // Without the delete step an existing target is never replaced.
  EXPECT_EQ(StatusRenameFailed, storage.Rename(bak.c_str(), 0));
  ExpectStatus(storage, StatusRenameFailed, "Error renaming " + dll + " to " + bak + ".  errno = 17");
  EXPECT_STREQ(dll.c_str(), storage.name.GetName());
  storage.status.SetError(StatusOk, nullptr);
  ASSERT_EQ(0, storage.RenameToBak(1));
  EXPECT_STREQ(bak.c_str(), storage.name.GetName());
  EXPECT_STREQ(dll.c_str(), storage.name.GetOldName());
  EXPECT_EQ("module", ReadWholeFile(bak));
  EXPECT_FALSE(FileExists(dll));

  // Back, but the old name is taken again: refused without the delete step.
  WriteWholeFile(dll, "newer");
  EXPECT_EQ(StatusRenameFailed, storage.RenameBack(0));
  ExpectStatus(storage, StatusRenameFailed, "Error renaming " + bak + " to " + dll + ".  errno = 17");
  storage.status.SetError(StatusOk, nullptr);
  ASSERT_EQ(0, storage.RenameBack(1));
  EXPECT_STREQ(dll.c_str(), storage.name.GetName());
  EXPECT_STREQ(bak.c_str(), storage.name.GetOldName());
  EXPECT_EQ("module", ReadWholeFile(dll));
  EXPECT_FALSE(FileExists(bak));

  // A target that cannot be deleted (a folder with something in it).
  const std::string busy = folder.File("busy");
  std::filesystem::create_directory(busy);
  WriteWholeFile(busy + kSeparator + "inside", "x");
  EXPECT_EQ(StatusRenameFailed, storage.Rename(busy.c_str(), 1));
  ASSERT_NE(nullptr, storage.status.Text());
  const std::string prefix = "Error deleting " + busy + " before renaming " + dll + ".  errno = ";
  EXPECT_EQ(prefix.substr(0, 128), std::string(storage.status.Text()).substr(0, prefix.size()));
  EXPECT_EQ("module", ReadWholeFile(dll));

  EXPECT_EQ(0, storage.Delete());
  EXPECT_FALSE(FileExists(dll));
  EXPECT_EQ(StatusDeleteFailed, storage.Delete());
  ExpectStatus(storage, StatusDeleteFailed, "Error deleting file " + dll + ", errno = 2 ");
}

#ifdef _WIN32
long long BiasNowSeconds() {
  TIME_ZONE_INFORMATION zone;
  const DWORD which = GetTimeZoneInformation(&zone);
  long long bias = zone.Bias * 60LL;
  if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias * 60LL;
  return bias;
}
#else
// A fixed zone three hours east of UTC, without daylight saving time.
struct EastZone {
  EastZone() {
    setenv("TZ", "XYZ-3", 1);
    tzset();
  }
  ~EastZone() {
    unsetenv("TZ");
    tzset();
  }
};
long long BiasNowSeconds() { return -3 * 3600; }
#endif

TEST(FileStorage, CloseStampsCreatedFilesWithLocalTimeAndAttributes) {
#ifndef _WIN32
  EastZone zone;
#endif
  TempFolder folder;
  struct Case {
    ALTimeStamp stamp;
    std::uint16_t attributes;
    long long utcSeconds;  // of the stamp taken as UTC; 0: the time is left alone
    bool readOnly;
  };
  const Case cases[] = {
      {{2000, 6, 15, 12, 0, 0}, ALAttributeFlags::kReadOnly, 961070400, true},
      // DOS times count in steps of two seconds.
      {{2000, 6, 15, 12, 0, 1}, 0, 961070400, false},
      // Past 2038 (2040-02-29 23:59:58): no 32-bit wrap.
      {{2040, 2, 29, 23, 59, 58}, 0, 2214172798, false},
      // "Clear all" wins over read-only.
      {{2001, 1, 1, 0, 0, 0}, ALAttributeFlags::kClearAll | ALAttributeFlags::kReadOnly, 978307200, false},
      // Years a DOS date cannot hold, and no stamp at all.
      {{1979, 12, 31, 12, 0, 0}, 0, 0, false},
      {{2108, 1, 1, 12, 0, 0}, 0, 0, false},
      {{0, 0, 0, 0, 0, 0}, ALAttributeFlags::kReadOnly, 0, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stamp.year);
    const std::string path = folder.File("stamped" + std::to_string(index++) + ".dll");
    const long long before = static_cast<long long>(std::time(nullptr));
    ALFileStorage output(path.c_str(), kBuffer, CaseInsensitive);
    ASSERT_EQ(0, output.Create(-1));
    output.WriteChar('m');
    output.timeDate = c.stamp;
    output.attributes.bits = c.attributes;
    EXPECT_EQ(0, output.Close());
    EXPECT_EQ(0, output.created);
    EXPECT_EQ(1, output.size);
    EXPECT_EQ("m", ReadWholeFile(path));
    if (c.utcSeconds != 0) {
      EXPECT_EQ(c.utcSeconds + BiasNowSeconds(), ModificationTimeUtc(path));
    } else {
      EXPECT_GE(ModificationTimeUtc(path), before - 5);
    }
    EXPECT_EQ(c.readOnly, IsReadOnly(path));
  }
}

TEST(FileStorage, NewStorageMakesFileStoragesForFileTypeCodesOnly) {
  ALFileStorage storage("x", 16, CaseSensitive);
  for (const std::int32_t code : {-1, 1, 0, 100}) {
    const std::unique_ptr<ALStorage> made = storage.NewStorage("made.dll", code);
    const auto* file = dynamic_cast<ALFileStorage*>(made.get());
    ASSERT_EQ(code == -1 || code == 1, file != nullptr) << code;
    if (file == nullptr) continue;
    EXPECT_EQ(4096, file->bufferSize);
    EXPECT_EQ(CaseInsensitive, file->name.CaseMode());
    EXPECT_STREQ("made.dll", file->name.GetName());
  }
}

}  // namespace
