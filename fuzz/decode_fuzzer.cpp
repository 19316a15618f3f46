// Feeds arbitrary bytes as a package through the inflate decoder and the
// copy decoder on in-memory storages, and checks the outcome against zlib
// run on its own: a success must be zlib's complete stream, byte for byte; a
// failure must be the data error, with the output a piece of what zlib
// decodes; the output's CRC register must match the bytes written.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "decode/copy_decoder.h"
#include "decode/inflate_decoder.h"
#include "fuzz/decode_fuzz_input.h"
#include "tests/support/deflate_streams.h"
#include "storage/memory_storage.h"

namespace {

using deflate_streams::Bytes;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "decode_fuzzer: %s\n", what);
  std::abort();
}

bool Compatible(const Bytes& a, std::size_t aFrom, const Bytes& b) {
  const std::size_t n = std::min(a.size() - aFrom, b.size());
  return std::equal(a.begin() + static_cast<std::ptrdiff_t>(aFrom),
                    a.begin() + static_cast<std::ptrdiff_t>(aFrom + n), b.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace decode_fuzz;
  if (size < kHeaderSize) return 0;
  const std::uint8_t flags = data[0];
  const std::int32_t inBuffer = kInputBufferSizes[flags & 3];
  const std::int32_t outBuffer = kOutputBufferSizes[(flags >> 2) & 3];
  const std::int32_t length = (flags & kUseLimit) ? (data[1] | (data[2] << 8)) : -1;
  const Bytes package(data + kHeaderSize, data + size);
  const std::size_t fed =
      length < 0 ? package.size() : std::min(package.size(), static_cast<std::size_t>(length));

  {
    ALMemoryStorage input("fuzz.ppk", inBuffer, package);
    ALMemoryStorage output("fuzz.dll", outBuffer);
    std::size_t pending = 0;
    if (flags & kPendingOutput) {
      Check(output.Create(-1) == 0, "create");
      output.WriteChar('P');
      pending = 1;
    }
    ALInflateDecoder decoder;
    const int rc = decoder.Decompress(input, output, length);
    if (pending) output.Close();

    const auto ref = deflate_streams::RawInflate(package.data(), fed);
    Check(output.content.size() >= pending, "pending byte lost");
    if (rc == 0) {
      Check(length != 0 || output.content.size() == pending, "length 0 decoded something");
      Check(length == 0 || ref.complete, "success on a stream zlib finds incomplete");
      Check(length == 0 || output.content.size() - pending == ref.output.size(), "wrong size");
      Check(Compatible(output.content, pending, ref.output), "output differs from zlib's");
    } else {
      Check(rc == StatusDataError, "unexpected status code");
      Check(!ref.complete, "data error on a stream zlib decodes");
      Check(Compatible(output.content, pending, ref.output), "partial output differs from zlib's");
    }
    Check(~output.crc == deflate_streams::Crc32(output.content), "CRC register");
    for (std::int32_t piece : output.flushSizes) Check(piece <= outBuffer, "piece over buffer");
  }

  {
    ALMemoryStorage input("fuzz.bin", inBuffer, package);
    ALMemoryStorage output("copy.bin", outBuffer);
    ALCopyDecoder decoder;
    Check(decoder.Decompress(input, output, length) == 0, "copy failed");
    Check(output.content == Bytes(package.begin(), package.begin() + static_cast<std::ptrdiff_t>(fed)),
          "copy differs");
    Check(~output.crc == deflate_streams::Crc32(output.content), "copy CRC register");
  }
  return 0;
}
