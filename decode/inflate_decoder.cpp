#include "decode/inflate_decoder.h"

#include <climits>
#include <cstring>
#include <new>

#include <zlib.h>

#include "decode/copy_decoder.h"
#include "decode/io_scope.h"
#include "storage/storage.h"

namespace {

// Raw deflate (no header, no check value) with a 32 KiB window.
constexpr int kRawWindowBits = -15;
constexpr std::int32_t kNoLimit = -1;

// Ends the inflater on every way out of a run.
class Inflater {
 public:
  Inflater(alloc_func allocate, free_func release) {
    std::memset(&stream, 0, sizeof stream);
    stream.zalloc = allocate;
    stream.zfree = release;
  }
  ~Inflater() {
    if (started) inflateEnd(&stream);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  [[nodiscard]] int Start() {
    const int rc = inflateInit2(&stream, kRawWindowBits);
    started = rc == Z_OK;
    return rc;
  }

  z_stream stream;

 private:
  bool started = false;
};

// Hands the inflater the unread rest of the input's buffer, loading the next
// buffer when none is left, cut to what `remaining` allows (kNoLimit: all).
// Every byte handed over counts as read at once. Returns the bytes handed
// over; 0 at end of data, after a read failure (recorded in the input's
// status) or when the limit is used up.
std::uint32_t Feed(ALStorage& input, z_stream& stream, std::int32_t& remaining) {
  stream.avail_in = 0;
  if (remaining == 0) return 0;  // no reason to load a buffer that is not fed
  const unsigned char* bytes = nullptr;
  const std::int32_t amount = input.TakeInput(remaining == kNoLimit ? INT32_MAX : remaining, &bytes);
  if (amount == 0) return 0;
  if (remaining != kNoLimit) remaining -= amount;
  stream.next_in = const_cast<Bytef*>(bytes);  // zlib only reads through it
  stream.avail_in = static_cast<uInt>(amount);
  return static_cast<std::uint32_t>(amount);
}

}  // namespace

ALInflateDecoder::ALInflateDecoder(alloc_func allocate, free_func release)
    : ALDecoder(kDecoderInflate, kName), option(0), allocate(allocate), release(release) {}

ALInflateDecoder::~ALInflateDecoder() = default;

std::unique_ptr<ALDecoder> ALInflateDecoder::NewDecoder(std::int32_t decoderType) const {
  if (decoderType == kDecoderCopy || decoderType == kDecoderCopyAlias) {
    return std::unique_ptr<ALDecoder>(new (std::nothrow) ALCopyDecoder());
  }
  std::int32_t newOption;
  if (decoderType == kDecoderDefault) {
    newOption = 0;
  } else if (decoderType >= kDecoderInflate && decoderType <= kDecoderInflateLast) {
    newOption = decoderType - kDecoderInflate;
  } else {
    return nullptr;
  }
  std::unique_ptr<ALInflateDecoder> decoder(new (std::nothrow) ALInflateDecoder());
  if (decoder) decoder->option = newOption;
  return decoder;
}

int ALInflateDecoder::Decompress(ALStorage& input, ALStorage& output, std::int32_t length) {
  ALIoScope scope(input, output);
  if (TakeStorageError(input, output) < 0) return status.code;

  output.StartCrc32(0xFFFFFFFFu);
  // Bytes left pending by the caller go first (and into the CRC); the
  // inflater then has the whole buffer. A failure here shows in the status.
  output.FlushFilled(output.writeCount);

  if (length == 0) {
    TakeStorageError(input, output);
  } else {
    // Negative lengths other than -1 would make negative amounts; like every
    // other negative count they mean "no limit".
    Inflate(input, output, length < 0 ? kNoLimit : length);
  }

  // If this run created the output, closing it must not lose a failure.
  scope.output.End();
  if (status.code == 0) TakeStorageError(input, output);
  return status.code;
}

int ALInflateDecoder::Inflate(ALStorage& input, ALStorage& output, std::int32_t length) {
  Inflater inflater(allocate, release);
  z_stream& stream = inflater.stream;
  const auto outputSpace = static_cast<uInt>(output.bufferSize);
  stream.next_out = output.buffer.get();
  stream.avail_out = outputSpace;
  if (inflater.Start() != Z_OK) {
    if (TakeStorageError(input, output) < 0) return status.code;
    return status.SetError(StatusOutOfMemory, "Allocation of inflate state failed in Decompress()");
  }

  std::int32_t remaining = length;
  int rc = Z_OK;
  // One inflate call per turn. It ends at the end of the stream, at an
  // error, or when a call gets nowhere: no input consumed and no output
  // delivered, which happens only once the input (or the limit) is used up.
  // A call that merely consumes its input without output (a long run of
  // empty blocks) does not end the run.
  for (;;) {
    if (stream.avail_in == 0) Feed(input, stream, remaining);
    const uInt inBefore = stream.avail_in;
    rc = inflate(&stream, Z_NO_FLUSH);
    const uInt produced = outputSpace - stream.avail_out;
    if (produced != 0) {
      output.FlushFilled(static_cast<std::int32_t>(produced));
      stream.next_out = output.buffer.get();
      stream.avail_out = outputSpace;
      // Nothing more can be written (a full disk, a size limit): decoding
      // on would only spend time on what is thrown away.
      if (output.status.code < 0) break;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;
    if (produced == 0 && stream.avail_in == inBefore) break;
  }

  if (TakeStorageError(input, output) < 0) return status.code;
  if (rc == Z_STREAM_END) return status.code;
  if (rc == Z_MEM_ERROR) {
    return status.SetError(StatusOutOfMemory, "Allocation of inflate window failed in Decompress()");
  }
  return status.SetError(StatusDataError, "Damaged or incomplete compressed data in %s.",
                         input.name.GetName());
}
