#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "decode/copy_decoder.h"
#include "decode/inflate_decoder.h"
#include "tests/support/deflate_streams.h"
#include "storage/memory_storage.h"

namespace {

using deflate_streams::Bytes;
using deflate_streams::Concat;
using deflate_streams::Crc32;
using deflate_streams::ModuleLike;

constexpr std::int32_t kBuffer = 4096;

// What both decoders owe their callers, run for each: the package is the
// module itself for the copy decoder, its raw deflate stream for the inflater.
struct Kind {
  std::int32_t code;
  Bytes Package(const Bytes& module) const { return code == kDecoderCopy ? module : deflate_streams::Deflate(module); }
  std::unique_ptr<ALDecoder> Make() const { return ALInflateDecoder().NewDecoder(code); }
};
const Kind kKinds[] = {{kDecoderCopy}, {kDecoderInflate}};

TEST(Decoder, RoundTripsAcrossBufferBoundariesAndClosesWhatItOpened) {
  for (const Kind& kind : kKinds) {
    for (std::size_t size : {0, 1, 4095, 4096, 4097, 8193, 20000}) {
      SCOPED_TRACE(testing::Message() << "decoder " << kind.code << " size " << size);
      const Bytes module = ModuleLike(size, 3);
      ALMemoryStorage input("in.bin", kBuffer, kind.Package(module));
      ALMemoryStorage output("out.bin", kBuffer);
      EXPECT_EQ(kind.Make()->Decompress(input, output, -1), 0);
      EXPECT_EQ(output.content, module);  // the scope's Close wrote the last bytes
      EXPECT_EQ(~output.crc, Crc32(module));
      EXPECT_FALSE(input.IsOpen());
      EXPECT_FALSE(output.IsOpen());
    }
  }
}

TEST(Decoder, StartsAtTheReadPositionOfAnOpenInputAndLeavesItOpen) {
  const Bytes module = ModuleLike(12000, 19);
  const Bytes header = {'H', 'D', 'R', '1', '2', '3'};
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.code);
    ALMemoryStorage input("in.bin", 512, Concat(header, kind.Package(module)));
    ALMemoryStorage output("out.bin", kBuffer);
    ASSERT_EQ(input.Open(), 0);
    for (unsigned char expected : header) ASSERT_EQ(input.ReadChar(), expected);
    EXPECT_EQ(kind.Make()->Decompress(input, output, -1), 0);
    EXPECT_EQ(output.content, module);
    EXPECT_TRUE(input.IsOpen());
  }
}

TEST(Decoder, ReportsWriteFailureInTheMiddleAfterReadingTheInputToItsEnd) {
  const Bytes module = ModuleLike(40000, 29);
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.code);
    ALMemoryStorage input("in.bin", 1000, kind.Package(module));
    ALMemoryStorage output("mod.dll", 1000);
    output.failFlushAt = 2;
    const auto decoder = kind.Make();
    EXPECT_EQ(decoder->Decompress(input, output, -1), StatusWriteFailed);
    EXPECT_EQ(StatusText(decoder->status), "Write failure on mod.dll.  result = -1, errno = 28");
    EXPECT_EQ(input.filePosition, static_cast<std::int32_t>(input.content.size()));
    // Only the pieces before the failed one were kept.
    ASSERT_GE(output.flushSizes.size(), 3u);
    EXPECT_EQ(output.content.size(), static_cast<std::size_t>(output.flushSizes[0] + output.flushSizes[1]));
  }
}

TEST(Decoder, ReportsTheInputsErrorBeforeTheOutputsAndClosesBoth) {
  using SetUp = void (*)(ALMemoryStorage& input, ALMemoryStorage& output);
  struct Case {
    SetUp setUp;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {[](ALMemoryStorage& in, ALMemoryStorage& out) { in.failLoadAt = 2; out.failFlushAt = 0; }, StatusReadFailed,
       "Read failure on in.bin.  errno = 5"},
      {[](ALMemoryStorage& in, ALMemoryStorage& out) { in.failOpen = out.failCreate = true; }, StatusOpenFailed,
       "File open failure.  Open of in.bin returned errno = 2"},
      {[](ALMemoryStorage& in, ALMemoryStorage& out) {
         in.status.SetError(StatusSeekFailed, "seek");
         out.status.SetError(StatusWriteFailed, "write");
       },
       StatusSeekFailed, "seek"},
  };
  const Bytes module = ModuleLike(40000, 31);
  for (const Kind& kind : kKinds) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "decoder " << kind.code << ": " << c.message);
      ALMemoryStorage input("in.bin", 1000, kind.Package(module));
      ALMemoryStorage output("out.bin", 1000);
      c.setUp(input, output);
      const auto decoder = kind.Make();
      EXPECT_EQ(decoder->Decompress(input, output, -1), c.code);
      EXPECT_EQ(StatusText(decoder->status), c.message);
      EXPECT_TRUE(output.content.empty());
      EXPECT_EQ(input.closeCalls, 1);  // the scopes close what they tried to open
      EXPECT_EQ(output.closeCalls, 1);
    }
  }
}

TEST(Decoder, KeepsAnEarlierErrorAfterALaterGoodRun) {
  const Bytes module = ModuleLike(5000, 37);
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.code);
    const auto decoder = kind.Make();
    ALMemoryStorage failing("bad.ppk", kBuffer, kind.Package(module));
    failing.failOpen = true;
    ALMemoryStorage out1("one.dll", kBuffer);
    EXPECT_EQ(decoder->Decompress(failing, out1, -1), StatusOpenFailed);
    ALMemoryStorage good("good.ppk", kBuffer, kind.Package(module));
    ALMemoryStorage out2("two.dll", kBuffer);
    EXPECT_EQ(decoder->Decompress(good, out2, -1), StatusOpenFailed);
    EXPECT_EQ(out2.content, module);
    EXPECT_EQ(StatusText(decoder->status), "File open failure.  Open of bad.ppk returned errno = 2");
  }
}

TEST(CopyDecoder, CopiesExactlyTheCountFromAnOpenInput) {
  const Bytes data = ModuleLike(10000, 5);
  for (std::int32_t length : {0, 1, 4096, 9999, 10000, 20000}) {
    SCOPED_TRACE(length);
    ALMemoryStorage input("in.bin", kBuffer, data);
    ALMemoryStorage output("out.bin", kBuffer);
    ASSERT_EQ(input.Open(), 0);
    ASSERT_EQ(input.ReadChar(), data[0]);
    EXPECT_EQ(ALCopyDecoder().Decompress(input, output, length), 0);
    const std::size_t copied = std::min<std::size_t>(static_cast<std::size_t>(length), data.size() - 1);
    EXPECT_EQ(output.content, Bytes(data.begin() + 1, data.begin() + 1 + static_cast<std::ptrdiff_t>(copied)));
    EXPECT_EQ(input.Tell(), static_cast<std::int32_t>(1 + copied));
  }
}

TEST(CopyDecoder, LeavesTheLastBytesPendingInAnOutputOpenOnEntry) {
  ALMemoryStorage input("in.bin", kBuffer, Bytes{1, 2, 3});
  ALMemoryStorage output("out.bin", kBuffer);
  ASSERT_EQ(output.Create(-1), 0);
  EXPECT_EQ(ALCopyDecoder().Decompress(input, output, -1), 0);
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
  EXPECT_EQ(StatusText(decoder.status), "Write failure on out.bin.  result = -1, errno = 28");
}

TEST(DecoderFactory, FactoriesFollowTheirTables) {
  for (std::int32_t code : {INT32_MIN, -3, -2, -1, 0, 1, 99, 100, 101, 107, 108, 109, 110, 111, 112, INT32_MAX}) {
    SCOPED_TRACE(code);
    const auto made = ALInflateDecoder().NewDecoder(code);
    const auto* inflate = dynamic_cast<const ALInflateDecoder*>(made.get());
    const bool isCopy = dynamic_cast<const ALCopyDecoder*>(made.get()) != nullptr;
    if (code == -1 || (code >= 108 && code <= 111)) {
      ASSERT_NE(inflate, nullptr);
      EXPECT_EQ(inflate->typeCode, 108);
      EXPECT_STREQ(inflate->name, "Inflate");
      EXPECT_EQ(inflate->option, code == -1 ? 0 : code - 108);
    } else if (code == 0 || code == 100) {
      ASSERT_TRUE(isCopy);
      EXPECT_EQ(made->typeCode, 0);
      EXPECT_STREQ(made->name, "Binary copy");
    } else {
      EXPECT_EQ(made, nullptr);
    }
    // The copy decoder knows only itself.
    const auto copy = ALCopyDecoder().NewDecoder(code);
    EXPECT_EQ(code == -1 || code == 0, dynamic_cast<const ALCopyDecoder*>(copy.get()) != nullptr);
  }
}

TEST(DecoderSettings, WriteTwoZeroBytesReadExactlyTwoAndReturnTheStoragesError) {
  ALMemoryStorage storage("settings.bin", 4096);
  ASSERT_EQ(storage.Create(-1), 0);
  storage.WriteChar('A');
  EXPECT_EQ(ALInflateDecoder().WriteSettings(storage), 0);
  EXPECT_EQ(ALCopyDecoder().WriteSettings(storage), 0);
  storage.WriteChar('B');
  ASSERT_EQ(storage.Close(), 0);
  EXPECT_EQ(storage.content, (Bytes{'A', 0, 0, 0, 0, 'B'}));
  storage.content = {0x12, 0x34, 'C'};
  ASSERT_EQ(storage.Open(), 0);
  EXPECT_EQ(ALInflateDecoder().ReadSettings(storage), 0);
  EXPECT_EQ(storage.ReadChar(), 'C');

  ALMemoryStorage full("full.bin", 1);
  ASSERT_EQ(full.Create(-1), 0);
  full.failFlushAt = 0;
  EXPECT_EQ(ALCopyDecoder().WriteSettings(full), StatusWriteFailed);
  ALMemoryStorage source("source.bin", 4, {1, 2});
  source.failLoadAt = 0;
  ASSERT_EQ(source.Open(), 0);
  EXPECT_EQ(ALInflateDecoder().ReadSettings(source), StatusReadFailed);
}

}  // namespace
