#include "tools/unpack.h"

#include "decode/inflate_decoder.h"
#include "decode/pending_file.h"
#include "platform/file_system.h"
#include "storage/file_storage.h"
#include "storage/null_storage.h"

namespace ppk {
namespace {

// The installer's storages: 4096-byte buffers, names compared ignoring case.
constexpr std::int32_t kBufferSize = 4096;
constexpr std::int32_t kWholeInput = -1;

std::string MessageOf(const ALStatusRecord& status) {
  if (status.Text()) return status.Text();
  return "Decoding failed with status " + std::to_string(status.code) + ".";
}

}  // namespace

bool UnpackPackage(const std::string& packagePath, const std::string& modulePath,
                   std::string* message) {
  // "ppk unpack x.dll" would replace the package with what it decodes to.
  if (platform::IsSameFile(packagePath.c_str(), modulePath.c_str())) {
    *message = packagePath + " and " + modulePath + " are the same file.";
    return false;
  }
  ALPendingFile module(modulePath.c_str());
  ALStatusRecord status;
  if (module.Decode(packagePath.c_str(), status) != StatusOk || module.Replace(status) != StatusOk) {
    *message = MessageOf(status);
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
    *message = MessageOf(decoder.status);
    return false;
  }
  result->size = output.bytesWritten;
  result->crc32 = ~output.crc;
  return true;
}

}  // namespace ppk
