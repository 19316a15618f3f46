// Feeds arbitrary bytes as a package through the inflate decoder and the
// copy decoder on in-memory storages, and checks the outcome against zlib
// run on its own: a success must be zlib's complete stream, byte for byte; a
// failure must be the data error, with the output a piece of what zlib
// decodes; the output's CRC register must match the bytes written.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "decode/copy_decoder.h"
#include "decode/inflate_decoder.h"
#include "fuzz/decode_fuzz_input.h"
#include "tests/support/faulty_storage.h"
#include "tests/support/deflate_streams.h"

namespace {

using deflate_streams::Bytes;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "decode_fuzzer: %s\n", what);
  std::abort();
}

// True when the bytes of `output` after the first `from` agree with `ref` as
// far as both go.
bool Agrees(const Bytes& output, std::size_t from, const Bytes& ref) {
  const auto n = static_cast<std::ptrdiff_t>(std::min(output.size() - from, ref.size()));
  return std::equal(ref.begin(), ref.begin() + n, output.begin() + static_cast<std::ptrdiff_t>(from));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace decode_fuzz;
  if (size < kHeaderSize) return 0;
  const std::uint8_t flags = data[0];
  const std::int32_t inBuffer = kInputBufferSizes[flags & 3], outBuffer = kOutputBufferSizes[(flags >> 2) & 3];
  const std::int32_t length = (flags & kUseLimit) ? (data[1] | (data[2] << 8)) : -1;
  const Bytes package(data + kHeaderSize, data + size);
  const std::size_t fed = length < 0 ? package.size() : std::min(package.size(), static_cast<std::size_t>(length));
  const auto ref = deflate_streams::RawInflate(package.data(), fed);
  for (const std::int32_t kind : {kDecoderInflate, kDecoderCopy}) {
    FaultyStorage input("fuzz.ppk", inBuffer, package), output("fuzz.dll", outBuffer);
    // An output open on entry with a byte pending, which must come first.
    const std::size_t pending = (flags & kPendingOutput) ? 1 : 0;
    if (pending != 0) Check(output.Create(-1) == 0 && output.WriteChar('P') == 'P', "pending byte");
    const int rc = ALInflateDecoder().NewDecoder(kind)->Decompress(input, output, length);
    output.Close();
    Check(output.content.size() >= pending && (pending == 0 || output.content[0] == 'P'), "pending byte lost");
    Check(~output.crc == deflate_streams::Crc32(output.content), "CRC register");
    for (const std::int32_t piece : output.flushSizes) Check(piece <= outBuffer, "piece over buffer");
    const std::size_t decoded = output.content.size() - pending;
    if (kind == kDecoderCopy) {
      const Bytes copied(output.content.begin() + static_cast<std::ptrdiff_t>(pending), output.content.end());
      Check(rc == 0 && copied == Bytes(package.begin(), package.begin() + static_cast<std::ptrdiff_t>(fed)), "copy");
      continue;
    }
    // Success only on zlib's complete stream (nothing for length 0), else
    // the data error; the output a piece of what zlib decodes either way.
    Check(rc == 0 ? (length == 0 ? decoded == 0 : ref.complete && decoded == ref.output.size())
                  : rc == StatusDataError && !ref.complete,
          "outcome differs from zlib's");
    Check(Agrees(output.content, pending, ref.output), "output differs from zlib's");
  }
  return 0;
}
