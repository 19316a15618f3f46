#include "decode/copy_decoder.h"

#include <new>

#include "decode/io_scope.h"
#include "storage/storage.h"

ALCopyDecoder::ALCopyDecoder() : ALDecoder(kDecoderCopy, kName) {}

ALCopyDecoder::~ALCopyDecoder() = default;

std::unique_ptr<ALDecoder> ALCopyDecoder::NewDecoder(std::int32_t decoderType) const {
  if (decoderType != kDecoderDefault && decoderType != kDecoderCopy) return nullptr;
  return std::unique_ptr<ALDecoder>(new (std::nothrow) ALCopyDecoder());
}

int ALCopyDecoder::Decompress(ALStorage& input, ALStorage& output, std::int32_t length) {
  ALIoScope scope(input, output);
  if (TakeStorageError(input, output) < 0) return status.code;

  output.StartCrc32(0xFFFFFFFFu);
  // Byte by byte until the count or the input runs out; a failed write makes
  // every later one fail at once, and the error is reported below.
  for (std::uint32_t count = static_cast<std::uint32_t>(length); count != 0; --count) {
    const int c = input.ReadChar();
    if (c < 0) break;
    output.WriteChar(c);
  }
  if (TakeStorageError(input, output) < 0) return status.code;

  // The last bytes are still in the output's buffer; if this run created the
  // output, closing it writes them, and that write can fail too.
  scope.output.End();
  if (status.code == 0) TakeStorageError(input, output);
  return status.code;
}
