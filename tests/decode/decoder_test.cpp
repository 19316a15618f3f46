#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decode/copy_decoder.h"
#include "decode/inflate_decoder.h"
#include "tests/support/faulty_storage.h"
#include "tests/support/deflate_streams.h"

namespace {

using namespace deflate_streams;

const char kDataError[] = "Damaged or incomplete compressed data in pkg.ppk.";

bool IsPrefix(const Bytes& prefix, const Bytes& whole) {
  return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

// What both decoders owe their callers, run for each code the factory
// knows them by: the package is the module itself for the copy decoder, its
// raw deflate stream for the inflater.
struct Kind {
  std::int32_t code;
  bool Copies() const { return code == kDecoderCopy || code == kDecoderCopyAlias; }
  Bytes Package(const Bytes& module) const { return Copies() ? module : Deflate(module); }
  std::unique_ptr<ALDecoder> Make() const { return ALInflateDecoder().NewDecoder(code); }
};
const Kind kKinds[] = {{kDecoderCopy}, {kDecoderCopyAlias}, {kDecoderDefault}, {kDecoderInflate}, {kDecoderInflateLast}};

// One run on in-memory storages, both closed on entry unless opened here.
struct Decoding {
  Decoding(const Bytes& package, std::int32_t inBuffer, std::int32_t outBuffer, std::int32_t kind = kDecoderInflate)
      : input("pkg.ppk", inBuffer, package), output("mod.dll", outBuffer), decoder(Kind{kind}.Make()) {}
  int Decode(std::int32_t length = -1) { return decoder->Decompress(input, output, length); }

  FaultyStorage input;
  FaultyStorage output;
  std::unique_ptr<ALDecoder> decoder;
};

TEST(Decoder, RoundTripsFromTheReadPositionAndClosesOnlyWhatItOpened) {
  const Bytes header = {'H', 'D', 'R'}, pending = {'P', 'E', 'N', 'D'};
  for (const Kind& kind : kKinds) {
    for (const std::size_t size : {0, 1, 4095, 4096, 4097, 8193, 20000}) {
      SCOPED_TRACE(testing::Message() << "decoder " << kind.code << " size " << size);
      // Odd sizes start inside an open input and after bytes pending in an
      // open output, which come first and count in the CRC.
      const bool open = size % 2 == 1;
      const Bytes module = ModuleLike(size, 3);
      Decoding run(Concat(open ? header : Bytes{}, kind.Package(module)), 1000, 4096, kind.code);
      if (open) {
        ASSERT_EQ(0, run.input.Open());
        for (const unsigned char expected : header) ASSERT_EQ(expected, run.input.ReadChar());
        ASSERT_EQ(0, run.output.Create(-1));
        for (const unsigned char b : pending) run.output.WriteChar(b);
      }
      EXPECT_EQ(0, run.Decode());
      EXPECT_EQ(open, run.input.IsOpen());
      EXPECT_EQ(open, run.output.IsOpen());
      run.output.Close();
      const Bytes expected = Concat(open ? pending : Bytes{}, module);
      EXPECT_EQ(expected, run.output.content);
      EXPECT_EQ(Crc32(expected), ~run.output.crc);
    }
  }
  for (const std::int32_t unknown : {-2, 1, 99, 101, 107, 112}) EXPECT_EQ(nullptr, Kind{unknown}.Make()) << unknown;
}

TEST(Decoder, ReportsTheInputsErrorBeforeTheOutputsClosesBothAndKeepsIt) {
  const struct { bool failOpen; int failLoadAt, failFlushAt, cutAt, code; const char* message; } cases[] = {
      {false, 2, 0, 0, StatusReadFailed, "Read failure on pkg.ppk.  errno = 5"},
      {true, -1, -1, 0, StatusOpenFailed, "File open failure.  Open of pkg.ppk returned errno = 2"},
      // A write failure in the middle: the copy still reads its input to
      // the end, the inflater stops there (a bomb is not decoded to its end).
      {false, -1, 2, 0, StatusWriteFailed, "Write failure on mod.dll.  result = -1, errno = 28"},
      // Cut short: the copy's only write is in the output's Close; the
      // inflater's write failure comes before its data error.
      {false, -1, 0, 100, StatusWriteFailed, "Write failure on mod.dll.  result = -1, errno = 28"},
  };
  const Bytes module = ModuleLike(40000, 31);
  for (const Kind& kind : kKinds) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << "decoder " << kind.code << ": " << c.message);
      // The inflater's failed write ends its run: no later load can fail.
      if (!kind.Copies() && c.failFlushAt == 0 && c.failLoadAt > 0) continue;
      Decoding run(kind.Package(module), 1000, 1000, kind.code);
      // An input that cannot be opened leaves the output alone, uncreated.
      run.input.failOpen = c.failOpen;
      if (c.failOpen) run.output.content = {'k'};
      run.input.failLoadAt = c.failLoadAt;
      run.output.failFlushAt = c.failFlushAt;
      if (c.cutAt != 0) run.input.content.resize(static_cast<std::size_t>(c.cutAt));
      EXPECT_EQ(c.code, run.Decode());
      EXPECT_TRUE(c.failOpen ? run.output.content == Bytes{'k'} : IsPrefix(run.output.content, module));
      const bool readToEnd = c.code == StatusWriteFailed && (kind.Copies() || c.cutAt != 0);
      EXPECT_EQ(readToEnd, run.input.filePosition == static_cast<int>(run.input.content.size()));
      EXPECT_EQ(1, run.input.closeCalls);  // the scopes close what they tried to open
      EXPECT_EQ(c.failOpen ? 0 : 1, run.output.closeCalls);
      // The error outlives a later good run.
      ALMemoryStorage good("good.ppk", 1000, kind.Package(module)), output("out.dll", 1000);
      EXPECT_EQ(c.code, run.decoder->Decompress(good, output, -1));
      EXPECT_EQ(module, output.content);
      EXPECT_EQ(c.message, StatusText(run.decoder->status));
    }
  }
}

TEST(Decoder, TakesAtMostTheLengthFromAnOpenInput) {
  const Bytes module = ModuleLike(30000, 17);
  for (const Kind& kind : kKinds) {
    const Bytes package = kind.Package(module), input = Concat(package, Bytes(100, 0));
    const auto whole = static_cast<std::int32_t>(package.size());
    // Negative lengths other than -1 mean no limit too, and must not overrun.
    for (const std::int32_t length : {0, 1, whole / 2, whole - 1, whole, whole + 1000, -2, INT32_MIN}) {
      SCOPED_TRACE(testing::Message() << "decoder " << kind.code << " length " << length);
      Decoding run(input, 1024, 1024, kind.code);
      ASSERT_EQ(0, run.input.Open());  // so that the position afterwards can be read
      const int rc = run.Decode(length);
      const auto fed = static_cast<std::int32_t>(std::min<std::size_t>(std::uint32_t(length), input.size()));
      if (kind.Copies()) {
        EXPECT_EQ(0, rc);
        EXPECT_EQ(Bytes(input.begin(), input.begin() + fed), run.output.content);
        EXPECT_EQ(fed, run.input.Tell());
      } else if (length > 0 && length < whole) {
        EXPECT_EQ(StatusDataError, rc);
        EXPECT_EQ(kDataError, StatusText(run.decoder->status));
        EXPECT_EQ(length, run.input.Tell());  // exactly what was fed
        EXPECT_TRUE(IsPrefix(run.output.content, RawInflate(package.data(), fed).output));
      } else {
        // Bytes after the end of the stream are ignored.
        EXPECT_EQ(0, rc);
        EXPECT_EQ(length == 0 ? Bytes{} : module, run.output.content);
        EXPECT_EQ(length == 0, run.input.Tell() == 0);
      }
    }
  }
}

TEST(InflateDecoder, DecodesEveryKindOfStreamInWholeBuffersAndOnePiecePerCall) {
  const Bytes module = ModuleLike(30000);
  const std::int32_t inBuffers[] = {1, 3, 100, 4096, 70000}, outBuffers[] = {7, 1000, 4096, 100000};
  int number = 0;
  for (const int level : {0, 1, 6, 9}) {
    for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
      for (int windowBits = -9; windowBits >= -15; --windowBits, ++number) {
        // Every pair of buffer sizes comes round; every other stream starts
        // with more than a buffer of empty blocks, which decode to nothing.
        const std::int32_t in = inBuffers[number % 5], out = outBuffers[number % 4];
        SCOPED_TRACE(testing::Message() << level << "/" << strategy << "/" << windowBits << " " << in << "/" << out);
        const Bytes package =
            Concat(EmptyStoredBlocks(number % 2 * 1000), Deflate(module, level, windowBits, strategy));
        Decoding run(package, in, out);
        ASSERT_EQ(0, run.Decode()) << StatusText(run.decoder->status);
        EXPECT_EQ(module, run.output.content);
        EXPECT_EQ(static_cast<int>((package.size() + in - 1) / in), run.input.successfulLoads);
        EXPECT_LE(*std::max_element(run.output.flushSizes.begin(), run.output.flushSizes.end()), out);
      }
    }
  }
}

TEST(InflateDecoder, AgreesWithZlibOnEveryTruncationAndSingleBitFlip) {
  const Bytes package = Deflate(ModuleLike(1500, 5));
  std::vector<Bytes> damaged;
  for (std::size_t cut = 0; cut < package.size(); ++cut) damaged.emplace_back(package.begin(), package.begin() + cut);
  for (std::size_t bit = 0; bit < package.size() * 8; ++bit) {
    damaged.push_back(package);
    damaged.back()[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
  }
  for (const Bytes& bytes : damaged) {
    SCOPED_TRACE(&bytes - damaged.data());
    const auto ref = RawInflate(bytes.data(), bytes.size());
    Decoding run(bytes, 64, 64);
    EXPECT_EQ(ref.complete ? 0 : StatusDataError, run.Decode());
    EXPECT_EQ(ref.complete ? "" : kDataError, StatusText(run.decoder->status));
    // After a failure the output holds what was decoded before it.
    EXPECT_TRUE(ref.complete ? run.output.content == ref.output
                             : IsPrefix(run.output.content, ref.output) || IsPrefix(ref.output, run.output.content));
  }
}

int allocationsLeft = 0;
voidpf FailingAlloc(voidpf, uInt items, uInt size) { return allocationsLeft-- <= 0 ? Z_NULL : calloc(items, size); }
void PlainFree(voidpf, voidpf address) { free(address); }

TEST(InflateDecoder, ReportsOutOfMemoryForTheInflaterState) {
  const Bytes module = ModuleLike(5000, 43);
  for (const int allocationsThatWork : {0, 1}) {
    allocationsLeft = allocationsThatWork;
    Decoding run(Deflate(module), 4096, 4096);
    run.decoder = std::make_unique<ALInflateDecoder>(FailingAlloc, PlainFree);
    EXPECT_EQ(StatusOutOfMemory, run.Decode());
    EXPECT_EQ(std::string("Allocation of inflate ") + (allocationsThatWork == 0 ? "state" : "window") + " failed in Decompress()",
              StatusText(run.decoder->status));
    // zlib asks for the window only after decoding into the output buffer.
    EXPECT_TRUE(IsPrefix(run.output.content, module));
    EXPECT_EQ(allocationsThatWork == 0, run.output.content.empty());
  }
}

}  // namespace
