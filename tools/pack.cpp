#include "tools/pack.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <zlib.h>

#include "decode/pending_file.h"
#include "platform/file_system.h"
#include "storage/crc32.h"

namespace ppk {
namespace {

constexpr int kLevel = 9;
constexpr int kRawWindowBits = -15;  // negative: no header, no check value
constexpr int kMemLevel = 8;
constexpr size_t kChunkSize = 64 * 1024;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

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

std::string ErrnoText(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

// Compresses `in` into `out`, counting and checksumming what it reads into
// *result; false with a message on the first failure.
bool DeflateFile(std::FILE* in, const std::string& modulePath, std::FILE* out,
                 const std::string& tempPath, PackResult* result, std::string* message) {
  DeflateStream deflater;
  if (deflater.Init() != Z_OK) {
    *message = "Not enough memory to start the compressor.";
    return false;
  }
  z_stream* zs = deflater.get();
  std::vector<unsigned char> inBuf(kChunkSize);
  std::vector<unsigned char> outBuf(kChunkSize);
  int flush = Z_NO_FLUSH;
  std::uint32_t crc = 0xFFFFFFFFu;
  result->size = 0;
  // Read a chunk, compress it, write whatever the compressor hands back.
  do {
    const size_t got = std::fread(inBuf.data(), 1, inBuf.size(), in);
    if (std::ferror(in)) {
      *message = ErrnoText("Read failure on", modulePath, errno);
      return false;
    }
    flush = std::feof(in) ? Z_FINISH : Z_NO_FLUSH;
    crc = UpdateCrc32(crc, inBuf.data(), got);
    result->size += got;
    zs->next_in = inBuf.data();
    zs->avail_in = static_cast<uInt>(got);
    do {
      zs->next_out = outBuf.data();
      zs->avail_out = static_cast<uInt>(outBuf.size());
      const int rc = deflate(zs, flush);
      if (rc == Z_STREAM_ERROR) {
        *message = "Compressor failure on " + modulePath + ".";
        return false;
      }
      const size_t have = outBuf.size() - zs->avail_out;
      if (have != 0 && std::fwrite(outBuf.data(), 1, have, out) != have) {
        *message = ErrnoText("Write failure on", tempPath, errno);
        return false;
      }
    } while (zs->avail_out == 0);
  } while (flush != Z_FINISH);
  result->crc32 = ~crc;
  return true;
}

// Writes what the stream still buffers, makes it reach the disk and closes
// the file; false with a message when any of it fails.
bool CommitAndClose(std::FILE* out, const std::string& tempPath, std::string* message) {
  int error = std::fflush(out) != 0 ? errno : 0;
  if (error == 0) error = platform::Sync(fileno(out));
  if (std::fclose(out) != 0 && error == 0) error = errno;
  if (error == 0) return true;
  *message = ErrnoText("Write failure on", tempPath, error);
  return false;
}

}  // namespace

bool PackModule(const std::string& modulePath, const std::string& packagePath,
                PackResult* result, std::string* message) {
  // "ppk pack x.ppk" names its own input as the package: replacing it would
  // lose the only copy of the module.
  if (platform::IsSameFile(modulePath.c_str(), packagePath.c_str())) {
    *message = modulePath + " and " + packagePath + " are the same file.";
    return false;
  }
  File in(std::fopen(modulePath.c_str(), "rb"));
  if (!in) {
    *message = ErrnoText("Cannot open", modulePath, errno);
    return false;
  }
  const std::string tempPath = packagePath + ALPendingFile::kSuffix;
  File out(std::fopen(tempPath.c_str(), "wb"));
  if (!out) {
    *message = ErrnoText("Cannot create", tempPath, errno);
    return false;
  }
  bool ok = DeflateFile(in.get(), modulePath, out.get(), tempPath, result, message);
  std::string commitMessage;
  if (!CommitAndClose(out.release(), tempPath, &commitMessage) && ok) {
    *message = commitMessage;
    ok = false;
  }
  if (ok) {
    const int error = platform::RenameReplacing(tempPath.c_str(), packagePath.c_str());
    if (error != 0) {
      *message = "Cannot rename " + tempPath + " to " + packagePath + ": " + std::strerror(error);
      ok = false;
    }
  }
  if (!ok) std::remove(tempPath.c_str());
  return ok;
}

}  // namespace ppk
