#include "tools/pack.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <zlib.h>

#include "platform/file_system.h"
#include "tools/package_names.h"
#include "tools/replace_file.h"

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

// Compresses `in` into `out`; false with a message on the first failure.
bool DeflateFile(std::FILE* in, const std::string& modulePath, std::FILE* out,
                 const std::string& tempPath, std::string* message) {
  DeflateStream deflater;
  if (deflater.Init() != Z_OK) {
    *message = "Not enough memory to start the compressor.";
    return false;
  }
  z_stream* zs = deflater.get();
  std::vector<unsigned char> inBuf(kChunkSize);
  std::vector<unsigned char> outBuf(kChunkSize);
  int flush = Z_NO_FLUSH;
  // Read a chunk, compress it, write whatever the compressor hands back.
  do {
    const size_t got = std::fread(inBuf.data(), 1, inBuf.size(), in);
    if (std::ferror(in)) {
      *message = ErrnoText("Read failure on", modulePath, errno);
      return false;
    }
    flush = std::feof(in) ? Z_FINISH : Z_NO_FLUSH;
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
  return true;
}

}  // namespace

bool PackModule(const std::string& modulePath, const std::string& packagePath,
                std::string* message) {
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
  const std::string tempPath = TemporaryNameBeside(packagePath);
  File out(std::fopen(tempPath.c_str(), "wb"));
  if (!out) {
    *message = ErrnoText("Cannot create", tempPath, errno);
    return false;
  }
  bool ok = DeflateFile(in.get(), modulePath, out.get(), tempPath, message);
  if (std::fclose(out.release()) != 0 && ok) {
    *message = ErrnoText("Write failure on", tempPath, errno);
    ok = false;
  }
  if (ok) ok = ReplaceFile(tempPath, packagePath, message);
  if (!ok) std::remove(tempPath.c_str());
  return ok;
}

}  // namespace ppk
