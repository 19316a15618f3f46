#ifdef _WIN32
// Before the storage headers: <windows.h> defines a Yield() macro that they undo.
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "storage/crc32.h"
#include "storage/file_storage.h"
#include "tests/storage/storage_test_util.h"

#if defined(__SANITIZE_ADDRESS__)
// Lets a 2 GiB buffer fail for real, as it does in a 32-bit process, instead
// of aborting the test.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}
#define HUGE_ALLOCATION_FAILS 1
#elif defined(_WIN32) && !defined(_WIN64)
#define HUGE_ALLOCATION_FAILS 1
#endif

namespace {

constexpr std::int32_t kBuffer = 4096;

std::uint32_t StandardCrc(const std::string& data) {
  return ~UpdateCrc32Bytewise(0xFFFFFFFFu, reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

TEST(Crc32, ReferenceIsTheStandardReflectedCrc) {
  EXPECT_EQ(0xCBF43926u, StandardCrc("123456789"));
  EXPECT_EQ(0x352441C2u, StandardCrc("abc"));
  EXPECT_EQ(0x00000000u, StandardCrc(""));
}

using Crc32Update = std::uint32_t (*)(std::uint32_t, const unsigned char*, std::size_t);

TEST(Crc32, FastFormsGiveTheReferenceRegisterForEveryLengthAndAlignment) {
  // The dispatch must take the folding form wherever the processor can run
  // it; asked here through the compiler's own CPU probe.
#if ADDON_CRC32_FOLDING
  const bool carrylessMultiply = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
#else
  const bool carrylessMultiply = false;
#endif
  ASSERT_EQ(carrylessMultiply, Crc32FoldingAvailable());
  EXPECT_EQ(carrylessMultiply ? Crc32Form::Folding : Crc32Form::Slicing16, Crc32DispatchForm());
  std::vector<std::pair<const char*, Crc32Update>> forms = {{"slicing16", UpdateCrc32Slicing16},
                                                            {"dispatch", UpdateCrc32}};
#if ADDON_CRC32_FOLDING
  if (carrylessMultiply) forms.emplace_back("folding", UpdateCrc32Folding);
#endif

  const std::size_t kLongest = 65536 + 33;
  const std::string text = Pattern(kLongest + 16);
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  // Lengths 0..300 (every tail after whole steps of 16 and 64 bytes), a
  // storage buffer and a long odd run, at every offset, from registers other
  // than the usual start too.
  std::vector<std::size_t> lengths = {4096, kLongest};
  for (std::size_t length = 0; length <= 300; ++length) lengths.push_back(length);
  for (const std::uint32_t start : {0xFFFFFFFFu, 0u, 0x12345678u}) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      for (const std::size_t length : lengths) {
        const std::uint32_t expected = UpdateCrc32Bytewise(start, data + offset, length);
        for (const auto& [name, update] : forms) {
          ASSERT_EQ(expected, update(start, data + offset, length))
              << name << " offset " << offset << " length " << length;
        }
      }
    }
  }
  // Split anywhere, the pieces chain to the same register.
  const std::uint32_t whole = UpdateCrc32Bytewise(0xFFFFFFFFu, data, 1000);
  for (const auto& [name, update] : forms) {
    for (std::size_t split = 0; split <= 1000; split += 7) {
      ASSERT_EQ(whole, update(update(0xFFFFFFFFu, data, split), data + split, 1000 - split)) << name << split;
    }
  }
}

TEST(Storage, WriteCharFlushesOnlyWhenTheBufferIsFull) {
  TempFolder folder;
  for (const int count : {kBuffer - 1, kBuffer, kBuffer + 1, 2 * kBuffer + 1}) {
    SCOPED_TRACE(count);
    const std::string path = folder.File("out.bin");
    const std::string data = Pattern(static_cast<std::size_t>(count));
    RecordingMonitor monitor;
    ALFileStorage output(path.c_str(), kBuffer, CaseInsensitive);
    ASSERT_EQ(0, output.Create(-1));
    output.monitor = &monitor;
    for (const char c : data) ASSERT_EQ(static_cast<unsigned char>(c), output.WriteChar(c));
    EXPECT_EQ(count, output.Tell());
    // A flush happens only to make room for a further byte.
    const int flushes = (count - 1) / kBuffer;
    ASSERT_EQ(static_cast<std::size_t>(flushes), monitor.calls.size());
    for (int i = 0; i < flushes; ++i) EXPECT_EQ((i + 1) * kBuffer, monitor.calls[i].first);
    EXPECT_EQ(count - flushes * kBuffer, output.writeCount);
    EXPECT_EQ(flushes * kBuffer, output.filePosition);
    EXPECT_EQ(static_cast<std::size_t>(flushes * kBuffer), ReadWholeFile(path).size());
    EXPECT_EQ(0, output.Close());
    EXPECT_EQ(count, output.size);
    EXPECT_EQ(data, ReadWholeFile(path));
  }
}

TEST(Storage, CrcCoversExactlyTheBytesThatPassedWhileOn) {
  TempFolder folder;
  const std::string path = folder.File("crc.bin");
  {
    ALFileStorage output(path.c_str(), kBuffer, CaseInsensitive);
    // Started before Create: Create switches it off again.
    output.StartCrc32(0x12345678u);
    ASSERT_EQ(0, output.Create(-1));
    EXPECT_EQ(0, output.crcEnabled);
    output.WriteChar('z');
    ASSERT_EQ(0, output.FlushBuffer());
    EXPECT_EQ(0xFFFFFFFFu, output.crc);  // off: nothing computed

    output.StartCrc32(0xFFFFFFFFu);
    for (const char c : std::string("abc")) output.WriteChar(c);
    EXPECT_EQ(0xFFFFFFFFu, output.crc);  // still in the buffer
    ASSERT_EQ(0, output.FlushBuffer());
    EXPECT_EQ(0x352441C2u, ~output.crc);
    EXPECT_EQ(0, output.Close());
  }
  // Reading runs it over every loaded buffer.
  const std::string data = Pattern(3 * kBuffer + 123);
  WriteWholeFile(path, data);
  ALFileStorage input(path.c_str(), kBuffer, CaseInsensitive);
  ASSERT_EQ(0, input.Open());
  input.StartCrc32(0xFFFFFFFFu);
  while (input.ReadChar() >= 0) {
  }
  EXPECT_EQ(StandardCrc(data), ~input.crc);
}

TEST(Storage, TellMonitorAndEndOfDataFollowTheLogicalPosition) {
  TempFolder folder;
  const std::string path = folder.File("data.bin");
  const std::string data = Pattern(2 * kBuffer + 100);
  WriteWholeFile(path, data);
  RecordingMonitor monitor;
  ALFileStorage input(path.c_str(), kBuffer, CaseInsensitive);
  ASSERT_EQ(0, input.Open());
  input.monitor = &monitor;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(static_cast<unsigned char>(data[i]), input.ReadChar());
  EXPECT_EQ(10, input.Tell());
  while (input.ReadChar() >= 0) {
  }
  EXPECT_EQ(static_cast<std::int32_t>(data.size()), input.Tell());
  ASSERT_EQ(3u, monitor.calls.size());
  for (std::size_t i = 0; i < monitor.calls.size(); ++i) {
    EXPECT_EQ(static_cast<std::int32_t>(i) * kBuffer, monitor.calls[i].first);
    EXPECT_EQ(&input, monitor.calls[i].second);
  }
  // End of data is returned again and again and never recorded.
  for (int again = 0; again < 3; ++again) EXPECT_EQ(-1, input.ReadChar());
  EXPECT_EQ(StatusOk, input.status.code);
  EXPECT_EQ(nullptr, input.status.Text());
}

TEST(Storage, ErrorsStickButBufferedBytesAreStillHandedOut) {
  TempFolder folder;
  const std::string path = folder.File("data.bin");
  const std::string other = folder.File("other.bin");
  WriteWholeFile(path, "0123456789");
  WriteWholeFile(other, "x");
  ALFileStorage input(path.c_str(), kBuffer, CaseInsensitive);
  ASSERT_EQ(0, input.Open());
  for (const char expected : std::string("012")) EXPECT_EQ(expected, input.ReadChar());
  // A real failure that leaves the buffer alone.
  ASSERT_EQ(StatusRenameFailed, input.Rename(other.c_str(), 0));
  for (const char expected : std::string("3456789")) EXPECT_EQ(expected, input.ReadChar());
  EXPECT_EQ(StatusRenameFailed, input.ReadChar());
  EXPECT_EQ(StatusRenameFailed, input.LoadBuffer(0));
  EXPECT_EQ(StatusRenameFailed, input.FlushBuffer());
  EXPECT_EQ(StatusRenameFailed, input.Seek(0));
  EXPECT_EQ(StatusRenameFailed, input.Close());
  EXPECT_EQ("x", ReadWholeFile(other));

  // A storage whose open failed (missing file) creates nothing.
  const std::string missing = folder.File("missing.bin");
  ALFileStorage failed(missing.c_str(), kBuffer, CaseInsensitive);
  ASSERT_EQ(StatusOpenFailed, failed.Open());
  ExpectStatus(failed, StatusOpenFailed, "File open failure.  Open of " + missing + " returned errno = 2");
  EXPECT_EQ(-1, failed.handle);
  EXPECT_EQ(StatusOpenFailed, failed.Create(-1));
  EXPECT_EQ(StatusOpenFailed, failed.Open());
  EXPECT_FALSE(FileExists(missing));
}

TEST(Storage, BytesAreWrittenAndReadInTheStatedEncoding) {
  TempFolder folder;
  const std::string path = folder.File("settings.bin");
  {
    ALFileStorage output(path.c_str(), kBuffer, CaseInsensitive);
    ASSERT_EQ(0, output.Create(-1));
    EXPECT_EQ(0xFF, output.WriteChar(0x1FF));  // only the low byte
    EXPECT_EQ(0xFF, output.WriteChar(-1));
    EXPECT_EQ(0, output.WriteBigEndian16(0xA1B2));
    EXPECT_EQ(0, output.WriteSettings(output));  // the settings block: a 16-bit zero
    EXPECT_EQ(0, output.Close());
  }
  EXPECT_EQ(std::string("\xFF\xFF\xA1\xB2\0\0", 6), ReadWholeFile(path));
  WriteWholeFile(path, std::string("\xA1\xB2\0\0\x7F", 5));
  ALFileStorage input(path.c_str(), kBuffer, CaseInsensitive);
  ASSERT_EQ(0, input.Open());
  std::uint16_t value = 0;
  EXPECT_EQ(0, input.ReadBigEndian16(value));
  EXPECT_EQ(0xA1B2, value);
  EXPECT_EQ(0, input.ReadSettings(input));
  EXPECT_EQ(0x7F, input.ReadChar());
  // At end of data nothing is recorded and the value is all ones.
  EXPECT_EQ(0, input.ReadBigEndian16(value));
  EXPECT_EQ(0xFFFF, value);
}

TEST(Storage, BufferThatCannotBeHadIsReportedByOpenAndCreate) {
  TempFolder folder;
  const std::string path = folder.File("data.bin");
  WriteWholeFile(path, "data");
  std::vector<std::int32_t> sizes = {0, -1, INT32_MIN};
#ifdef HUGE_ALLOCATION_FAILS
  sizes.push_back(INT32_MAX);
#endif
  for (const std::int32_t size : sizes) {
    SCOPED_TRACE(size);
    ALFileStorage input(path.c_str(), size, CaseInsensitive);
    EXPECT_EQ(StatusOutOfMemory, input.Open());
    ExpectStatus(input, StatusOutOfMemory, "Allocation of buffer failed in Open()");
    EXPECT_EQ(nullptr, input.buffer);
    ALFileStorage output(folder.File("out.bin").c_str(), size, CaseInsensitive);
    EXPECT_EQ(StatusOutOfMemory, output.Create(-1));
    ExpectStatus(output, StatusOutOfMemory, "Allocation of buffer failed in Open()");
    EXPECT_EQ(StatusOutOfMemory, output.Close());
  }
}

#ifdef _WIN32
TEST(Storage, YieldRemovesAndDispatchesEveryWaitingMessage) {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread gets its queue
  const DWORD thread = GetCurrentThreadId();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(PostThreadMessageA(thread, WM_APP + i, 0, 0));
  PostQuitMessage(0);
  ALFileStorage storage("", kBuffer, CaseInsensitive);
  storage.Yield();
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
}
#endif

}  // namespace
