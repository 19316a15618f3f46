#include "decode/inflate_decoder.h"

#include <algorithm>
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/deflate_streams.h"
#include "tests/support/memory_storage.h"

namespace {

using deflate_streams::Bytes;
using deflate_streams::Crc32;
using deflate_streams::Deflate;
using deflate_streams::ModuleLike;

constexpr std::int32_t kBuffer = 4096;
const char kDataError[] = "Damaged or incomplete compressed data in pkg.ppk.";

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool IsPrefix(const Bytes& prefix, const Bytes& whole) {
  return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

std::string Text(const ALStatusRecord& s) { return s.Text() ? s.Text() : ""; }

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
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (int level : {0, 1, 6, 9}) {
    for (int strategy : strategies) {
      for (int windowBits = -9; windowBits >= -15; --windowBits) {
        SCOPED_TRACE(testing::Message() << "level " << level << " strategy " << strategy
                                        << " window " << windowBits);
        const Bytes package = Deflate(module, level, windowBits, strategy);
        ASSERT_FALSE(package.empty());
        Decoding run(package);
        ASSERT_EQ(run.Decode(), 0) << Text(run.decoder.status);
        EXPECT_EQ(run.output.content, module);
        EXPECT_EQ(~run.output.crc, Crc32(module));
        // Each input buffer is loaded once, and handed over whole.
        EXPECT_EQ(run.input.successfulLoads,
                  static_cast<int>((package.size() + kBuffer - 1) / kBuffer));
        EXPECT_FALSE(run.input.IsOpen());
        EXPECT_FALSE(run.output.IsOpen());
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
    EXPECT_EQ(Text(run.decoder.status), kDataError);
    // What was decoded before the cut is kept, and it is the module's start.
    EXPECT_TRUE(IsPrefix(run.output.content, module));
    EXPECT_FALSE(run.output.IsOpen());
  }
}

TEST(InflateDecoder, AgreesWithZlibOnEverySingleBitFlip) {
  const Bytes module = ModuleLike(1500, 5);
  const Bytes package = Deflate(module);
  int rejected = 0;
  for (std::size_t bit = 0; bit < package.size() * 8; ++bit) {
    Bytes damaged = package;
    damaged[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    const auto ref = deflate_streams::RawInflate(damaged.data(), damaged.size());
    Decoding run(damaged, 128, 128);
    const int rc = run.Decode();
    if (ref.complete) {
      EXPECT_EQ(rc, 0) << "bit " << bit;
      EXPECT_EQ(run.output.content, ref.output) << "bit " << bit;
    } else {
      ++rejected;
      EXPECT_EQ(rc, StatusDataError) << "bit " << bit;
      EXPECT_TRUE(IsPrefix(run.output.content, ref.output) ||
                  IsPrefix(ref.output, run.output.content))
          << "bit " << bit;
    }
  }
  EXPECT_GT(rejected, 0);
}

TEST(InflateDecoder, ReportsInvalidBlockTypeAfterTheGoodBlocks) {
  // A complete non-final stored block, then a block of the reserved type 3.
  const Bytes good = {'M', 'Z', 0x90, 0x00};
  Bytes package = {0x00, 0x04, 0x00, 0xFB, 0xFF};
  package.insert(package.end(), good.begin(), good.end());
  package.push_back(0x07);  // final bit, type 11
  Decoding run(package);
  EXPECT_EQ(run.Decode(), StatusDataError);
  EXPECT_EQ(run.output.content, good);
}

TEST(InflateDecoder, IgnoresBytesAfterTheFinalBlock) {
  const Bytes module = ModuleLike(9000, 11);
  Decoding run(Concat(Deflate(module), Bytes(5000, 0xEE)));
  EXPECT_EQ(run.Decode(), 0);
  EXPECT_EQ(run.output.content, module);
}

TEST(InflateDecoder, DecodesPastMoreThanOneBufferOfEmptyBlocks) {
  const Bytes module = ModuleLike(20000, 13);
  const Bytes package = Concat(deflate_streams::EmptyStoredBlocks(1000), Deflate(module));
  ASSERT_GT(package.size(), 5000u);
  Decoding run(package);
  EXPECT_EQ(run.Decode(), 0) << Text(run.decoder.status);
  EXPECT_EQ(run.output.content, module);
}

TEST(InflateDecoder, EmptyPackageIsDataError) {
  Decoding run(Bytes{});
  EXPECT_EQ(run.Decode(), StatusDataError);
  EXPECT_EQ(Text(run.decoder.status), kDataError);
  EXPECT_TRUE(run.output.content.empty());
  EXPECT_EQ(run.output.closeCalls, 1);  // created, then closed empty
}

TEST(InflateDecoder, LengthLimitsTheBytesFed) {
  const Bytes module = ModuleLike(30000, 17);
  const Bytes package = Deflate(module);
  const auto whole = static_cast<std::int32_t>(package.size());
  struct Case {
    std::int32_t length;
    int result;
  };
  const Case cases[] = {{0, 0}, {1, StatusDataError}, {whole / 2, StatusDataError},
                        {whole - 1, StatusDataError}, {whole, 0}, {whole + 1000, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "length " << c.length);
    // Open on entry, so the position afterwards can be read.
    Decoding run(Concat(package, Bytes(100, 0)), 1024, 1024);
    ASSERT_EQ(run.input.Open(), 0);
    EXPECT_EQ(run.Decode(c.length), c.result);
    EXPECT_TRUE(run.input.IsOpen());
    if (c.length == 0) {
      EXPECT_TRUE(run.output.content.empty());
      EXPECT_EQ(run.input.Tell(), 0);
    } else if (c.length < whole) {
      EXPECT_EQ(run.input.Tell(), c.length);  // exactly what was fed
      EXPECT_TRUE(IsPrefix(run.output.content, module));
      const auto ref = deflate_streams::RawInflate(package.data(), static_cast<std::size_t>(c.length));
      EXPECT_TRUE(IsPrefix(run.output.content, ref.output));
    } else {
      EXPECT_EQ(run.output.content, module);
    }
  }
}

TEST(InflateDecoder, StartsAtTheReadPositionOfAnOpenInput) {
  const Bytes module = ModuleLike(12000, 19);
  const Bytes header = {'H', 'D', 'R', '1', '2', '3'};
  Decoding run(Concat(header, Deflate(module)), 512, 4096);
  ASSERT_EQ(run.input.Open(), 0);
  for (unsigned char expected : header) ASSERT_EQ(run.input.ReadChar(), expected);
  EXPECT_EQ(run.Decode(), 0);
  EXPECT_EQ(run.output.content, module);
  EXPECT_TRUE(run.input.IsOpen());
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
  const Bytes expected = Concat(pending, module);
  EXPECT_EQ(run.output.content, expected);
  EXPECT_EQ(~run.output.crc, Crc32(expected));
}

TEST(InflateDecoder, ReportsWriteFailureAfterDecodingTheRest) {
  const Bytes module = ModuleLike(40000, 29);
  Decoding run(Deflate(module));
  run.output.failFlushAt = 2;
  EXPECT_EQ(run.Decode(), StatusWriteFailed);
  EXPECT_EQ(Text(run.decoder.status), "Write failure on mod.dll.  result = -1, errno = 28");
  // The run went on through the input; only the first two pieces were kept.
  EXPECT_EQ(run.input.filePosition, static_cast<std::int32_t>(run.input.content.size()));
  ASSERT_EQ(run.output.flushSizes.size(), 3u);
  EXPECT_EQ(run.output.content.size(),
            static_cast<std::size_t>(run.output.flushSizes[0] + run.output.flushSizes[1]));
}

TEST(InflateDecoder, ReportsReadFailureBeforeWriteFailureAndDataError) {
  const Bytes package = Deflate(ModuleLike(40000, 31));
  {
    Decoding run(package, 1024, 4096);
    run.input.failLoadAt = 2;
    EXPECT_EQ(run.Decode(), StatusReadFailed);
    EXPECT_EQ(Text(run.decoder.status), "Read failure on pkg.ppk.  errno = 5");
  }
  {
    Decoding run(package, 1024, 4096);
    run.input.failLoadAt = 2;
    run.output.failFlushAt = 0;
    EXPECT_EQ(run.Decode(), StatusReadFailed);
  }
  {
    Decoding run(package, 1024, 4096);
    run.input.failOpen = true;
    run.output.failCreate = true;
    EXPECT_EQ(run.Decode(), StatusOpenFailed);
    EXPECT_EQ(Text(run.decoder.status), "File open failure.  Open of pkg.ppk returned errno = 2");
    EXPECT_EQ(run.input.closeCalls, 1);  // the scopes close what they tried to open
    EXPECT_EQ(run.output.closeCalls, 1);
  }
  {
    Decoding run(Bytes(package.begin(), package.begin() + 100));
    run.output.failFlushAt = 0;
    EXPECT_EQ(run.Decode(), StatusWriteFailed);
  }
}

TEST(InflateDecoder, KeepsAnEarlierErrorAfterALaterGoodRun) {
  const Bytes module = ModuleLike(5000, 37);
  ALInflateDecoder decoder;
  ALMemoryStorage bad("bad.ppk", kBuffer, Bytes{0x07});
  ALMemoryStorage out1("one.dll", kBuffer);
  EXPECT_EQ(decoder.Decompress(bad, out1, -1), StatusDataError);
  ALMemoryStorage good("good.ppk", kBuffer, Deflate(module));
  ALMemoryStorage out2("two.dll", kBuffer);
  EXPECT_EQ(decoder.Decompress(good, out2, -1), StatusDataError);
  EXPECT_EQ(out2.content, module);
  EXPECT_EQ(Text(decoder.status), "Damaged or incomplete compressed data in bad.ppk.");
}

TEST(InflateDecoder, NegativeLengthsOtherThanMinusOneDoNotOverrunTheBuffer) {
  const Bytes module = ModuleLike(9000, 41);
  for (std::int32_t length : {-2, -4096, INT32_MIN}) {
    Decoding run(Deflate(module));
    EXPECT_EQ(run.Decode(length), 0) << length;
    EXPECT_EQ(run.output.content, module);
  }
}

int failAfter = 0;
voidpf FailingAlloc(voidpf, uInt items, uInt size) {
  if (failAfter-- <= 0) return Z_NULL;
  return calloc(items, size);
}
void PlainFree(voidpf, voidpf address) { free(address); }

TEST(InflateDecoder, ReportsOutOfMemoryForTheInflaterState) {
  struct Case {
    int allocationsThatWork;
    const char* message;
  };
  const Case cases[] = {
      {0, "Allocation of inflate state failed in Decompress()"},
      {1, "Allocation of inflate window failed in Decompress()"},
  };
  for (const Case& c : cases) {
    failAfter = c.allocationsThatWork;
    ALInflateDecoder::UseAllocatorForTesting(FailingAlloc, PlainFree);
    const Bytes module = ModuleLike(5000, 43);
    Decoding run(Deflate(module));
    const int rc = run.Decode();
    ALInflateDecoder::UseAllocatorForTesting(nullptr, nullptr);
    EXPECT_EQ(rc, StatusOutOfMemory);
    EXPECT_EQ(Text(run.decoder.status), c.message);
    // zlib asks for the window only after decoding into the output buffer.
    EXPECT_TRUE(IsPrefix(run.output.content, module));
    if (c.allocationsThatWork == 0) {
      EXPECT_TRUE(run.output.content.empty());
    }
  }
}

}  // namespace
