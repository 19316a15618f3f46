#include "decode/inflate_decoder.h"

#include <algorithm>
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/deflate_streams.h"
#include "storage/memory_storage.h"

namespace {

using deflate_streams::Bytes;
using deflate_streams::Concat;
using deflate_streams::Crc32;
using deflate_streams::Deflate;
using deflate_streams::ModuleLike;

constexpr std::int32_t kBuffer = 4096;
const char kDataError[] = "Damaged or incomplete compressed data in pkg.ppk.";

bool IsPrefix(const Bytes& prefix, const Bytes& whole) {
  return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

// One installer-style run: both storages closed on entry, length -1.
struct Decoding {
  Decoding(const Bytes& package, std::int32_t inBuffer = kBuffer, std::int32_t outBuffer = kBuffer)
      : input("pkg.ppk", inBuffer, package), output("mod.dll", outBuffer) {}
  int Decode(std::int32_t length = -1) { return decoder.Decompress(input, output, length); }

  ALMemoryStorage input;
  ALMemoryStorage output;
  ALInflateDecoder decoder;
};

TEST(InflateDecoder, RoundTripsStreamsOfEveryLevelStrategyAndWindow) {
  const Bytes module = ModuleLike(70000);
  for (int level : {0, 1, 6, 9}) {
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
      for (int windowBits = -9; windowBits >= -15; --windowBits) {
        SCOPED_TRACE(testing::Message() << "level " << level << " strategy " << strategy << " window " << windowBits);
        const Bytes package = Deflate(module, level, windowBits, strategy);
        ASSERT_FALSE(package.empty());
        Decoding run(package);
        ASSERT_EQ(run.Decode(), 0) << StatusText(run.decoder.status);
        EXPECT_EQ(run.output.content, module);
        EXPECT_EQ(~run.output.crc, Crc32(module));
        // Each input buffer is loaded once, and handed over whole.
        EXPECT_EQ(run.input.successfulLoads, static_cast<int>((package.size() + kBuffer - 1) / kBuffer));
      }
    }
  }
}

TEST(InflateDecoder, WritesOnePieceOfAtMostOneBufferPerInflateCall) {
  const Bytes module = ModuleLike(50000, 7);
  for (std::int32_t inBuffer : {1, 3, 100, 4096, 70000}) {
    for (std::int32_t outBuffer : {1, 7, 4096, 100000}) {
      SCOPED_TRACE(testing::Message() << "buffers " << inBuffer << "/" << outBuffer);
      Decoding run(Deflate(module), inBuffer, outBuffer);
      ASSERT_EQ(run.Decode(), 0);
      EXPECT_EQ(run.output.content, module);
      std::size_t total = 0;
      for (std::int32_t piece : run.output.flushSizes) {
        EXPECT_GT(piece, 0);
        EXPECT_LE(piece, outBuffer);
        total += static_cast<std::size_t>(piece);
      }
      EXPECT_EQ(total, module.size());
    }
  }
}

TEST(InflateDecoder, ReportsEveryTruncationAsDataError) {
  const Bytes module = ModuleLike(3000, 3);
  const Bytes package = Deflate(module);
  for (std::size_t cut = 0; cut < package.size(); ++cut) {
    SCOPED_TRACE(testing::Message() << "cut at " << cut << " of " << package.size());
    Decoding run(Bytes(package.begin(), package.begin() + static_cast<std::ptrdiff_t>(cut)), 64, 64);
    EXPECT_EQ(run.Decode(), StatusDataError);
    EXPECT_EQ(StatusText(run.decoder.status), kDataError);
    // What was decoded before the cut is kept, and it is the module's start.
    EXPECT_TRUE(IsPrefix(run.output.content, module));
    EXPECT_FALSE(run.output.IsOpen());
    EXPECT_EQ(run.output.closeCalls, 1);
  }
}

TEST(InflateDecoder, AgreesWithZlibOnEverySingleBitFlip) {
  const Bytes package = Deflate(ModuleLike(1500, 5));
  int rejected = 0;
  for (std::size_t bit = 0; bit < package.size() * 8; ++bit) {
    SCOPED_TRACE(bit);
    Bytes damaged = package;
    damaged[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    const auto ref = deflate_streams::RawInflate(damaged.data(), damaged.size());
    Decoding run(damaged, 128, 128);
    const int rc = run.Decode();
    if (ref.complete) {
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(run.output.content, ref.output);
    } else {
      ++rejected;
      EXPECT_EQ(rc, StatusDataError);
      EXPECT_TRUE(IsPrefix(run.output.content, ref.output) || IsPrefix(ref.output, run.output.content));
    }
  }
  EXPECT_GT(rejected, 0);
}

TEST(InflateDecoder, IgnoresTrailingBytesAndDecodesPastABufferOfEmptyBlocks) {
  const Bytes module = ModuleLike(20000, 13);
  const Bytes emptyBlocks = deflate_streams::EmptyStoredBlocks(1000);
  ASSERT_GT(emptyBlocks.size(), 4096u);
  for (const Bytes& package : {Concat(Deflate(module), Bytes(5000, 0xEE)), Concat(emptyBlocks, Deflate(module))}) {
    Decoding run(package);
    EXPECT_EQ(run.Decode(), 0) << StatusText(run.decoder.status);
    EXPECT_EQ(run.output.content, module);
  }
}

TEST(InflateDecoder, LengthLimitsTheBytesFed) {
  const Bytes module = ModuleLike(30000, 17);
  const Bytes package = Deflate(module);
  const auto whole = static_cast<std::int32_t>(package.size());
  // Negative lengths other than -1 mean no limit too, and must not overrun.
  const std::int32_t lengths[] = {0, 1, whole / 2, whole - 1, whole, whole + 1000, -2, -4096, INT32_MIN};
  for (const std::int32_t length : lengths) {
    SCOPED_TRACE(testing::Message() << "length " << length);
    // Open on entry, so the position afterwards can be read.
    Decoding run(Concat(package, Bytes(100, 0)), 1024, 1024);
    ASSERT_EQ(run.input.Open(), 0);
    const int rc = run.Decode(length);
    EXPECT_TRUE(run.input.IsOpen());
    if (length == 0) {
      EXPECT_EQ(rc, 0);
      EXPECT_TRUE(run.output.content.empty());
      EXPECT_EQ(run.input.Tell(), 0);
    } else if (length > 0 && length < whole) {
      EXPECT_EQ(rc, StatusDataError);
      EXPECT_EQ(run.input.Tell(), length);  // exactly what was fed
      const auto ref = deflate_streams::RawInflate(package.data(), static_cast<std::size_t>(length));
      EXPECT_TRUE(IsPrefix(run.output.content, ref.output));
    } else {
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(run.output.content, module);
    }
  }
}

TEST(InflateDecoder, WritesPendingOutputBytesFirstAndCountsThemInTheCrc) {
  const Bytes module = ModuleLike(10000, 23);
  const Bytes pending = {'P', 'E', 'N', 'D'};
  Decoding run(Deflate(module));
  ASSERT_EQ(run.output.Create(-1), 0);
  for (unsigned char b : pending) run.output.WriteChar(b);
  EXPECT_EQ(run.Decode(), 0);
  EXPECT_TRUE(run.output.IsOpen());
  EXPECT_EQ(run.output.writeCount, 0);  // nothing decoded is left pending
  EXPECT_EQ(run.output.content, Concat(pending, module));
  EXPECT_EQ(~run.output.crc, Crc32(Concat(pending, module)));
}

TEST(InflateDecoder, ReportsWriteFailureBeforeDataError) {
  const Bytes package = Deflate(ModuleLike(40000, 31));
  Decoding run(Bytes(package.begin(), package.begin() + 100));
  run.output.failFlushAt = 0;
  EXPECT_EQ(run.Decode(), StatusWriteFailed);
}

int failAfter = 0;
voidpf FailingAlloc(voidpf, uInt items, uInt size) { return failAfter-- <= 0 ? Z_NULL : calloc(items, size); }
void PlainFree(voidpf, voidpf address) { free(address); }

TEST(InflateDecoder, ReportsOutOfMemoryForTheInflaterState) {
  const Bytes module = ModuleLike(5000, 43);
  const char* const messages[] = {"Allocation of inflate state failed in Decompress()",
                                  "Allocation of inflate window failed in Decompress()"};
  for (int allocationsThatWork : {0, 1}) {
    failAfter = allocationsThatWork;
    ALInflateDecoder::UseAllocatorForTesting(FailingAlloc, PlainFree);
    Decoding run(Deflate(module));
    const int rc = run.Decode();
    ALInflateDecoder::UseAllocatorForTesting(nullptr, nullptr);
    EXPECT_EQ(rc, StatusOutOfMemory);
    EXPECT_EQ(StatusText(run.decoder.status), messages[allocationsThatWork]);
    // zlib asks for the window only after decoding into the output buffer.
    EXPECT_TRUE(IsPrefix(run.output.content, module));
    EXPECT_TRUE(allocationsThatWork != 0 || run.output.content.empty());
  }
}

}  // namespace
