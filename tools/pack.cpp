#include "tools/pack.h"

#include <cstring>

#include <zlib.h>

#include "decode/pending_file.h"
#include "storage/file_storage.h"
#include "tools/unpack.h"

namespace ppk {
namespace {

constexpr int kLevel = 9;
constexpr int kRawWindowBits = -15;  // negative: no header, no check value
constexpr int kMemLevel = 8;
constexpr std::int32_t kModuleBufferSize = 64 * 1024;

// Ends the deflate stream on every path out of PackModule.
class DeflateStream {
 public:
  DeflateStream() { std::memset(&stream_, 0, sizeof stream_); }
  ~DeflateStream() {
    if (initialised_) deflateEnd(&stream_);
  }
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;

  [[nodiscard]] int Init() {
    const int rc = deflateInit2(&stream_, kLevel, Z_DEFLATED, kRawWindowBits, kMemLevel,
                                Z_DEFAULT_STRATEGY);
    initialised_ = rc == Z_OK;
    return rc;
  }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_;
  bool initialised_ = false;
};

// Compresses the module `modulePath` into `output`, straight into its
// buffer, counting and checksumming what it reads into *result. Returns 0,
// or the failing code with its message in `status`.
int DeflateModule(const std::string& modulePath, ALFileStorage& output, PackResult* result,
                  ALStatusRecord& status) {
  ALFileStorage module(modulePath.c_str(), kModuleBufferSize, CaseInsensitive);
  module.readOnly = 1;
  if (module.Open() != StatusOk) return status.CopyFrom(module.status).code;
  module.StartCrc32(0xFFFFFFFFu);
  DeflateStream deflater;
  if (deflater.Init() != Z_OK) {
    return status.SetError(StatusOutOfMemory, "Allocation of deflate state failed for %s", modulePath.c_str());
  }
  z_stream* zs = deflater.get();
  result->size = 0;
  int flush = Z_NO_FLUSH;
  // Load a buffer of the module, compress it, write whatever the compressor
  // hands back.
  do {
    const unsigned char* bytes = nullptr;
    const std::int32_t loaded = module.TakeInput(module.bufferSize, &bytes);
    if (module.status.code < 0) return status.CopyFrom(module.status).code;
    flush = loaded > 0 ? Z_NO_FLUSH : Z_FINISH;
    zs->next_in = const_cast<Bytef*>(bytes);  // deflate only reads through it
    zs->avail_in = static_cast<uInt>(loaded);
    result->size += zs->avail_in;
    do {
      zs->next_out = output.buffer.get();
      zs->avail_out = static_cast<uInt>(output.bufferSize);
      if (deflate(zs, flush) == Z_STREAM_ERROR) {
        return status.SetError(StatusWriteFailed, "Compressor failure on %s", modulePath.c_str());
      }
      if (output.FlushFilled(output.bufferSize - static_cast<std::int32_t>(zs->avail_out)) != StatusOk) {
        return status.CopyFrom(output.status).code;
      }
    } while (zs->avail_out == 0);
  } while (flush != Z_FINISH);
  result->crc32 = ~module.crc;
  return StatusOk;
}

}  // namespace

bool PackModule(const std::string& modulePath, const std::string& packagePath,
                PackResult* result, std::string* message) {
  ALPendingFile package(packagePath.c_str());
  ALStatusRecord status;
  const auto deflate = [&](ALFileStorage& output, ALStatusRecord& failure) {
    return DeflateModule(modulePath, output, result, failure);
  };
  if (package.Write(modulePath.c_str(), deflate, status) != StatusOk || package.Replace(status) != StatusOk) {
    *message = StatusMessage(status);
    return false;
  }
  return true;
}

}  // namespace ppk
