#include "decode/copy_decoder.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/deflate_streams.h"
#include "tests/support/memory_storage.h"

namespace {

using deflate_streams::Bytes;
using deflate_streams::Crc32;
using deflate_streams::ModuleLike;

constexpr std::int32_t kBuffer = 4096;

std::string Text(const ALStatusRecord& s) { return s.Text() ? s.Text() : ""; }

TEST(CopyDecoder, CopiesInputsAroundBufferBoundariesWhole) {
  for (std::size_t size : {0, 1, 4095, 4096, 4097, 8193, 20000}) {
    SCOPED_TRACE(size);
    const Bytes data = ModuleLike(size, 3);
    ALMemoryStorage input("in.bin", kBuffer, data);
    ALMemoryStorage output("out.bin", kBuffer);
    ALCopyDecoder decoder;
    EXPECT_EQ(decoder.Decompress(input, output, -1), 0);
    EXPECT_EQ(output.content, data);  // the scope's Close wrote the last bytes
    EXPECT_EQ(~output.crc, Crc32(data));
    EXPECT_FALSE(input.IsOpen());
    EXPECT_FALSE(output.IsOpen());
  }
}

TEST(CopyDecoder, CopiesExactlyTheCountAndLeavesAnOpenInputBehindIt) {
  const Bytes data = ModuleLike(10000, 5);
  for (std::int32_t length : {0, 1, 4096, 9999, 10000, 20000}) {
    SCOPED_TRACE(length);
    ALMemoryStorage input("in.bin", kBuffer, data);
    ALMemoryStorage output("out.bin", kBuffer);
    ASSERT_EQ(input.Open(), 0);
    ASSERT_EQ(input.ReadChar(), data[0]);
    ALCopyDecoder decoder;
    EXPECT_EQ(decoder.Decompress(input, output, length), 0);
    const std::size_t copied = std::min<std::size_t>(static_cast<std::size_t>(length), data.size() - 1);
    EXPECT_EQ(output.content, Bytes(data.begin() + 1, data.begin() + 1 + static_cast<std::ptrdiff_t>(copied)));
    EXPECT_TRUE(input.IsOpen());
    EXPECT_EQ(input.Tell(), static_cast<std::int32_t>(1 + copied));
  }
}

TEST(CopyDecoder, LeavesTheLastBytesPendingInAnOutputOpenOnEntry) {
  ALMemoryStorage input("in.bin", kBuffer, Bytes{1, 2, 3});
  ALMemoryStorage output("out.bin", kBuffer);
  ASSERT_EQ(output.Create(-1), 0);
  ALCopyDecoder decoder;
  EXPECT_EQ(decoder.Decompress(input, output, -1), 0);
  EXPECT_TRUE(output.IsOpen());
  EXPECT_EQ(output.writeCount, 3);
  EXPECT_EQ(output.Close(), 0);
  EXPECT_EQ(output.content, (Bytes{1, 2, 3}));
}

TEST(CopyDecoder, ReportsAFailedFinalWriteInTheOutputsClose) {
  // Smaller than one buffer: the only write is the one Close makes.
  ALMemoryStorage input("in.bin", kBuffer, ModuleLike(100, 7));
  ALMemoryStorage output("out.bin", kBuffer);
  output.failFlushAt = 0;
  ALCopyDecoder decoder;
  EXPECT_EQ(decoder.Decompress(input, output, -1), StatusWriteFailed);
  EXPECT_EQ(Text(decoder.status), "Write failure on out.bin.  result = -1, errno = 28");
}

TEST(CopyDecoder, ReportsWriteFailureAfterReadingTheInputToItsEnd) {
  ALMemoryStorage input("in.bin", 1000, ModuleLike(10000, 9));
  ALMemoryStorage output("out.bin", 1000);
  output.failFlushAt = 1;
  ALCopyDecoder decoder;
  ASSERT_EQ(input.Open(), 0);
  EXPECT_EQ(decoder.Decompress(input, output, -1), StatusWriteFailed);
  EXPECT_EQ(input.Tell(), 10000);
  EXPECT_EQ(output.content.size(), 1000u);
}

TEST(CopyDecoder, ReportsTheInputsErrorFirst) {
  {
    ALMemoryStorage input("in.bin", 1000, ModuleLike(5000, 11));
    ALMemoryStorage output("out.bin", 1000);
    input.failLoadAt = 2;
    output.failFlushAt = 0;
    ALCopyDecoder decoder;
    EXPECT_EQ(decoder.Decompress(input, output, -1), StatusReadFailed);
    EXPECT_EQ(Text(decoder.status), "Read failure on in.bin.  errno = 5");
  }
  {
    ALMemoryStorage input("in.bin", 1000, ModuleLike(5000, 11));
    ALMemoryStorage output("out.bin", 1000);
    input.status.SetError(StatusSeekFailed, "seek");
    output.status.SetError(StatusWriteFailed, "write");
    ALCopyDecoder decoder;
    EXPECT_EQ(decoder.Decompress(input, output, -1), StatusSeekFailed);
    EXPECT_EQ(Text(decoder.status), "seek");
    EXPECT_TRUE(output.content.empty());
  }
}

TEST(CopyDecoder, KeepsAnEarlierErrorAfterALaterGoodRun) {
  ALCopyDecoder decoder;
  ALMemoryStorage failing("bad.bin", kBuffer, Bytes{1});
  failing.failOpen = true;
  ALMemoryStorage out1("o1.bin", kBuffer);
  EXPECT_EQ(decoder.Decompress(failing, out1, -1), StatusOpenFailed);
  ALMemoryStorage good("good.bin", kBuffer, Bytes{4, 5});
  ALMemoryStorage out2("o2.bin", kBuffer);
  EXPECT_EQ(decoder.Decompress(good, out2, -1), StatusOpenFailed);
  EXPECT_EQ(out2.content, (Bytes{4, 5}));
}

}  // namespace
