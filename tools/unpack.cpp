#include "tools/unpack.h"

#include <cstdlib>
#include <cstring>

#include "decode/inflate_decoder.h"
#include "decode/pending_file.h"
#include "storage/file_storage.h"
#include "storage/null_storage.h"

namespace ppk {
namespace {

// The installer's storages: its buffers, names compared ignoring case.
constexpr std::int32_t kBufferSize = ALFileStorage::kDefaultBufferSize;
constexpr std::int32_t kWholeInput = -1;
// Where a storage's message gives the C runtime's error number.
constexpr const char* kErrnoMark = "errno = ";

}  // namespace

std::string StatusMessage(const ALStatusRecord& status) {
  if (status.Text() == nullptr) return "Failed with status " + std::to_string(status.code) + ".";
  std::string text = status.Text();
  const char* number = std::strstr(status.Text(), kErrnoMark);
  if (number == nullptr) return text;
  const long error = std::strtol(number + std::strlen(kErrnoMark), nullptr, 10);
  if (error > 0) text += std::string(" (") + std::strerror(static_cast<int>(error)) + ")";
  return text;
}

bool UnpackPackage(const std::string& packagePath, const std::string& modulePath,
                   std::string* message) {
  ALPendingFile module(modulePath.c_str());
  ALStatusRecord status;
  if (module.Decode(packagePath.c_str(), ALPendingFile::kNoLimit, status) != StatusOk ||
      module.Replace(status) != StatusOk) {
    *message = StatusMessage(status);
    return false;
  }
  return true;
}

bool VerifyPackage(const std::string& packagePath, VerifyResult* result, std::string* message) {
  ALFileStorage input(packagePath.c_str(), kBufferSize, CaseInsensitive);
  input.readOnly = 1;
  ALNullStorage output("(verify)", kBufferSize);
  ALInflateDecoder decoder;
  if (decoder.Decompress(input, output, kWholeInput) != 0) {
    *message = StatusMessage(decoder.status);
    return false;
  }
  result->size = output.bytesWritten;
  result->crc32 = ~output.crc;
  return true;
}

}  // namespace ppk
